// A file handle owned for the length of one call: closed on every path,
// keeping the thread's last-error code.
#pragma once
#include "host/handle.h"

namespace qz::files {

using FileHandle = host::UniqueHandle<host::KernelHandleTraits>;

}  // namespace qz::files
