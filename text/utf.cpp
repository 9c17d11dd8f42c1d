#include "text/utf.h"

#include <utf8.h>

#include <cstring>
#include <iterator>
#include <new>

namespace qz::text {
namespace {

bool is_lead_surrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }

// The frame both directions share: a null or ill-formed input (or no memory
// for the conversion) gives -1 and, where there is room, the empty text; a
// buffer without room (null, or a size of 0 or less) gets nothing; otherwise
// place(text, out, size) writes the converted text and 0 is returned.
template <class In, class Out, class Convert, class Place>
int convert_into(const In* in, Out* out, int size, Convert&& convert, Place&& place) noexcept {
    const bool writable = out != nullptr && size > 0;
    std::basic_string<Out> text;
    bool converted = false;
    if (in != nullptr) {
        try {
            text = convert(in);
            converted = true;
        } catch (...) {  // a utf8:: error or std::bad_alloc
        }
    }
    if (!converted) {
        if (writable) out[0] = 0;
        return -1;
    }
    if (writable) place(text, out, static_cast<std::size_t>(size));
    return 0;
}

// At most size - 1 units and a terminator. The validated text pairs every
// lead with a trail, so a lead as the last unit kept means the cut fell
// inside a pair: the lead is dropped too.
void place_cut(const std::u16string& units, char16_t* out, std::size_t size) noexcept {
    std::size_t take = units.size();
    if (take > size - 1) {
        take = size - 1;
        if (take > 0 && is_lead_surrogate(units[take - 1])) --take;
    }
    std::memcpy(out, units.data(), take * sizeof(char16_t));
    out[take] = 0;
}

// The whole text with its terminator, or the empty text when it does not fit.
void place_whole(const std::string& bytes, char* out, std::size_t size) noexcept {
    if (bytes.size() < size) {
        std::memcpy(out, bytes.c_str(), bytes.size() + 1);
    } else {
        out[0] = 0;
    }
}

std::string terminated_to_utf8(const char16_t* in) {
    return utf16_to_utf8_bytes(std::u16string_view(in));
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
    return convert_into(in, out, size, utf8_to_utf16_units, place_cut);
}

int utf16_to_utf8(const char16_t* in, char* out, int size) noexcept {
    return convert_into(in, out, size, terminated_to_utf8, place_whole);
}

}  // namespace qz::text
