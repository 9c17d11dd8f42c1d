#include "text/invariant.h"

#include <shlwapi.h>

#include <atomic>
#include <cwchar>

namespace qz::text {
namespace {

// Set while the system search may still be used; the entry once found. Two
// first calls at once both find the same entry and store the same values.
std::atomic<bool> g_may_use_system{true};
std::atomic<FindNlsStringFn> g_entry{nullptr};

}  // namespace

int invariant_compare(const wchar_t* a, int a_len, const wchar_t* b, int b_len) noexcept {
    return CompareStringW(LOCALE_INVARIANT, kInvariantFlags, a, a_len, b, b_len);
}

FindNlsStringFn find_nls_string_entry() noexcept {
    if (FindNlsStringFn entry = g_entry.load()) return entry;
    if (!g_may_use_system.load()) return nullptr;
    // kernel32 is mapped into every process for its whole life: the handle
    // needs no reference of its own.
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "FindNLSString") : nullptr;
    if (proc == nullptr) {
        g_may_use_system.store(false);
        return nullptr;
    }
    auto entry = reinterpret_cast<FindNlsStringFn>(reinterpret_cast<void*>(proc));
    g_entry.store(entry);
    return entry;
}

int invariant_find_with(FindNlsStringFn entry, const wchar_t* source, int source_len, const wchar_t* value,
                        int value_len, int* found) noexcept {
    if (entry != nullptr) {
        return entry(LOCALE_INVARIANT, kFindFlags, source, source_len, value, value_len, found);
    }
    // The fallback reads both strings to their terminators, whatever lengths
    // were passed, and ignores case only.
    if (source == nullptr || value == nullptr) return -1;
    const wchar_t* match = StrStrIW(source, value);
    if (match == nullptr) return -1;
    if (found != nullptr) *found = static_cast<int>(std::wcslen(value));
    return static_cast<int>(match - source);
}

}  // namespace qz::text
