// The invariant search on both paths: FindNLSString and the fallback.
#include <gtest/gtest.h>

#include <vector>

#include "text/invariant.h"

namespace {

using qz::text::invariant_find;
using qz::text::InvariantSearchApi;

// The system's own fallback, without the system search.
const InvariantSearchApi kFallback{nullptr, qz::text::system_invariant_search().find_ignoring_case};

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
void expect_agreement(const InvariantSearchApi& api) {
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
        EXPECT_EQ(invariant_find(api, c.source, -1, c.value, -1, &found), c.index);
        EXPECT_EQ(found, c.index >= 0 ? c.length : 12345);
        EXPECT_EQ(invariant_find(api, c.source, -1, c.value, -1, nullptr), c.index);
    }
}

TEST(InvariantFind, SystemPath) {
    const InvariantSearchApi& api = qz::text::system_invariant_search();
    ASSERT_NE(api.find_nls_string, nullptr) << "kernel32 exports FindNLSString";
    expect_agreement(api);
    // The system search ignores symbols; the fallback does not.
    int found = 0;
    EXPECT_EQ(invariant_find(api, L"xa-b", -1, L"AB", -1, &found), 1);
    EXPECT_EQ(found, 3);
    EXPECT_EQ(invariant_find(kFallback, L"xa-b", -1, L"AB", -1, &found), -1);
    EXPECT_EQ(invariant_find(api, L"abcdef", 3, L"def", -1, nullptr), -1);  // lengths are honoured
}

TEST(InvariantFind, FallbackPath) {
    expect_agreement(kFallback);
    int found = 0;
    // A length covering only "hello" still searches to the terminator.
    EXPECT_EQ(invariant_find(kFallback, L"hello world", 5, L"WORLD", -1, &found), 6);
    EXPECT_EQ(found, 5);
    EXPECT_EQ(invariant_find(kFallback, L"12345abc", -1, L"abc", 3, &found), 5);
    EXPECT_EQ(found, 3);
    EXPECT_EQ(invariant_find(kFallback, nullptr, -1, L"a", -1, &found), -1);
}

// What the search hands the system, and that the system's answer is returned
// as it is, without a look at the fallback.
struct FindCall {
    LCID locale;
    DWORD flags;
    LPCWSTR source;
    int source_len;
    LPCWSTR value;
    int value_len;
    LPINT found;
};
std::vector<FindCall> g_finds;
int g_substring_searches = 0;

int WINAPI recording_find(LCID l, DWORD f, LPCWSTR s, int sl, LPCWSTR v, int vl, LPINT found) {
    g_finds.push_back({l, f, s, sl, v, vl, found});
    return 12345;
}
LPWSTR WINAPI counting_substring(LPCWSTR, LPCWSTR) { return ++g_substring_searches, nullptr; }

TEST(InvariantFind, SystemPathPassesEverythingOnAndReturnsItsResult) {
    const InvariantSearchApi api{&recording_find, &counting_substring};
    const wchar_t* source = L"source";
    const wchar_t* value = L"value";
    int found = 0;
    EXPECT_EQ(invariant_find(api, source, 3, value, -1, &found), 12345);
    EXPECT_EQ(invariant_find(api, nullptr, -1, nullptr, 0, nullptr), 12345);
    ASSERT_EQ(g_finds.size(), 2u);
    const FindCall& c = g_finds[0];
    EXPECT_EQ(c.locale, static_cast<LCID>(0x7F));
    EXPECT_EQ(c.flags, 0x400007u);
    EXPECT_TRUE(c.source == source && c.source_len == 3 && c.value == value && c.value_len == -1 && c.found == &found);
    EXPECT_TRUE(g_finds[1].source == nullptr && g_finds[1].value == nullptr && g_finds[1].found == nullptr);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(g_substring_searches, 0);
}

// Without the system search, a null string on either side is a miss that
// never reaches the substring search (which would read through it).
TEST(InvariantFind, FallbackGivenANullStringSearchesNothing) {
    const InvariantSearchApi api{nullptr, &counting_substring};
    g_substring_searches = 0;
    int found = 12345;
    EXPECT_EQ(invariant_find(api, nullptr, -1, L"a", -1, &found), -1);
    EXPECT_EQ(invariant_find(api, L"abc", -1, nullptr, 0, &found), -1);
    EXPECT_EQ(invariant_find(api, nullptr, 0, nullptr, 0, &found), -1);
    EXPECT_EQ(found, 12345);
    EXPECT_EQ(g_substring_searches, 0);
    EXPECT_EQ(invariant_find(api, L"abc", -1, L"b", -1, &found), -1);  // the stand-in finds nothing,
    EXPECT_EQ(g_substring_searches, 1);                                 // but is asked
}

}  // namespace
