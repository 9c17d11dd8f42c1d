// Every text export through the loaded DLL, as the engine calls it: the
// runtime-backed helpers with short buffers and null pointers (the process
// must live on), the variadic exports, and MD5 against Windows' own.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <random>
#include <string>

#include "include/qzutilities.h"
#include "testhost/engine_host.h"

namespace {

template <class F>
F* fn(const char* name) {
    return qz::test::Library::get().fn<F*>(name);
}
#define QZ_FN(name) fn<decltype(::name)>(#name)

constexpr wchar_t kJunk = 0x7777;

TEST(TextExports, UtfConversions) {
    auto to16 = QZ_FN(utf8_to_utf16);
    auto to8 = QZ_FN(utf16_to_utf8);
    wchar_t wide[8];
    EXPECT_EQ(to16("a\xF0\x9F\x98\x80", wide, 8), 0);
    EXPECT_EQ(std::wstring(wide), std::wstring({L'a', 0xD83D, 0xDE00}));
    EXPECT_EQ(to16("a\xF0\x9F\x98\x80", wide, 3), 0);  // the pair would be cut
    EXPECT_EQ(std::wstring(wide), L"a");
    char narrow[8];
    EXPECT_EQ(to8(L"\xD83D\xDE00", narrow, 5), 0);
    EXPECT_STREQ(narrow, "\xF0\x9F\x98\x80");
    EXPECT_EQ(to8(L"\xD83D\xDE00", narrow, 4), 0);
    EXPECT_STREQ(narrow, "");

    EXPECT_EQ(to16("\xC0\x80", wide, 8), -1);
    EXPECT_EQ(wide[0], 0);
    EXPECT_EQ(to8(L"x\xDC00", narrow, 8), -1);
    EXPECT_EQ(narrow[0], 0);
}

TEST(TextExports, InvariantCompareAndFind) {
    auto compare = QZ_FN(QZ_InvariantCompare);
    auto find = QZ_FN(QZ_InvariantFindStr);
    EXPECT_EQ(compare(L"ABC", -1, L"abc", -1), 2);
    EXPECT_EQ(compare(L"abc", -1, L"abd", -1), 1);
    EXPECT_EQ(compare(L"abd", -1, L"ABC", -1), 3);
    int found = -7;
    EXPECT_EQ(find(L"sayHello", -1, L"hello", -1, &found), 3);
    EXPECT_EQ(found, 5);
    EXPECT_EQ(find(L"sayHello", -1, L"bye", -1, nullptr), -1);
    EXPECT_EQ(find(L"Hello", -1, L"he", -1, nullptr), 0);
}

TEST(TextExports, MbscpyNeverReachesTheInvalidParameterHandler) {
    auto copy = QZ_FN(QZ_mbscpy_s);
    unsigned char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(copy(buf, 8, reinterpret_cast<const unsigned char*>("1234567")), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(buf), "1234567");
    EXPECT_EQ(copy(buf, 8, reinterpret_cast<const unsigned char*>("12345678")), 34);
    EXPECT_EQ(buf[0], 0);
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(copy(buf, 1, reinterpret_cast<const unsigned char*>("x")), 34);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], '#');
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(copy(buf, 8, nullptr), 22);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(copy(nullptr, 8, reinterpret_cast<const unsigned char*>("x")), 22);
    buf[0] = '#';
    EXPECT_EQ(copy(buf, 0, reinterpret_cast<const unsigned char*>("x")), 22);
    EXPECT_EQ(buf[0], '#');
}

TEST(TextExports, FormattersWriteWhatFitsAndOtherwiseFailEmpty) {
    auto format_s = QZ_FN(QZ_swprintf_s);
    auto format_p = QZ_FN(QZ_swprintf_p);
    wchar_t buf[16];
    EXPECT_EQ(format_s(buf, 16, L"%d-%s-%c", 42, L"ab", L'z'), 7);
    EXPECT_EQ(std::wstring(buf), L"42-ab-z");
    EXPECT_EQ(format_s(buf, 8, L"%d-%s-%c", 42, L"ab", L'z'), 7);  // exactly fits
    EXPECT_EQ(std::wstring(buf), L"42-ab-z");
    std::fill(std::begin(buf), std::end(buf), kJunk);
    EXPECT_EQ(format_s(buf, 7, L"%d-%s-%c", 42, L"ab", L'z'), -1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[7], kJunk);
    EXPECT_EQ(format_s(buf, 1, L"x"), -1);
    EXPECT_EQ(buf[0], 0);
    buf[0] = kJunk;
    EXPECT_EQ(format_s(buf, 0, L"x"), -1);
    EXPECT_EQ(buf[0], kJunk);
    EXPECT_EQ(format_s(nullptr, 16, L"x"), -1);
    EXPECT_EQ(format_s(buf, 16, nullptr), -1);
    EXPECT_EQ(buf[0], 0);

    // 64-bit and floating values pass through the forwarded list intact.
    wchar_t wide[32];
    EXPECT_EQ(format_s(wide, 32, L"%I64d|%.2f|%u", 1234567890123LL, 2.5, 7u), 20);
    EXPECT_EQ(std::wstring(wide), L"1234567890123|2.50|7");

    EXPECT_EQ(format_p(buf, 16, L"%2$s %1$s", L"world", L"hello"), 11);
    EXPECT_EQ(std::wstring(buf), L"hello world");
    EXPECT_EQ(format_p(buf, 16, L"%d %s", 5, L"plain"), 7);
    EXPECT_EQ(std::wstring(buf), L"5 plain");
    std::fill(std::begin(buf), std::end(buf), kJunk);
    EXPECT_EQ(format_p(buf, 11, L"%2$s %1$s", L"world", L"hello"), -1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], kJunk);
    EXPECT_EQ(format_p(buf, 12, L"%2$s %1$s", L"world", L"hello"), 11);
}

TEST(TextExports, CountedAppendsReturnTheNewTerminator) {
    auto cat = QZ_FN(QZ_fwcstrcat);
    auto scat = QZ_FN(QZ_sfwcstrcat);
    wchar_t buf[16] = L"xy";
    unsigned count = 2;
    wchar_t* end = cat(buf, L"abc", &count);
    EXPECT_EQ(end, buf + 5);
    EXPECT_EQ(count, 5u);
    end = scat(end, L"defghij", 7, &count);
    EXPECT_EQ(std::wstring(buf), L"xyabcde");
    EXPECT_EQ(end, buf + 7);
    EXPECT_EQ(count, 7u);
}

TEST(TextExports, StrcmpIgnoresCase) {
    auto cmp = QZ_FN(QZ_strcmp);
    EXPECT_EQ(cmp(L"ABC", L"abc"), 0);
    EXPECT_LT(cmp(L"abc", L"ABD"), 0);
    EXPECT_GT(cmp(L"b", L"A"), 0);
    EXPECT_EQ(cmp(nullptr, L"a"), 0x7FFFFFFF);
}

TEST(TextExports, StrtolBases) {
    auto strtol_ = QZ_FN(QZ_strtol);
    EXPECT_EQ(strtol_("017"), 15);
    EXPECT_EQ(strtol_("0x1A"), 26);
    EXPECT_EQ(strtol_("0X1f"), 31);
    EXPECT_EQ(strtol_("-12abc"), -12);
    EXPECT_EQ(strtol_("  42"), 42);
    EXPECT_EQ(strtol_("zz"), 0);
    EXPECT_EQ(strtol_("08"), 0);  // 8 is no octal digit
    EXPECT_EQ(strtol_("99999999999"), 2147483647);
    EXPECT_EQ(strtol_("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(strtol_(nullptr), 0);
}

TEST(TextExports, ParserTakesItsArgumentsFromTheVariableList) {
    auto parse = QZ_FN(QZ_wcsparser);
    wchar_t out[65];
    EXPECT_EQ(parse(out, 64, L"Hello {0}, you have {1} points", 2, L"Ann", L"12"), 29);
    EXPECT_EQ(std::wstring(out), L"Hello Ann, you have 12 points");
    EXPECT_EQ(parse(out, 64, L"{14}{0}{7}", 15, L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j",
                    L"k", L"l", L"m", L"n", L"o"),
              3);
    EXPECT_EQ(std::wstring(out), L"oah");
    EXPECT_EQ(parse(out, 64, L"{0}", 16), 37);  // no argument is read
    EXPECT_EQ(std::wstring(out), L"Parser error! Too many args included.");
    EXPECT_EQ(parse(out, 10, L"{0}", -1), 42);
    EXPECT_EQ(std::wstring(out), L"Parser err");
}

// Windows' own MD5 through CryptoAPI, each handle in its owner.
class CryptoMd5 {
public:
    CryptoMd5() {
        if (!CryptAcquireContextW(&prov_, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) prov_ = 0;
    }
    ~CryptoMd5() {
        if (prov_) CryptReleaseContext(prov_, 0);
    }
    CryptoMd5(const CryptoMd5&) = delete;
    CryptoMd5& operator=(const CryptoMd5&) = delete;
    bool ok() const { return prov_ != 0; }

    std::string hex(const std::string& data) const {
        struct Hash {
            HCRYPTHASH h = 0;
            ~Hash() {
                if (h) CryptDestroyHash(h);
            }
        } hash;
        if (!CryptCreateHash(prov_, CALG_MD5, 0, 0, &hash.h)) return "create failed";
        if (!CryptHashData(hash.h, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()), 0))
            return "hash failed";
        BYTE digest[16];
        DWORD size = sizeof digest;
        if (!CryptGetHashParam(hash.h, HP_HASHVAL, digest, &size, 0) || size != 16) return "get failed";
        std::string out;
        for (BYTE b : digest) {
            out.push_back("0123456789abcdef"[b >> 4]);
            out.push_back("0123456789abcdef"[b & 15]);
        }
        return out;
    }

private:
    HCRYPTPROV prov_ = 0;
};

TEST(TextExports, Md5InPlace) {
    auto md5 = QZ_FN(QZ_encrypt_md5);
    char buf[40] = "abc";
    EXPECT_EQ(md5(buf), 1);
    EXPECT_STREQ(buf, "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5(nullptr), 0);
}

TEST(TextExports, Md5EqualsWindowsOwn) {
    auto md5 = QZ_FN(QZ_encrypt_md5);
    CryptoMd5 windows;
    ASSERT_TRUE(windows.ok());
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> length(0, 300), byte(1, 255);
    for (int i = 0; i < 3000; ++i) {
        std::string input(static_cast<std::size_t>(length(rng)), '\0');
        for (char& c : input) c = static_cast<char>(byte(rng));
        std::string buf = input;
        buf.resize(std::max<std::size_t>(input.size(), 32) + 1, '\0');
        ASSERT_EQ(md5(buf.data()), 1);
        ASSERT_EQ(std::string(buf.c_str()), windows.hex(input)) << "input length " << input.size();
    }
}

}  // namespace
