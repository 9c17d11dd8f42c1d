#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "include/qzutilities.h"

namespace {

// Wide text as UTF-8 for the console, through the library itself.
std::string narrow(qz::demo::Context& ctx, const wchar_t* w) {
    std::vector<char> buf(std::wcslen(w) * 3 + 1);
    QZ_FN(ctx.lib, utf16_to_utf8)(w, buf.data(), static_cast<int>(buf.size()));
    return buf.data();
}

std::wstring wide_from_acp(const char* s) {
    const int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(std::wcslen(w.c_str()));
    return w;
}

void tour(qz::demo::Context& ctx) {
    wchar_t wide[16];
    const char* utf8 = "caf\xC3\xA9 \xF0\x9F\x98\x80";
    int r = QZ_FN(ctx.lib, utf8_to_utf16)(utf8, wide, 16);
    std::printf("utf8_to_utf16(\"caf\\xC3\\xA9 \\xF0\\x9F\\x98\\x80\", 16) = %d -> %zu units\n", r,
                std::wcslen(wide));
    r = QZ_FN(ctx.lib, utf8_to_utf16)(utf8, wide, 7);
    std::printf("utf8_to_utf16(same, 7) = %d -> %zu units (a pair is never cut in half)\n", r, std::wcslen(wide));
    std::printf("utf8_to_utf16(\"\\xC0\\x80\", 16) = %d (ill-formed: empty text)\n",
                QZ_FN(ctx.lib, utf8_to_utf16)("\xC0\x80", wide, 16));
    std::printf("QZ_InvariantCompare(\"ABC\", \"abc\") = %d (2: equal)\n",
                QZ_FN(ctx.lib, QZ_InvariantCompare)(L"ABC", -1, L"abc", -1));
    int found = 0;
    const int at = QZ_FN(ctx.lib, QZ_InvariantFindStr)(L"sayHELLO", -1, L"hello", -1, &found);
    std::printf("QZ_InvariantFindStr(\"sayHELLO\", \"hello\") = %d, match length %d\n", at, found);

    wchar_t out[64];
    const int n = QZ_FN(ctx.lib, QZ_swprintf_s)(out, 64, L"%s has %d points", L"Ann", 12);
    std::printf("QZ_swprintf_s(64, \"%%s has %%d points\") = %d \"%s\"\n", n, narrow(ctx, out).c_str());
    std::printf("QZ_swprintf_s(5, same) = %d (too small: empty text, the process lives)\n",
                QZ_FN(ctx.lib, QZ_swprintf_s)(out, 5, L"%s has %d points", L"Ann", 12));
    QZ_FN(ctx.lib, QZ_swprintf_p)(out, 64, L"%2$s, %1$s", L"world", L"hello");
    std::printf("QZ_swprintf_p(\"%%2$s, %%1$s\", world, hello) -> \"%s\"\n", narrow(ctx, out).c_str());

    unsigned count = 0;
    out[0] = 0;
    wchar_t* end = out;
    for (const wchar_t* piece : {L"one ", L"two ", L"three"}) end = QZ_FN(ctx.lib, QZ_sfwcstrcat)(end, piece, 9, &count);
    std::printf("QZ_sfwcstrcat chain, limit 9 -> \"%s\", count %u\n", narrow(ctx, out).c_str(), count);
    std::printf("QZ_strcmp(\"ABC\", \"abc\") = %d; QZ_strtol(\"0x1A\") = %d, (\"017\") = %d\n",
                QZ_FN(ctx.lib, QZ_strcmp)(L"ABC", L"abc"), QZ_FN(ctx.lib, QZ_strtol)("0x1A"), QZ_FN(ctx.lib, QZ_strtol)("017"));

    const int len = QZ_FN(ctx.lib, QZ_wcsparser)(out, 63, L"Hello {0}, you have {1} points", 2, L"Ann", L"12");
    std::printf("QZ_wcsparser(\"Hello {0}, you have {1} points\", Ann, 12) = %d \"%s\"\n", len,
                narrow(ctx, out).c_str());
    const int err = QZ_FN(ctx.lib, QZ_wcsparser)(out, 63, L"{x}", 0);
    std::printf("QZ_wcsparser(\"{x}\") = %d \"%s\"\n", err, narrow(ctx, out).c_str());

    char digest[40] = "abc";
    QZ_FN(ctx.lib, QZ_encrypt_md5)(digest);
    std::printf("QZ_encrypt_md5(\"abc\") -> %s\n", digest);
}

int command_md5(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost md5 TEXT\n");
        return 2;
    }
    std::vector<char> buf(std::strlen(argv[0]) + 33, '\0');
    std::memcpy(buf.data(), argv[0], std::strlen(argv[0]));
    QZ_FN(ctx.lib, QZ_encrypt_md5)(buf.data());
    std::printf("%s\n", buf.data());
    return 0;
}

int command_format(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost format TEMPLATE ARGS...\n");
        return 2;
    }
    const std::wstring tmpl = wide_from_acp(argv[0]);
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) args.push_back(wide_from_acp(argv[i]));
    const wchar_t* a[15] = {};
    for (std::size_t i = 0; i < 15; ++i) a[i] = i < args.size() ? args[i].c_str() : L"";
    std::vector<wchar_t> out(1025);
    const int r = QZ_FN(ctx.lib, QZ_wcsparser)(out.data(), 1024, tmpl.c_str(), static_cast<int>(args.size()), a[0], a[1],
                                      a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13],
                                      a[14]);
    std::printf("%s\n(result %d)\n", narrow(ctx, out.data()).c_str(), r);
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(30, "Text: UTF conversion, invariant compare/search, formatters, appends, parser, MD5", tour);
QZ_DEMO_COMMAND("md5", "TEXT              the MD5 of TEXT's bytes as 32 lowercase hex digits", command_md5);
QZ_DEMO_COMMAND("format", "TEMPLATE ARGS...  fill {0}..{14} in TEMPLATE with ARGS (at most 15)", command_format);
