#include "text/runtime.h"

#include <windows.h>

#include <locale.h>
#include <mbstring.h>
#include <stdio.h>
#include <wchar.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace qz::text {
namespace {

// The positional formatters are looked up in the loaded msvcrt.dll rather
// than imported: not every msvcrt.dll has the plain forms (Wine's lacks
// them), and a missing import would keep the whole library from loading.
// The forms taking a locale, called with null (the current locale), stand in.
using MeasureP = int(__cdecl*)(const wchar_t*, va_list);
using WriteP = int(__cdecl*)(wchar_t*, size_t, const wchar_t*, va_list);
using MeasurePL = int(__cdecl*)(const wchar_t*, _locale_t, va_list);
using WritePL = int(__cdecl*)(wchar_t*, size_t, const wchar_t*, _locale_t, va_list);

struct PositionalFormatters {
    MeasureP measure = nullptr;
    WriteP write = nullptr;
    MeasurePL measure_l = nullptr;
    WritePL write_l = nullptr;

    PositionalFormatters() {
        HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
        if (crt == nullptr) return;
        auto find = [crt](const char* name) { return reinterpret_cast<void*>(GetProcAddress(crt, name)); };
        measure = reinterpret_cast<MeasureP>(find("_vscwprintf_p"));
        write = reinterpret_cast<WriteP>(find("_vswprintf_p"));
        measure_l = reinterpret_cast<MeasurePL>(find("_vscwprintf_p_l"));
        write_l = reinterpret_cast<WritePL>(find("_vswprintf_p_l"));
    }
};

const PositionalFormatters& positional() {
    static const PositionalFormatters formatters;
    return formatters;
}

int measure_positional(const wchar_t* format, va_list args) {
    const auto& f = positional();
    if (f.measure && f.write) return f.measure(format, args);
    if (f.measure_l && f.write_l) return f.measure_l(format, nullptr, args);
    return -1;  // no positional formatter in this runtime
}

int write_positional(wchar_t* dest, std::size_t size, const wchar_t* format, va_list args) {
    const auto& f = positional();
    if (f.measure && f.write) return f.write(dest, size, format, args);
    return f.write_l(dest, size, format, nullptr, args);
}

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
    return format_checked(dest, size, format, args, measure_positional, write_positional);
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
