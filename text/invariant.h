// Comparison and search in the invariant locale, ignoring case, accents and
// symbols, the same on every machine.
#pragma once
#include <windows.h>

namespace qz::text {

constexpr DWORD kInvariantFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS;  // 7
constexpr DWORD kFindFlags = kInvariantFlags | 0x00400000;  // FIND_FROMSTART

using FindNlsStringFn = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPCWSTR, int, LPINT);

// The platform entries the search uses: FindNLSString, null where the system
// lacks it, and the case-insensitive substring search that stands in then.
struct InvariantSearchApi {
    FindNlsStringFn find_nls_string;
    LPWSTR(WINAPI* find_ignoring_case)(LPCWSTR source, LPCWSTR value);  // StrStrIW
};

// The system's: FindNLSString is looked up in kernel32 on the first call,
// once per process; where it is missing the fallback serves for good.
const InvariantSearchApi& system_invariant_search() noexcept;

// CompareStringW's result: 1 less, 2 equal, 3 greater, 0 when it fails.
int invariant_compare(const wchar_t* a, int a_len, const wchar_t* b, int b_len) noexcept;

// Searches with FindNLSString, or with the substring fallback when the api has
// none. Both give the index of the first match or -1, and store the match's
// length in *found (when not null) only on a match.
int invariant_find(const InvariantSearchApi& api, const wchar_t* source, int source_len, const wchar_t* value,
                   int value_len, int* found) noexcept;

}  // namespace qz::text
