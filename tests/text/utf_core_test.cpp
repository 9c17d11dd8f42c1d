// UTF-8 <-> UTF-16 framing: truncation, all-or-nothing copies, the failure
// path for every kind of ill-formed input. Built natively and for Windows.
#include <gtest/gtest.h>
#include <utf8.h>

#include <climits>
#include <string>
#include <vector>

#include "text/utf.h"

namespace {

using qz::text::utf16_to_utf8;
using qz::text::utf16_to_utf8_bytes;
using qz::text::utf8_to_utf16;
using qz::text::utf8_to_utf16_units;

constexpr char16_t kJunk16 = 0x7777;
constexpr char kJunk8 = '#';

std::u16string to16(const std::string& in, int size, int* result = nullptr) {
    std::vector<char16_t> buf(size > 0 ? size : 1, kJunk16);
    const int r = utf8_to_utf16(in.c_str(), buf.data(), size);
    if (result) *result = r;
    return std::u16string(buf.data());
}

TEST(Utf8ToUtf16, ConvertsCharactersOfEveryLength) {
    EXPECT_EQ(to16("", 4), u"");
    EXPECT_EQ(to16("\xC3\xA9", 4), u"\u00E9");
    EXPECT_EQ(to16("A\xE2\x82\xAC", 4), u"A\u20AC");
    EXPECT_EQ(to16("\xF0\x9F\x98\x80", 4), std::u16string({0xD83D, 0xDE00}));
}

TEST(Utf8ToUtf16, KeepsTheByteOrderMark) {
    EXPECT_EQ(to16("\xEF\xBB\xBFx", 8), std::u16string({0xFEFF, u'x'}));
}

// "a", U+1F600 (a pair), "b": four units. Every buffer size around the pair.
TEST(Utf8ToUtf16, CutsAtEverySizeButNeverInsideAPair) {
    const std::string in = "a\xF0\x9F\x98\x80" "b";
    const std::u16string full = {u'a', 0xD83D, 0xDE00, u'b'};
    const std::u16string expected[] = {
        u"",               // size 1: the terminator only
        u"a",              // size 2
        u"a",              // size 3: the lead alone would be half a pair
        full.substr(0, 3), // size 4
        full,              // size 5: exactly fits
        full,              // size 6
    };
    for (int size = 1; size <= 6; ++size) {
        SCOPED_TRACE(size);
        std::vector<char16_t> buf(size + 2, kJunk16);
        EXPECT_EQ(utf8_to_utf16(in.c_str(), buf.data(), size), 0);
        EXPECT_EQ(std::u16string(buf.data()), expected[size - 1]);
        EXPECT_EQ(buf[size], kJunk16) << "wrote past the buffer";
        // What was kept is well-formed and converts back.
        char back[16];
        EXPECT_EQ(utf16_to_utf8(buf.data(), back, sizeof back), 0);
    }
}

TEST(Utf8ToUtf16, SizeZeroOrLessWritesNothing) {
    for (int size : {0, -1, INT_MIN}) {
        char16_t buf[2] = {kJunk16, kJunk16};
        EXPECT_EQ(utf8_to_utf16("abc", buf, size), 0);
        EXPECT_EQ(buf[0], kJunk16);
        EXPECT_EQ(utf8_to_utf16("\xC0\x80", buf, size), -1);
        EXPECT_EQ(buf[0], kJunk16);
    }
}

struct BadUtf8 {
    const char* bytes;
    const char* what;
};

TEST(Utf8ToUtf16, IllFormedInputFailsWithTheLibraryErrorAndLeavesEmptyText) {
    const BadUtf8 cases[] = {
        {"ab\xE2\x82", "Not enough space"},                // cut inside a sequence
        {"\xF0\x9F\x98", "Not enough space"},
        {"\xC0\x80", "Invalid UTF-8"},                     // overlong
        {"\xE0\x80\xAF", "Invalid UTF-8"},                 // overlong, 3 bytes
        {"x\x80y", "Invalid UTF-8"},                       // lone continuation
        {"\xC3(", "Invalid UTF-8"},                        // bad continuation
        {"\xF8\x88\x80\x80\x80", "Invalid UTF-8"},         // 5-byte form
        {"\xFC\x84\x80\x80\x80\x80", "Invalid UTF-8"},     // 6-byte form
        {"\xFF", "Invalid UTF-8"},
        {"\xED\xA0\x80", "Invalid code point"},            // a surrogate
        {"\xF4\x90\x80\x80", "Invalid code point"},        // above U+10FFFF
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            utf8_to_utf16_units(c.bytes);
            ADD_FAILURE() << "no error";
        } catch (const utf8::exception& e) {
            EXPECT_STREQ(e.what(), c.what);
        }
        int result = 0;
        EXPECT_EQ(to16(c.bytes, 8, &result), u"");
        EXPECT_EQ(result, -1);
    }
}

std::string to8(const std::u16string& in, int size, int* result = nullptr) {
    std::vector<char> buf(size > 0 ? size : 1, kJunk8);
    const int r = utf16_to_utf8(in.c_str(), buf.data(), size);
    if (result) *result = r;
    return std::string(buf.data());
}

TEST(Utf16ToUtf8, WritesTheShortestForms) {
    EXPECT_EQ(to8(u"", 4), "");
    EXPECT_EQ(to8(u"\u00E9", 4), "\xC3\xA9");
    EXPECT_EQ(to8(u"\u0800", 4), "\xE0\xA0\x80");
    EXPECT_EQ(to8(std::u16string({0xD83D, 0xDE00}), 5), "\xF0\x9F\x98\x80");
    EXPECT_EQ(to16("\xF0\x9F\x98\x80", 3), std::u16string({0xD83D, 0xDE00}));
}

TEST(Utf16ToUtf8, CopiesAllOrNothing) {
    const std::u16string in = u"a\u00E9b";  // 4 bytes of UTF-8
    EXPECT_EQ(to8(in, 5), "a\xC3\xA9" "b");
    EXPECT_EQ(to8(in, 4), "");
    EXPECT_EQ(to8(in, 1), "");
    char buf[2] = {kJunk8, kJunk8};
    for (int size : {0, -5}) {
        EXPECT_EQ(utf16_to_utf8(in.c_str(), buf, size), 0);
        EXPECT_EQ(buf[0], kJunk8);
    }
}

TEST(Utf16ToUtf8, IllFormedInputFails) {
    const std::u16string cases[] = {
        {0xDC00},                // lone trail
        {u'a', 0xD800},          // lead as the last unit
        {0xD800, u'a'},          // lead followed by no trail
        {0xD800, 0xD800, 0xDC00},
    };
    for (const auto& c : cases) {
        try {
            utf16_to_utf8_bytes(c);
            ADD_FAILURE() << "no error";
        } catch (const utf8::exception& e) {
            EXPECT_STREQ(e.what(), "Invalid UTF-16");
        }
        int result = 0;
        EXPECT_EQ(to8(c, 8, &result), "");
        EXPECT_EQ(result, -1);
    }
}

TEST(UtfRoundTrip, EveryPlaneSurvives) {
    std::string utf8;
    for (char32_t cp : {U'\x01', U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\xD7FF', U'\xE000', U'\xFFFD',
                        U'\x10000', U'\x10FFFF'}) {
        utf8::append(static_cast<std::uint32_t>(cp), std::back_inserter(utf8));
    }
    const std::u16string units = to16(utf8, 64);
    EXPECT_EQ(units.size(), 12u);
    EXPECT_EQ(to8(units, 64), utf8);
}

}  // namespace
