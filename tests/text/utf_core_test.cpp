// UTF-8 <-> UTF-16: truncation, all-or-nothing copies, every ill-formed input.
#include <gtest/gtest.h>
#include <utf8.h>

#include <climits>
#include <string>
#include <vector>

#include "text/utf.h"

namespace {

using namespace qz::text;

constexpr char16_t kJunk16 = 0x7777;

std::u16string to16(const std::string& in, int size, int* result = nullptr) {
    std::vector<char16_t> buf(size, kJunk16);
    const int r = utf8_to_utf16(in.c_str(), buf.data(), size);
    if (result) *result = r;
    return buf.data();
}

std::string to8(const std::u16string& in, int size, int* result = nullptr) {
    std::vector<char> buf(size, '#');
    const int r = utf16_to_utf8(in.c_str(), buf.data(), size);
    if (result) *result = r;
    return buf.data();
}

TEST(Utf, ConvertsBothWaysKeepingTheByteOrderMark) {
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"\x7F\xC2\x80\xC3\xA9", u"\u007F\u0080\u00E9"},
        {"\xE0\xA0\x80" "A\xE2\x82\xAC", u"\u0800A\u20AC"},
        {"\xF0\x9F\x98\x80", {0xD83D, 0xDE00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"\xEF\xBB\xBFx", {0xFEFF, u'x'}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(to16(c.first, 8), c.second) << c.first;
        EXPECT_EQ(to8(c.second, 16), c.first);
    }
}

// "a", U+1F600 (a pair), "b": four units. Every buffer size around the pair.
TEST(Utf8ToUtf16, CutsAtEverySizeButNeverInsideAPair) {
    const std::u16string full = {u'a', 0xD83D, 0xDE00, u'b'};
    const std::u16string expected[] = {u"", u"a", u"a", full.substr(0, 3), full, full};
    for (int size = 1; size <= 6; ++size) {
        SCOPED_TRACE(size);
        std::vector<char16_t> buf(size + 2, kJunk16);
        EXPECT_EQ(utf8_to_utf16("a\xF0\x9F\x98\x80" "b", buf.data(), size), 0);
        EXPECT_EQ(std::u16string(buf.data()), expected[size - 1]);
        EXPECT_EQ(buf[size], kJunk16) << "wrote past the buffer";
        char back[16];
        EXPECT_EQ(utf16_to_utf8(buf.data(), back, sizeof back), 0);  // what was kept is well-formed
    }
}

// UTF-8 output is copied whole or not at all; sizes of 0 or less write nothing.
TEST(Utf, ShortBuffers) {
    EXPECT_EQ(to8(u"a\u00E9b", 5), "a\xC3\xA9" "b");
    int result = -1;
    EXPECT_EQ(to8(u"a\u00E9b", 4, &result), "");
    EXPECT_EQ(result, 0);
    for (int size : {0, -1, INT_MIN}) {
        char16_t wide[1] = {kJunk16};
        EXPECT_EQ(utf8_to_utf16("abc", wide, size), 0);
        EXPECT_EQ(utf8_to_utf16("\xC0\x80", wide, size), -1);
        EXPECT_EQ(wide[0], kJunk16);
        char narrow[1] = {'#'};
        EXPECT_EQ(utf16_to_utf8(u"abc", narrow, size), 0);
        EXPECT_EQ(narrow[0], '#');
    }
}

template <class Convert, class In>
void expect_failure(Convert convert, const In& in, const char* what) {
    try {
        convert(in);
        ADD_FAILURE() << "no error";
    } catch (const utf8::exception& e) {
        EXPECT_STREQ(e.what(), what);
    }
}

TEST(Utf8ToUtf16, IllFormedInputFailsAndLeavesEmptyText) {
    const std::pair<const char*, std::vector<const char*>> cases[] = {
        {"Not enough space", {"ab\xE2\x82", "\xF0\x9F\x98"}},  // cut inside a sequence
        // Overlong forms, a lone and a bad continuation, 5- and 6-byte forms, 0xFF.
        {"Invalid UTF-8", {"\xC0\x80", "\xE0\x80\xAF", "x\x80y", "\xC3(", "\xF8\x88\x80\x80\x80",
                           "\xFC\x84\x80\x80\x80\x80", "\xFF"}},
        {"Invalid code point", {"\xED\xA0\x80", "\xF4\x90\x80\x80"}},  // a surrogate, above U+10FFFF
    };
    for (const auto& c : cases) {
        for (const char* in : c.second) {
            SCOPED_TRACE(testing::PrintToString(std::string(in)));
            expect_failure(utf8_to_utf16_units, in, c.first);
            int result = 0;
            EXPECT_EQ(to16(in, 8, &result), u"");
            EXPECT_EQ(result, -1);
        }
    }
}

TEST(Utf16ToUtf8, UnpairedSurrogatesFailAndLeaveEmptyText) {
    for (const std::u16string c : {u"\xDC00", u"a\xD800", u"\xD800" "a", u"\xD800\xD800\xDC00"}) {
        expect_failure(utf16_to_utf8_bytes, c, "Invalid UTF-16");
        int result = 0;
        EXPECT_EQ(to8(c, 8, &result), "");
        EXPECT_EQ(result, -1);
    }
}

}  // namespace
