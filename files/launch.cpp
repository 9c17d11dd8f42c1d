#include "files/launch.h"

#include <windows.h>
#include <shellapi.h>

namespace qz::files {

std::int32_t shell_open(const char* verb, const char* file) noexcept {
    if (!file) return SE_ERR_FNF;
    HINSTANCE result = ShellExecuteA(nullptr, verb, file, nullptr, nullptr, SW_SHOWNORMAL);
    return static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace qz::files
