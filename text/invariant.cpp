#include "text/invariant.h"

#include <shlwapi.h>

#include <cwchar>

namespace qz::text {
namespace {

// kernel32 is mapped into every process for its whole life: the handle needs
// no reference of its own.
FindNlsStringFn look_up_find_nls_string() noexcept {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "FindNLSString") : nullptr;
    return reinterpret_cast<FindNlsStringFn>(reinterpret_cast<void*>(proc));
}

}  // namespace

const InvariantSearchApi& system_invariant_search() noexcept {
    static const InvariantSearchApi api{look_up_find_nls_string(), &StrStrIW};
    return api;
}

int invariant_compare(const wchar_t* a, int a_len, const wchar_t* b, int b_len) noexcept {
    return CompareStringW(LOCALE_INVARIANT, kInvariantFlags, a, a_len, b, b_len);
}

int invariant_find(const InvariantSearchApi& api, const wchar_t* source, int source_len, const wchar_t* value,
                   int value_len, int* found) noexcept {
    if (api.find_nls_string != nullptr) {
        return api.find_nls_string(LOCALE_INVARIANT, kFindFlags, source, source_len, value, value_len, found);
    }
    // The fallback reads both strings to their terminators, whatever lengths
    // were passed, and ignores case only.
    if (source == nullptr || value == nullptr) return -1;
    const wchar_t* match = api.find_ignoring_case(source, value);
    if (match == nullptr) return -1;
    if (found != nullptr) *found = static_cast<int>(std::wcslen(value));
    return static_cast<int>(match - source);
}

}  // namespace qz::text
