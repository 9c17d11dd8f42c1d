// The text exports: each converts its arguments and calls the code above.
// wchar_t is a 16-bit UTF-16 unit on Windows, the char16_t of the cores.
#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "host/shim.h"
#include "text/concat.h"
#include "text/invariant.h"
#include "text/md5.h"
#include "text/parser.h"
#include "text/crt_calls.h"
#include "text/utf.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide strings are UTF-16 units");

namespace {

char16_t* units(wchar_t* p) { return reinterpret_cast<char16_t*>(p); }
const char16_t* units(const wchar_t* p) { return reinterpret_cast<const char16_t*>(p); }
wchar_t* wide(char16_t* p) { return reinterpret_cast<wchar_t*>(p); }

}  // namespace

QZ_API int utf8_to_utf16(const char* in, wchar_t* out, int size) {
    return qz::guarded(-1, [&] { return qz::text::utf8_to_utf16(in, units(out), size); });
}

QZ_API int utf16_to_utf8(const wchar_t* in, char* out, int size) {
    return qz::guarded(-1, [&] { return qz::text::utf16_to_utf8(units(in), out, size); });
}

QZ_API int QZ_InvariantCompare(const wchar_t* a, int a_len, const wchar_t* b, int b_len) {
    return qz::guarded(0, [&] { return qz::text::invariant_compare(a, a_len, b, b_len); });
}

QZ_API int QZ_InvariantFindStr(const wchar_t* source, int source_len, const wchar_t* value, int value_len,
                               int* found) {
    return qz::guarded(-1, [&] {
        return qz::text::invariant_find(qz::text::system_invariant_search(), source, source_len, value, value_len,
                                        found);
    });
}

QZ_API int QZ_mbscpy_s(unsigned char* dest, std::size_t size, const unsigned char* src) {
    return qz::guarded(22, [&] { return qz::text::copy_mbs(dest, size, src); });
}

QZ_API int QZ_swprintf_s(wchar_t* dest, std::size_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int r = qz::guarded(-1, [&] { return qz::text::format_wide(dest, size, format, args); });
    va_end(args);
    return r;
}

QZ_API int QZ_swprintf_p(wchar_t* dest, std::size_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int r = qz::guarded(
        -1, [&] { return qz::text::format_wide_positional(qz::text::system_positional(), dest, size, format, args); });
    va_end(args);
    return r;
}

QZ_API wchar_t* QZ_fwcstrcat(wchar_t* dest, const wchar_t* src, unsigned* count) {
    static_assert(sizeof(unsigned) == sizeof(std::uint32_t), "the count is 32-bit");
    return qz::guarded(static_cast<wchar_t*>(nullptr), [&] {
        return wide(qz::text::append_counted(units(dest), units(src), reinterpret_cast<std::uint32_t*>(count)));
    });
}

QZ_API wchar_t* QZ_sfwcstrcat(wchar_t* dest, const wchar_t* src, unsigned limit, unsigned* count) {
    return qz::guarded(static_cast<wchar_t*>(nullptr), [&] {
        return wide(qz::text::append_counted_bounded(units(dest), units(src), limit,
                                                     reinterpret_cast<std::uint32_t*>(count)));
    });
}

QZ_API int QZ_strcmp(const wchar_t* a, const wchar_t* b) {
    return qz::guarded(0x7FFFFFFF, [&] { return qz::text::compare_ignoring_case(a, b); });
}

QZ_API std::int32_t QZ_strtol(const char* s) {
    return qz::guarded(std::int32_t{0}, [&] { return qz::text::parse_long(s); });
}

QZ_API int QZ_wcsparser(wchar_t* out, unsigned len, const wchar_t* tmpl, int n, ...) {
    // No argument is read when there are too many of them.
    const char16_t* args[qz::text::kParserMaxArgs] = {};
    if (n <= qz::text::kParserMaxArgs) {
        va_list list;
        va_start(list, n);
        for (int i = 0; i < n; ++i) args[i] = units(va_arg(list, const wchar_t*));
        va_end(list);
    }
    return qz::guarded(0, [&] { return qz::text::parse_template(units(out), len, units(tmpl), n, args); });
}

QZ_API int QZ_encrypt_md5(char* buf) {
    return qz::guarded(0, [&] { return qz::text::digest_in_place(buf); });
}
