#include "runtime.h"

#include <locale.h>
#include <mbstring.h>
#include <stdio.h>
#include <wchar.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

// The positional formatters as every msvcrt.dll exports them (the forms
// without a locale are missing from some), called with the current locale.
extern "C" {
__declspec(dllimport) int __cdecl _vscwprintf_p_l(const wchar_t* format, _locale_t locale, va_list args);
__declspec(dllimport) int __cdecl _vswprintf_p_l(wchar_t* dest, size_t size, const wchar_t* format,
                                                 _locale_t locale, va_list args);
}

namespace qz::text {
namespace {

using Measure = int (*)(const wchar_t*, va_list);
using Write = int (*)(wchar_t*, std::size_t, const wchar_t*, va_list);

// Measures first, and lets the runtime write only what fits.
int format_checked(wchar_t* dest, std::size_t size, const wchar_t* format, va_list args, Measure measure,
                   Write write) {
    if (dest == nullptr || size == 0) return -1;
    if (format == nullptr) {
        dest[0] = 0;
        return -1;
    }
    va_list probe;
    va_copy(probe, args);
    const int needed = measure(format, probe);
    va_end(probe);
    if (needed < 0 || static_cast<std::size_t>(needed) >= size) {
        dest[0] = 0;
        return -1;
    }
    return write(dest, size, format, args);
}

}  // namespace

int copy_mbs(unsigned char* dest, std::size_t size, const unsigned char* src) noexcept {
    if (dest == nullptr || size == 0) return EINVAL;
    if (src == nullptr) {
        dest[0] = 0;
        return EINVAL;
    }
    if (std::strlen(reinterpret_cast<const char*>(src)) >= size) {
        dest[0] = 0;
        return ERANGE;
    }
    return _mbscpy_s(dest, size, src);
}

int format_wide(wchar_t* dest, std::size_t size, const wchar_t* format, va_list args) noexcept {
    return format_checked(
        dest, size, format, args, [](const wchar_t* f, va_list a) { return _vscwprintf(f, a); },
        [](wchar_t* d, std::size_t s, const wchar_t* f, va_list a) { return vswprintf_s(d, s, f, a); });
}

int format_wide_positional(wchar_t* dest, std::size_t size, const wchar_t* format, va_list args) noexcept {
    return format_checked(
        dest, size, format, args, [](const wchar_t* f, va_list a) { return _vscwprintf_p_l(f, nullptr, a); },
        [](wchar_t* d, std::size_t s, const wchar_t* f, va_list a) {
            return _vswprintf_p_l(d, s, f, nullptr, a);
        });
}

int compare_ignoring_case(const wchar_t* a, const wchar_t* b) noexcept {
    if (a == nullptr || b == nullptr) return INT_MAX;  // _NLSCMPERROR
    return _wcsicmp(a, b);
}

std::int32_t parse_long(const char* s) noexcept {
    if (s == nullptr) return 0;
    return static_cast<std::int32_t>(std::strtol(s, nullptr, 0));
}

}  // namespace qz::text
