// The runtime's bounded copy, formatters, comparison and number parsing,
// called only with arguments they accept: a short buffer or a null pointer
// gets the runtime's documented error result here, so the runtime's
// invalid-parameter handling (which ends the process) is never reached.
#pragma once
#include <locale.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace qz::text {

// _mbscpy_s: 0, EINVAL (22) for a null pointer or size 0, ERANGE (34) when
// the source does not fit; on either error a non-null destination with a
// size of at least 1 holds the empty string.
int copy_mbs(unsigned char* dest, std::size_t size, const unsigned char* src) noexcept;

// The runtime's positional formatters, which not every msvcrt.dll has: the
// plain forms (measure and write) or, standing in for them, the forms that
// take a locale, called with null (the current locale). A null entry is one
// the runtime lacks.
struct PositionalApi {
    int(__cdecl* measure)(const wchar_t* format, va_list args);                         // _vscwprintf_p
    int(__cdecl* write)(wchar_t* dest, size_t size, const wchar_t* format, va_list args);  // _vswprintf_p
    int(__cdecl* measure_l)(const wchar_t* format, _locale_t locale, va_list args);      // _vscwprintf_p_l
    int(__cdecl* write_l)(wchar_t* dest, size_t size, const wchar_t* format, _locale_t locale,
                          va_list args);  // _vswprintf_p_l
};

// The entries of the loaded msvcrt.dll, looked up once per process.
const PositionalApi& system_positional() noexcept;

// vswprintf_s / _vswprintf_p (positional arguments): units written, or -1
// with the empty string in `dest` when the text does not fit (or `dest`,
// the size or the format is missing). The positional form uses the plain
// pair when the runtime has both, else the locale pair, else fails like a
// text that does not fit.
int format_wide(wchar_t* dest, std::size_t size, const wchar_t* format, va_list args) noexcept;
int format_wide_positional(const PositionalApi& api, wchar_t* dest, std::size_t size, const wchar_t* format,
                           va_list args) noexcept;

// _wcsicmp; a null string gives the runtime's error value 0x7FFFFFFF.
int compare_ignoring_case(const wchar_t* a, const wchar_t* b) noexcept;

// strtol with base 0 (0x hex, 0 octal, else decimal); null gives 0.
std::int32_t parse_long(const char* s) noexcept;

}  // namespace qz::text
