#include "text/crt_calls.h"

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
template <class Entry>
void look_up(HMODULE crt, const char* name, Entry& entry) noexcept {
    entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(crt, name)));
}

PositionalApi find_positional() noexcept {
    PositionalApi api{};
    if (HMODULE crt = GetModuleHandleW(L"msvcrt.dll")) {
        look_up(crt, "_vscwprintf_p", api.measure);
        look_up(crt, "_vswprintf_p", api.write);
        look_up(crt, "_vscwprintf_p_l", api.measure_l);
        look_up(crt, "_vswprintf_p_l", api.write_l);
    }
    return api;
}

// Measures first, and lets the runtime write only what fits.
template <class Measure, class Write>
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

const PositionalApi& system_positional() noexcept {
    static const PositionalApi api = find_positional();
    return api;
}

int format_wide_positional(const PositionalApi& api, wchar_t* dest, std::size_t size, const wchar_t* format,
                           va_list args) noexcept {
    if (api.measure && api.write) return format_checked(dest, size, format, args, api.measure, api.write);
    if (api.measure_l && api.write_l) {
        const auto measure = [&api](const wchar_t* f, va_list a) { return api.measure_l(f, nullptr, a); };
        const auto write = [&api](wchar_t* d, std::size_t s, const wchar_t* f, va_list a) {
            return api.write_l(d, s, f, nullptr, a);
        };
        return format_checked(dest, size, format, args, measure, write);
    }
    // No positional formatter in this runtime: no text fits.
    const auto none = [](auto&&...) { return -1; };
    return format_checked(dest, size, format, args, none, none);
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
