// Opening a document or program through the shell.
#pragma once
#include <cstdint>

namespace qz::files {

// ShellExecuteA(no window, verb, file, no parameters, no folder,
// SW_SHOWNORMAL): above 32 on success, else the shell's error code. A null
// file gives 2 (file not found) without calling the shell.
std::int32_t shell_open(const char* verb, const char* file) noexcept;

}  // namespace qz::files
