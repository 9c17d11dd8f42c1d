// Any units, any buffer size: no write past the buffer; the whole text or the
// empty string; a success converts back to the input exactly.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int buf_size = data[0] % 64;
    std::u16string in;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (u == 0) break;
        in.push_back(u);
    }
    std::vector<char> out(buf_size > 0 ? buf_size : 1, '#');
    const int r = qz::text::utf16_to_utf8(in.c_str(), buf_size > 0 ? out.data() : nullptr, buf_size);
    if (r != 0 && r != -1) std::abort();
    if (buf_size == 0) return 0;
    const std::size_t got = std::strlen(out.data());
    if (r == -1 && got != 0) std::abort();
    if (r == 0 && got != 0) {
        std::vector<char16_t> back(got + 1);
        if (qz::text::utf8_to_utf16(out.data(), back.data(), static_cast<int>(back.size())) != 0) std::abort();
        if (in != back.data()) std::abort();
    }
    return 0;
}
