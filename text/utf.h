// UTF-8 <-> UTF-16 conversion into caller buffers. Portable: 16-bit units are
// char16_t here (the Windows exports hand in wchar_t, the same size).
#pragma once
#include <string>
#include <string_view>

namespace qz::text {

// Whole-string validating conversions. They throw the utf8:: errors
// ("Invalid UTF-8", "Not enough space", "Invalid code point",
// "Invalid UTF-16") or std::bad_alloc.
std::u16string utf8_to_utf16_units(std::string_view utf8);
std::string utf16_to_utf8_bytes(std::u16string_view utf16);

// Converts the zero-terminated `in` and writes at most size - 1 units and a
// terminator to `out`. Text that does not fit is cut, never between the two
// halves of a surrogate pair. Returns 0, or -1 when the input is ill-formed
// (or memory runs out); then `out` holds the empty string. A size of 0 or
// less writes nothing.
int utf8_to_utf16(const char* in, char16_t* out, int size) noexcept;

// Converts the zero-terminated `in`; the result with its terminator is copied
// whole when it fits in `size` bytes, otherwise `out` holds the empty string.
// Returns 0, or -1 on ill-formed input (or no memory), `out` then empty.
// A size of 0 or less writes nothing.
int utf16_to_utf8(const char16_t* in, char* out, int size) noexcept;

}  // namespace qz::text
