// The counted concatenations and the template formatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "text/concat.h"
#include "text/parser.h"

namespace {

using qz::text::append_counted_bounded;

constexpr char16_t kJunk = 0x5A5A;

// Only the count and the limit decide how much goes in, whatever the text
// already holds; nothing is written past the new terminator.
TEST(AppendCountedBounded, StopsAtTheLimit) {
    std::vector<char16_t> buf(12, kJunk);
    std::copy_n(u"hi", 3, buf.begin());
    std::uint32_t count = 0;  // does not match the text's length
    char16_t* at = buf.data();
    for (const char16_t* piece : {u"one", u"two", u"three"}) at = append_counted_bounded(at, piece, 7, &count);
    EXPECT_EQ(std::u16string(buf.data()), u"hionetwot");
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(at, buf.data() + 9);
    for (std::size_t i = 10; i < buf.size(); ++i) EXPECT_EQ(buf[i], kJunk) << i;

    count = 9;  // already past the limit: nothing appended
    EXPECT_EQ(append_counted_bounded(buf.data(), u"q", 5, &count), buf.data() + 9);
    EXPECT_EQ(count, 9u);
}

const std::u16string kNumExpected = u"Parser error! Invalid args : num expected.";
const std::u16string kArgOverflow = u"Parser error! Invalid args : arg overflow.";
const std::u16string kTooMany = u"Parser error! Too many args included.";

struct Case {
    std::uint32_t len;
    const char16_t* tmpl;
    int n;
    std::vector<const char16_t*> args;
    std::u16string text;  // the whole result text, before any cut to len
    int result;
};

// Runs the formatter on len + 1 units with guards after them: the text cut to
// len, the rest of the len + 1 units zero, nothing written past them.
void expect_parse(const Case& c) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.tmpl)) + " len " + std::to_string(c.len));
    std::vector<char16_t> buf(c.len + 1 + 4, kJunk);
    EXPECT_EQ(qz::text::parse_template(buf.data(), c.len, c.tmpl, c.n, c.args.data()), c.result);
    const std::u16string text = c.text.substr(0, c.len);
    EXPECT_EQ(std::u16string(buf.data()), text);
    for (std::size_t i = text.size(); i <= c.len; ++i) EXPECT_EQ(buf[i], 0) << i;
    for (std::size_t i = c.len + 1; i < buf.size(); ++i) EXPECT_EQ(buf[i], kJunk) << "past len + 1 at " << i;
}

const std::vector<const char16_t*> k15 = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7",
                                          u"8", u"9", u"a", u"b", u"c", u"d", u"e"};

TEST(Parser, ReplacesPlaceholdersStopsWhenFullOrLeavesTheErrorMessage) {
    const std::vector<const char16_t*> ab = {u"a", u"b"};
    const Case cases[] = {
        {64, u"Hello {0}, you have {1} points", 2, {u"Ann", u"12"}, u"Hello Ann, you have 12 points", 29},
        {64, u"{}{01}{0}{1}", 2, {u"x", u"y"}, u"xyxy", 4},  // {} is 0; leading zeros
        {64, u"[{0}]", 1, {u"{1}"}, u"[{1}]", 5},            // arguments are not parsed
        {64, u"a}b", 0, {}, u"a}b", 3},
        {64, u"{14}{13}{0}", 15, k15, u"ed0", 3},
        {6, u"", 0, {}, u"", 0},
        {6, u"ab", 0, {}, u"ab", 2},
        {0, u"{x}", 1, {u"z"}, u"", 0},
        {5, u"abcdefg", 0, {}, u"abcde", 5},
        {5, u"ab{0}", 1, {u"xyz123"}, u"abxyz", 5},
        {2, u"ab{9}", 0, {}, u"ab", 2},                    // once full, placeholders are not examined
        {16, u"ab{1", 2, {u"x", u"y"}, u"ab", 2},          // the template ends inside a placeholder
        {16, u"ab{", 0, {}, u"ab", 2},
        {16, u"{4294967297}", 2, ab, u"b", 1},  // the number wraps at 32 bits to 1
        // Errors: the full message length, the message cut to len.
        {64, u"{2}", 2, ab, kArgOverflow, 42},
        {64, u"text {x}", 1, ab, kNumExpected, 42},
        {64, u"{{0}", 1, ab, kNumExpected, 42},
        {64, u"{-1}", 1, ab, kNumExpected, 42},
        {64, u"{0}", -1, {}, kArgOverflow, 42},  // n = -1 is no arguments
        {64, u"plain", 16, {}, kTooMany, 37},    // whatever the template
        {10, u"abc", 16, {}, kTooMany, 37},
        {0, u"", 99, {}, kTooMany, 37},
        {50, u"0123456789{7}", 1, ab, kArgOverflow, 42},  // text written before is lost
        {64, u"{2147483648}", 2, ab, kArgOverflow, 42},  // wraps to a negative number
        {64, u"{15}", 15, k15, kArgOverflow, 42},
    };
    for (const auto& c : cases) expect_parse(c);
}

}  // namespace
