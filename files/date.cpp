#include "files/date.h"

#include <cstdio>
#include <cstring>

namespace qz::files {

bool format_local_date(const FILETIME& utc, char* out, std::size_t capacity) noexcept {
    SYSTEMTIME universal{}, local{};
    // A time past what the calendar conversions accept would otherwise be
    // printed from whatever the structures held.
    if (!FileTimeToSystemTime(&utc, &universal)) return false;
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return false;
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%02d/%02d/%d", local.wDay, local.wMonth, local.wYear);
    if (n < 0 || !out || static_cast<std::size_t>(n) + 1 > capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::memcpy(out, text, static_cast<std::size_t>(n) + 1);
    return true;
}

bool last_write_date(HANDLE file, char* out, std::int32_t capacity) noexcept {
    FILETIME created{}, accessed{}, written{};
    if (!GetFileTime(file, &created, &accessed, &written)) return false;
    return format_local_date(written, out, capacity > 0 ? static_cast<std::size_t>(capacity) : 0);
}

}  // namespace qz::files
