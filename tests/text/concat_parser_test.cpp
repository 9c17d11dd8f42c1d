// The counted concatenations and the template formatter. Built natively and
// for Windows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/concat.h"
#include "text/parser.h"

namespace {

using qz::text::append_counted;
using qz::text::append_counted_bounded;

constexpr char16_t kJunk = 0x5A5A;

TEST(AppendCounted, AppendsAtTheTerminatorAndReturnsTheNewOne) {
    char16_t buf[16] = u"xy";
    std::uint32_t count = 2;
    char16_t* end = append_counted(buf, u"abc", &count);
    EXPECT_EQ(std::u16string(buf), u"xyabc");
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(end, buf + 5);
    EXPECT_EQ(*end, 0);

    // Chained from the returned pointer; an empty source changes nothing.
    end = append_counted(end, u"", &count);
    EXPECT_EQ(end, buf + 5);
    EXPECT_EQ(count, 5u);
    end = append_counted(end, u"!", &count);
    EXPECT_EQ(std::u16string(buf), u"xyabc!");
    EXPECT_EQ(count, 6u);
}

TEST(AppendCountedBounded, StopsAtTheLimit) {
    char16_t buf[16] = u"xyz";
    std::uint32_t count = 3;
    char16_t* end = append_counted_bounded(buf, u"abc", 5, &count);
    EXPECT_EQ(std::u16string(buf), u"xyzab");
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(end, buf + 5);

    end = append_counted_bounded(end, u"more", 5, &count);
    EXPECT_EQ(std::u16string(buf), u"xyzab");
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(end, buf + 5);

    // A count already past the limit appends nothing either.
    count = 9;
    EXPECT_EQ(append_counted_bounded(buf, u"q", 5, &count), buf + 5);
    EXPECT_EQ(count, 9u);
}

TEST(AppendCountedBounded, OnlyCountAndLimitDecideHowMuch) {
    char16_t buf[16] = u"hello";
    std::uint32_t count = 0;  // does not match the text's length
    char16_t* end = append_counted_bounded(buf, u"abcdef", 2, &count);
    EXPECT_EQ(std::u16string(buf), u"helloab");
    EXPECT_EQ(end, buf + 7);
    EXPECT_EQ(count, 2u);
}

TEST(AppendCountedBounded, ChainNeverPassesTheCapacity) {
    constexpr std::uint32_t kCapacity = 8;
    std::vector<char16_t> buf(kCapacity + 4, kJunk);
    buf[0] = 0;
    std::uint32_t count = 0;
    char16_t* at = buf.data();
    for (const char16_t* piece : {u"one", u"two", u"three", u"four"}) {
        at = append_counted_bounded(at, piece, kCapacity - 1, &count);
    }
    EXPECT_EQ(std::u16string(buf.data()), u"onetwot");
    EXPECT_EQ(count, kCapacity - 1);
    for (std::size_t i = kCapacity; i < buf.size(); ++i) EXPECT_EQ(buf[i], kJunk) << i;
}

// Runs the formatter on a buffer of len + 1 units with guard units after it.
struct Parsed {
    int result;
    std::u16string text;
    std::vector<char16_t> raw;  // all len + 1 units
};

Parsed parse(std::uint32_t len, const char16_t* tmpl, int n, std::vector<const char16_t*> args = {}) {
    std::vector<char16_t> buf(len + 1 + 4, kJunk);
    Parsed p;
    p.result = qz::text::parse_template(buf.data(), len, tmpl, n, args.empty() ? nullptr : args.data());
    for (std::size_t i = len + 1; i < buf.size(); ++i) EXPECT_EQ(buf[i], kJunk) << "wrote past len + 1 at " << i;
    buf.resize(len + 1);
    p.raw = buf;
    p.text = std::u16string(buf.data());
    return p;
}

TEST(Parser, ReplacesPlaceholders) {
    auto p = parse(64, u"Hello {0}, you have {1} points", 2, {u"Ann", u"12"});
    EXPECT_EQ(p.text, u"Hello Ann, you have 12 points");
    EXPECT_EQ(p.result, 29);

    p = parse(64, u"{}{01}{0}{1}", 2, {u"x", u"y"});  // {} is 0; leading zeros
    EXPECT_EQ(p.text, u"xyxy");
    EXPECT_EQ(p.result, 4);

    p = parse(64, u"[{0}]", 1, {u"{1}"});  // arguments are not parsed
    EXPECT_EQ(p.text, u"[{1}]");

    p = parse(64, u"a}b", 0);
    EXPECT_EQ(p.text, u"a}b");
    EXPECT_EQ(p.result, 3);
}

TEST(Parser, EmptyTemplateAndLenZero) {
    auto p = parse(8, u"", 0);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.raw, std::vector<char16_t>(9, 0));
    for (const char16_t* t : {u"abc", u"{0}", u"{x}"}) {
        p = parse(0, t, 1, {u"z"});
        EXPECT_EQ(p.result, 0);
        EXPECT_EQ(p.raw[0], 0);
    }
}

TEST(Parser, ClearsTheWholeBufferAndStopsWhenFull) {
    auto p = parse(6, u"ab", 0);
    EXPECT_EQ(p.raw, std::vector<char16_t>({u'a', u'b', 0, 0, 0, 0, 0}));

    p = parse(5, u"abcdefg", 0);
    EXPECT_EQ(p.text, u"abcde");
    EXPECT_EQ(p.result, 5);

    p = parse(5, u"ab{0}", 1, {u"xyz123"});
    EXPECT_EQ(p.text, u"abxyz");
    EXPECT_EQ(p.result, 5);
    EXPECT_EQ(p.raw[5], 0);

    // Once full, later placeholders are not examined.
    p = parse(2, u"ab{9}", 0);
    EXPECT_EQ(p.text, u"ab");
    EXPECT_EQ(p.result, 2);
}

TEST(Parser, TemplateEndingInsideAPlaceholderDropsIt) {
    EXPECT_EQ(parse(16, u"ab{1", 2, {u"x", u"y"}).text, u"ab");
    EXPECT_EQ(parse(16, u"ab{", 0).result, 2);
}

void expect_error(const Parsed& p, int code, std::uint32_t len) {
    const std::u16string msg = qz::text::parser_message(static_cast<qz::text::ParserError>(code));
    EXPECT_EQ(p.result, static_cast<int>(msg.size()));
    EXPECT_EQ(p.text, msg.substr(0, len));
    for (std::size_t i = p.text.size(); i <= len; ++i) EXPECT_EQ(p.raw[i], 0) << i;
}

TEST(Parser, ErrorMessagesAndLengths) {
    EXPECT_EQ(std::u16string(qz::text::parser_message(qz::text::ParserError::num_expected)),
              u"Parser error! Invalid args : num expected.");
    EXPECT_EQ(std::u16string(qz::text::parser_message(qz::text::ParserError::arg_overflow)),
              u"Parser error! Invalid args : arg overflow.");
    EXPECT_EQ(std::u16string(qz::text::parser_message(qz::text::ParserError::too_many_args)),
              u"Parser error! Too many args included.");
    EXPECT_EQ(qz::text::parser_message_length(qz::text::ParserError::unknown), 28);

    expect_error(parse(64, u"{2}", 2, {u"a", u"b"}), 2, 64);
    EXPECT_EQ(parse(64, u"{2}", 2, {u"a", u"b"}).result, 42);
    expect_error(parse(64, u"text {x}", 1, {u"a"}), 1, 64);
    expect_error(parse(64, u"{{0}", 1, {u"a"}), 1, 64);
    expect_error(parse(64, u"{ 0}", 1, {u"a"}), 1, 64);
    expect_error(parse(64, u"{-1}", 1, {u"a"}), 1, 64);
    expect_error(parse(64, u"{0}", -1), 2, 64);  // n = -1 is no arguments
    expect_error(parse(64, u"plain", 16), 3, 64);  // whatever the template
    EXPECT_EQ(parse(64, u"plain", 16).result, 37);
}

TEST(Parser, ErrorMessageCutToLen) {
    auto p = parse(10, u"abc", 16);
    expect_error(p, 3, 10);
    EXPECT_EQ(p.text, u"Parser err");
    EXPECT_EQ(p.raw[10], 0);
    EXPECT_EQ(p.result, 37);

    p = parse(0, u"", 99);
    EXPECT_EQ(p.result, 37);
    EXPECT_EQ(p.raw[0], 0);

    // Text written before the failure is lost.
    p = parse(50, u"0123456789{7}", 1, {u"a"});
    expect_error(p, 2, 50);
}

TEST(Parser, PlaceholderNumbersWrapAt32Bits) {
    // 4294967297 wraps to 1, 2147483648 to a negative number.
    EXPECT_EQ(parse(16, u"{4294967297}", 2, {u"a", u"b"}).text, u"b");
    expect_error(parse(64, u"{2147483648}", 2, {u"a", u"b"}), 2, 64);
    expect_error(parse(64, u"{99999999999999999999}", 15, std::vector<const char16_t*>(15, u"a")), 2, 64);
}

TEST(Parser, FifteenArguments) {
    std::vector<const char16_t*> args = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7",
                                         u"8", u"9", u"a", u"b", u"c", u"d", u"e"};
    auto p = parse(64, u"{14}{13}{0}", 15, args);
    EXPECT_EQ(p.text, u"ed0");
    expect_error(parse(64, u"{15}", 15, args), 2, 64);
}

}  // namespace
