// The invariant search on both paths: FindNLSString and the fallback.
#include <gtest/gtest.h>

#include "text/invariant.h"

namespace {

using qz::text::invariant_find_with;

TEST(InvariantCompare, IgnoresCaseAccentsAndSymbols) {
    using qz::text::invariant_compare;
    EXPECT_EQ(invariant_compare(L"ABC", -1, L"abc", -1), CSTR_EQUAL);
    EXPECT_EQ(invariant_compare(L"abc", -1, L"abd", -1), CSTR_LESS_THAN);
    EXPECT_EQ(invariant_compare(L"b", -1, L"A", -1), CSTR_GREATER_THAN);
    EXPECT_EQ(invariant_compare(L"abcX", 3, L"ABC", -1), CSTR_EQUAL);  // lengths are honoured
    EXPECT_EQ(invariant_compare(L"a-b c", -1, L"ABC", -1), CSTR_EQUAL);
    EXPECT_EQ(invariant_compare(L"caf\u00E9", -1, L"CAFE", -1), CSTR_EQUAL);
}

// Both paths answer these alike: the index of the first match and its length.
void expect_agreement(qz::text::FindNlsStringFn entry) {
    const struct {
        const wchar_t* source;
        const wchar_t* value;
        int index;
        int length;
    } cases[] = {
        {L"helloworld", L"world", 5, 5}, {L"Hello World", L"hello", 0, 5}, {L"abcABC", L"CA", 2, 2},
        {L"abcdef", L"xyz", -1, 0},      {L"ab", L"abc", -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.value)));
        int found = 12345;
        EXPECT_EQ(invariant_find_with(entry, c.source, -1, c.value, -1, &found), c.index);
        EXPECT_EQ(found, c.index >= 0 ? c.length : 12345);
        EXPECT_EQ(invariant_find_with(entry, c.source, -1, c.value, -1, nullptr), c.index);
    }
}

TEST(InvariantFind, SystemPath) {
    const auto entry = qz::text::find_nls_string_entry();
    ASSERT_NE(entry, nullptr) << "kernel32 exports FindNLSString";
    expect_agreement(entry);
    // The system search ignores symbols; the fallback does not.
    int found = 0;
    EXPECT_EQ(invariant_find_with(entry, L"xa-b", -1, L"AB", -1, &found), 1);
    EXPECT_EQ(found, 3);
    EXPECT_EQ(invariant_find_with(nullptr, L"xa-b", -1, L"AB", -1, &found), -1);
    EXPECT_EQ(invariant_find_with(entry, L"abcdef", 3, L"def", -1, nullptr), -1);  // lengths are honoured
}

TEST(InvariantFind, FallbackPath) {
    expect_agreement(nullptr);
    int found = 0;
    // A length covering only "hello" still searches to the terminator.
    EXPECT_EQ(invariant_find_with(nullptr, L"hello world", 5, L"WORLD", -1, &found), 6);
    EXPECT_EQ(found, 5);
    EXPECT_EQ(invariant_find_with(nullptr, L"12345abc", -1, L"abc", 3, &found), 5);
    EXPECT_EQ(found, 3);
    EXPECT_EQ(invariant_find_with(nullptr, nullptr, -1, L"a", -1, &found), -1);
}

}  // namespace
