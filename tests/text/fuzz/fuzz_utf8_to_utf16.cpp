// Any bytes, any buffer size: no write past the buffer, a well-formed result
// that converts back to a prefix of the input, or the failure result.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int buf_size = data[0] % 40;  // 0 .. 39 units, often too small
    const std::string in(reinterpret_cast<const char*>(data + 1), size - 1);  // cut at the first zero
    // Exactly buf_size units on the heap so that any overrun is caught.
    std::vector<char16_t> out(buf_size > 0 ? buf_size : 1, 0x7777);
    const int r = qz::text::utf8_to_utf16(in.c_str(), buf_size > 0 ? out.data() : nullptr, buf_size);
    if (r != 0 && r != -1) std::abort();
    if (buf_size == 0) return 0;
    const std::u16string got(out.data());
    if (r == -1) {
        if (!got.empty()) std::abort();
        return 0;
    }
    if (got.size() > static_cast<std::size_t>(buf_size - 1)) std::abort();
    std::vector<char> back(got.size() * 3 + 1);
    if (qz::text::utf16_to_utf8(got.c_str(), back.data(), static_cast<int>(back.size())) != 0) std::abort();
    const std::string text(in.c_str());
    if (text.compare(0, std::strlen(back.data()), back.data()) != 0) std::abort();
    return 0;
}
