// Last-write dates as "DD/MM/YYYY" text in the local time zone.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace qz::files {

// Writes "%02d/%02d/%d" (local day, month, year) of a UTC file time into
// `out`. False, with `out` untouched, when the time cannot be converted or
// the text and its terminator do not fit in `capacity` bytes.
bool format_local_date(const FILETIME& utc, char* out, std::size_t capacity) noexcept;

// The date of the handle's last write, as above. False, `out` untouched,
// when the times cannot be read (last error set by the system) or the
// text does not fit (last error ERROR_INSUFFICIENT_BUFFER).
bool last_write_date(HANDLE file, char* out, std::int32_t capacity) noexcept;

}  // namespace qz::files
