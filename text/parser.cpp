#include "text/parser.h"

#include <cstddef>

#include "text/concat.h"

namespace qz::text {
namespace {

constexpr const char16_t* kMessages[] = {
    u"Parser error! Unknown error!",
    u"Parser error! Invalid args : num expected.",
    u"Parser error! Invalid args : arg overflow.",
    u"Parser error! Too many args included.",
};

int length_of(const char16_t* s) {
    int n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// Replaces the output with the message: at most len units of it, the rest of
// the len units zero, and a terminator at index len.
int fail(char16_t* out, std::uint32_t len, ParserError e) {
    const char16_t* msg = parser_message(e);
    std::uint64_t i = 0;
    for (; i < len && msg[i] != 0; ++i) out[i] = msg[i];
    for (; i <= len; ++i) out[i] = 0;
    return parser_message_length(e);
}

}  // namespace

const char16_t* parser_message(ParserError e) noexcept {
    return kMessages[static_cast<int>(e)];
}

int parser_message_length(ParserError e) noexcept { return length_of(parser_message(e)); }

int parse_template(char16_t* out, std::uint32_t len, const char16_t* tmpl, int n,
                   const char16_t* const* args) noexcept {
    if (n > kParserMaxArgs) return fail(out, len, ParserError::too_many_args);
    for (std::uint64_t i = 0; i <= len; ++i) out[i] = 0;
    const int argc = n < 0 ? 0 : n;

    std::uint32_t count = 0;
    bool in_placeholder = false;
    std::uint32_t number = 0;  // wraps like the 32-bit number it stands for
    for (const char16_t* p = tmpl; *p != 0; ++p) {
        if (count >= len) return static_cast<int>(count);
        const char16_t u = *p;
        if (!in_placeholder) {
            if (u == u'{') {
                in_placeholder = true;
            } else {
                out[count++] = u;
            }
        } else if (u == u'}') {
            const auto k = static_cast<std::int32_t>(number);
            if (k < 0 || k >= argc) return fail(out, len, ParserError::arg_overflow);
            append_counted_bounded(out + count, args[k], len, &count);
            in_placeholder = false;
            number = 0;
        } else if (u >= u'0' && u <= u'9') {
            number = number * 10u + static_cast<std::uint32_t>(u - u'0');
        } else {
            return fail(out, len, ParserError::num_expected);
        }
    }
    return static_cast<int>(count);
}

}  // namespace qz::text
