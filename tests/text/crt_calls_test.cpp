// The positional formatter's three ways, white box: the plain pair of the
// runtime, the locale pair standing in for it, and none at all, against
// recording stand-ins (they format with the runtime's plain formatters), and
// the pair the loaded runtime really has.
#include <gtest/gtest.h>

#include <stdio.h>
#include <wchar.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "text/crt_calls.h"

namespace {

using qz::text::PositionalApi;
using Calls = std::vector<std::string>;
Calls g_calls;

int __cdecl plain_measure(const wchar_t* f, va_list a) {
    g_calls.push_back("measure");
    return _vscwprintf(f, a);
}
int __cdecl plain_write(wchar_t* d, size_t s, const wchar_t* f, va_list a) {
    g_calls.push_back("write");
    return vswprintf_s(d, s, f, a);
}
int __cdecl locale_measure(const wchar_t* f, _locale_t l, va_list a) {
    g_calls.push_back(l ? "measure_l with a locale" : "measure_l");
    return _vscwprintf(f, a);
}
int __cdecl locale_write(wchar_t* d, size_t s, const wchar_t* f, _locale_t l, va_list a) {
    g_calls.push_back(l ? "write_l with a locale" : "write_l");
    return vswprintf_s(d, s, f, a);
}

int format(const PositionalApi& api, wchar_t* dest, std::size_t size, const wchar_t* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const int r = qz::text::format_wide_positional(api, dest, size, fmt, args);
    va_end(args);
    return r;
}

const PositionalApi kBoth{plain_measure, plain_write, locale_measure, locale_write};
const PositionalApi kPlain{plain_measure, plain_write, nullptr, nullptr};
const PositionalApi kLocale{nullptr, nullptr, locale_measure, locale_write};

struct Row {
    const char* what;
    PositionalApi api;
    int result;
    const wchar_t* text;
    Calls calls;
};

TEST(Positional, ThePlainPairThenTheLocalePairThenNone) {
    const Calls plain{"measure", "write"}, locale{"measure_l", "write_l"};
    const Row rows[] = {
        {"both pairs", kBoth, 7, L"42-abcd", plain},
        {"only the plain pair", kPlain, 7, L"42-abcd", plain},
        {"only the locale pair", kLocale, 7, L"42-abcd", locale},
        // Half a plain pair is not used.
        {"locale pair, plain measure", {plain_measure, nullptr, locale_measure, locale_write}, 7, L"42-abcd", locale},
        {"locale pair, plain write", {nullptr, plain_write, locale_measure, locale_write}, 7, L"42-abcd", locale},
        {"none", {nullptr, nullptr, nullptr, nullptr}, -1, L"", {}},
        {"half of each", {plain_measure, nullptr, nullptr, locale_write}, -1, L"", {}},
    };
    for (const Row& r : rows) {
        g_calls.clear();
        wchar_t out[16];
        wmemset(out, L'#', 16);
        EXPECT_EQ(format(r.api, out, 16, L"%d-%s", 42, L"abcd"), r.result) << r.what;
        EXPECT_EQ(std::wstring(out), r.text) << r.what;
        EXPECT_EQ(g_calls, r.calls) << r.what;
    }
}

TEST(Positional, WhatDoesNotFitIsMeasuredButNotWritten) {
    for (const PositionalApi& api : {kPlain, kLocale}) {
        g_calls.clear();
        wchar_t out[8];
        wmemset(out, L'#', 8);
        EXPECT_EQ(format(api, out, 7, L"%d-%s", 42, L"abcd"), -1);  // 7 units and a terminator
        EXPECT_EQ(out[0], L'\0');
        EXPECT_EQ(out[1], L'#');
        EXPECT_EQ(g_calls.size(), 1u);
        // Exactly the room it needs.
        EXPECT_EQ(format(api, out, 8, L"%d-%s", 42, L"abcd"), 7);
        EXPECT_EQ(std::wstring(out), L"42-abcd");
    }
}

TEST(Positional, NoRoomOrNoFormatCallsNothing) {
    g_calls.clear();
    wchar_t out[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(format(kBoth, nullptr, 4, L"x"), -1);
    EXPECT_EQ(format(kBoth, out, 0, L"x"), -1);
    EXPECT_EQ(out[0], L'#') << "a size of 0 leaves the buffer alone";
    EXPECT_EQ(format(kBoth, out, 4, nullptr), -1);
    EXPECT_EQ(out[0], L'\0');
    EXPECT_TRUE(g_calls.empty());
}

TEST(Positional, TheLoadedRuntimeHasAPairThatTakesPositions) {
    const PositionalApi& api = qz::text::system_positional();
    EXPECT_TRUE((api.measure && api.write) || (api.measure_l && api.write_l))
        << "QZ_swprintf_p would fail for every text";
    wchar_t out[16];
    EXPECT_EQ(format(api, out, 16, L"%2$s %1$d", 7, L"seven"), 7);
    EXPECT_EQ(std::wstring(out), L"seven 7");
}

}  // namespace
