// Wide concatenations that keep a caller-owned running count and return the
// new terminator, so a chain of appends never rescans the text built so far.
#pragma once
#include <cstdint>

namespace qz::text {

// Appends `src` at the terminator of `dest`, adds the units appended to
// *count, and returns a pointer to the new terminator.
char16_t* append_counted(char16_t* dest, const char16_t* src, std::uint32_t* count) noexcept;

// The same, but appends only while *count is below `limit`: the count never
// passes the limit. With the count holding the text's length and a limit of
// the capacity minus 1, it never writes past the buffer.
char16_t* append_counted_bounded(char16_t* dest, const char16_t* src, std::uint32_t limit,
                                 std::uint32_t* count) noexcept;

}  // namespace qz::text
