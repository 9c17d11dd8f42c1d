#include "diag/names.h"

namespace qz::diag {
namespace {

constexpr unsigned char fold(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool same_name(const char* field, std::size_t capacity, const char* name, Letters letters) noexcept {
    const bool folded = letters == Letters::folded;
    for (std::size_t i = 0;; ++i) {
        unsigned char a = i < capacity ? static_cast<unsigned char>(field[i]) : 0;
        unsigned char b = static_cast<unsigned char>(name[i]);
        if (folded) {
            a = fold(a);
            b = fold(b);
        }
        if (a != b) return false;
        if (a == 0) return true;
    }
}

}  // namespace qz::diag
