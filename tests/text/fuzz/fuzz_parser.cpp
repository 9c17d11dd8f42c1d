// Any template, argument count and len: nothing written past len + 1 units,
// a terminator at or before index len, and a result that is either the text's
// length or the full length of the message standing in the buffer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "text/parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint32_t len = data[0] % 64;
    const int n = static_cast<int>(data[1] % 20) - 2;  // -2 .. 17
    // The rest: template units, then argument texts, split at zero units.
    // Units below 0x100 map to the syntax so that placeholders are common.
    std::vector<std::u16string> parts(1);
    for (std::size_t i = 2; i + 1 < size; i += 2) {
        const char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (u == 0) parts.emplace_back();
        else parts.back().push_back(u < 0x100 ? u"{}0123456789x"[u % 13] : u);
    }
    std::vector<const char16_t*> args;
    for (int k = 1; k <= n && k <= qz::text::kParserMaxArgs; ++k) {
        args.push_back(static_cast<std::size_t>(k) < parts.size() ? parts[k].c_str() : u"");
    }
    std::vector<char16_t> out(len + 1, 0x7777);  // exactly len + 1 units on the heap
    const int r = qz::text::parse_template(out.data(), len, parts[0].c_str(), n, args.data());
    std::size_t text = 0;
    while (text <= len && out[text] != 0) ++text;
    if (text > len) std::abort();  // no terminator within len + 1 units
    if (r == static_cast<int>(text)) return 0;
    for (int e = 1; e <= 3; ++e) {  // otherwise an error message cut to len
        const std::u16string msg = qz::text::parser_message(static_cast<qz::text::ParserError>(e));
        if (r == static_cast<int>(msg.size()) && text == std::min<std::size_t>(msg.size(), len) &&
            msg.compare(0, text, out.data(), text) == 0) {
            return 0;
        }
    }
    std::abort();
}
