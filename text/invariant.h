// Comparison and search in the invariant locale, ignoring case, accents and
// symbols, the same on every machine.
#pragma once
#include <windows.h>

namespace qz::text {

constexpr DWORD kInvariantFlags = NORM_IGNORECASE | NORM_IGNORENONSPACE | NORM_IGNORESYMBOLS;  // 7
constexpr DWORD kFindFlags = kInvariantFlags | 0x00400000;  // FIND_FROMSTART

using FindNlsStringFn = int(WINAPI*)(LCID, DWORD, LPCWSTR, int, LPCWSTR, int, LPINT);

// CompareStringW's result: 1 less, 2 equal, 3 greater, 0 when it fails.
int invariant_compare(const wchar_t* a, int a_len, const wchar_t* b, int b_len) noexcept;

// The system's FindNLSString, looked up once per process; null where the
// system lacks it (and for good once the lookup has failed).
FindNlsStringFn find_nls_string_entry() noexcept;

// Searches with `entry`, or with the case-insensitive substring fallback when
// it is null. Both give the index of the first match or -1, and store the
// match's length in *found (when not null) only on a match.
int invariant_find_with(FindNlsStringFn entry, const wchar_t* source, int source_len, const wchar_t* value,
                        int value_len, int* found) noexcept;

inline int invariant_find(const wchar_t* source, int source_len, const wchar_t* value, int value_len,
                          int* found) noexcept {
    return invariant_find_with(find_nls_string_entry(), source, source_len, value, value_len, found);
}

}  // namespace qz::text
