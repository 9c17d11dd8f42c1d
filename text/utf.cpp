#include "text/utf.h"

#include <utf8.h>

#include <cstring>
#include <iterator>
#include <new>

namespace qz::text {
namespace {

bool is_lead_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }

std::size_t units_before_zero(const char16_t* s) {
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

}  // namespace

std::u16string utf8_to_utf16_units(std::string_view utf8) {
    std::u16string units;
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(units));
    return units;
}

std::string utf16_to_utf8_bytes(std::u16string_view utf16) {
    std::string bytes;
    utf8::utf16to8(utf16.begin(), utf16.end(), std::back_inserter(bytes));
    return bytes;
}

int utf8_to_utf16(const char* in, char16_t* out, int size) noexcept {
    const bool writable = out != nullptr && size > 0;
    std::u16string units;
    bool converted = false;
    if (in != nullptr) {
        try {
            units = utf8_to_utf16_units(in);
            converted = true;
        } catch (...) {  // a utf8:: error or std::bad_alloc
        }
    }
    if (!converted) {
        if (writable) out[0] = 0;
        return -1;
    }
    if (!writable) return 0;
    std::size_t take = units.size();
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    if (take > room) {
        take = room;
        // The validated text pairs every lead with a trail, so a lead as the
        // last unit kept means the cut fell inside a pair: drop the lead too.
        if (take > 0 && is_lead_surrogate(units[take - 1])) --take;
    }
    std::memcpy(out, units.data(), take * sizeof(char16_t));
    out[take] = 0;
    return 0;
}

int utf16_to_utf8(const char16_t* in, char* out, int size) noexcept {
    const bool writable = out != nullptr && size > 0;
    std::string bytes;
    bool converted = false;
    if (in != nullptr) {
        try {
            bytes = utf16_to_utf8_bytes(std::u16string_view(in, units_before_zero(in)));
            converted = true;
        } catch (...) {
        }
    }
    if (!converted) {
        if (writable) out[0] = 0;
        return -1;
    }
    if (!writable) return 0;
    if (bytes.size() < static_cast<std::size_t>(size)) {
        std::memcpy(out, bytes.c_str(), bytes.size() + 1);
    } else {
        out[0] = 0;  // all or nothing
    }
    return 0;
}

}  // namespace qz::text
