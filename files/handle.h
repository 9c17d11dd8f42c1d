// A file handle owned for the length of one call: closed on every path,
// keeping the thread's last-error code.
#pragma once
#include "win/handle.h"

namespace qz::files {

using FileHandle = win::UniqueHandle<win::KernelHandleTraits>;

}  // namespace qz::files
