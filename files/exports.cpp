#include <windows.h>

#include <cstdint>

#include "files/crc.h"
#include "files/date.h"
#include "files/last_write.h"
#include "host/shim.h"
#include "files/launch.h"

QZ_API std::int32_t QZ_Crc_Calculate(const char* path) {
    return qz::guarded(std::int32_t{0}, [&] { return static_cast<std::int32_t>(qz::files::file_crc(path)); });
}

QZ_API std::int32_t QZ_Crc_Filesize(const char* path) {
    return qz::guarded(std::int32_t{0}, [&] { return qz::files::file_size_low32(path); });
}

QZ_API std::int32_t QZ_GetLastWriteTimeHelper(HANDLE file, char* buffer, std::int32_t capacity) {
    return qz::guarded(std::int32_t{0}, [&] { return qz::files::last_write_date(file, buffer, capacity) ? 1 : 0; });
}

QZ_API const char* QZ_GetLastWriteTime(const char* path) {
    return qz::guarded(static_cast<const char*>(nullptr), [&] { return qz::files::last_write_date_of(path); });
}

QZ_API std::int32_t QZ_Exec(const char* verb, const char* file) {
    return qz::guarded(std::int32_t{0}, [&] { return qz::files::shell_open(verb, file); });
}
