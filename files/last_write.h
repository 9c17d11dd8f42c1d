// The last-write date of a file named by its path, into the library's own
// date buffer (what QZ_GetLastWriteTime returns).
#pragma once
#include <cstddef>

namespace qz::files {

// Capacity of the library's date buffer.
constexpr std::size_t kDateBufferSize = 260;

// Opens `path` and formats its last-write date into the library's buffer
// (files/date.h). Null on failure, after one diag_var message with the
// last-error code: "\nCreateFile failed with %f" or "\nFile Date time failed
// with %f".
const char* last_write_date_of(const char* path) noexcept;

}  // namespace qz::files
