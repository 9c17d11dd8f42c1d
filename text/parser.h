// The template formatter: copies a template, replacing each {k} (decimal k)
// with argument k, into at most `len` units plus a terminator.
#pragma once
#include <cstdint>

namespace qz::text {

constexpr int kParserMaxArgs = 15;

enum class ParserError { unknown = 0, num_expected = 1, arg_overflow = 2, too_many_args = 3 };

// The message for an error code and its length in units.
const char16_t* parser_message(ParserError e) noexcept;
int parser_message_length(ParserError e) noexcept;

// `out` must have room for len + 1 units. `args` holds max(n, 0) pointers
// (none are read when n is 16 or more). Returns the length of the text
// written, or on a malformed template or argument list the full length of
// the error message that then stands in `out` (cut to len units).
int parse_template(char16_t* out, std::uint32_t len, const char16_t* tmpl, int n,
                   const char16_t* const* args) noexcept;

}  // namespace qz::text
