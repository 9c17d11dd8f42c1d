#include "text/concat.h"

namespace qz::text {
namespace {

char16_t* end_of(char16_t* s) {
    while (*s != 0) ++s;
    return s;
}

}  // namespace

char16_t* append_counted(char16_t* dest, const char16_t* src, std::uint32_t* count) noexcept {
    std::uint32_t n = *count;
    char16_t* at = end_of(dest);
    while (*src != 0) {
        *at++ = *src++;
        ++n;
    }
    *count = n;
    *at = 0;
    return at;
}

char16_t* append_counted_bounded(char16_t* dest, const char16_t* src, std::uint32_t limit,
                                 std::uint32_t* count) noexcept {
    std::uint32_t n = *count;
    char16_t* at = end_of(dest);
    while (n < limit && *src != 0) {
        *at++ = *src++;
        ++n;
    }
    *count = n;
    *at = 0;
    return at;
}

}  // namespace qz::text
