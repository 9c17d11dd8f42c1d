// Every text export through the loaded DLL: short buffers and null pointers
// (the process must live on), the variadic exports, MD5 against Windows' own.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "include/qzutilities.h"
#include "testhost/engine_host.h"

namespace {

using qz::test::Library;

constexpr wchar_t kJunk = 0x7777;

// The cores are tested in depth on their own; these show the exports forward
// their arguments and results.
TEST(TextExports, Forwarding) {
    wchar_t wide[8];
    EXPECT_EQ(QZ_FN(Library::get(), utf8_to_utf16)("a\xF0\x9F\x98\x80", wide, 3), 0);  // the pair would be cut
    EXPECT_EQ(std::wstring(wide), L"a");
    char narrow[8] = "#";
    EXPECT_EQ(QZ_FN(Library::get(), utf16_to_utf8)(L"x\xDC00", narrow, 8), -1);
    EXPECT_EQ(narrow[0], 0);

    EXPECT_EQ(QZ_FN(Library::get(), QZ_InvariantCompare)(L"ABC", -1, L"abc", -1), 2);
    int found = -7;
    EXPECT_EQ(QZ_FN(Library::get(), QZ_InvariantFindStr)(L"sayHello", -1, L"hello", -1, &found), 3);
    EXPECT_EQ(found, 5);

    wchar_t buf[16] = L"xy";
    unsigned count = 2;
    wchar_t* end = QZ_FN(Library::get(), QZ_sfwcstrcat)(QZ_FN(Library::get(), QZ_fwcstrcat)(buf, L"abc", &count), L"defghij", 7, &count);
    EXPECT_EQ(std::wstring(buf), L"xyabcde");
    EXPECT_EQ(end, buf + 7);
    EXPECT_EQ(count, 7u);

    auto cmp = QZ_FN(Library::get(), QZ_strcmp);  // ignores case
    EXPECT_EQ(cmp(L"ABC", L"abc"), 0);
    EXPECT_LT(cmp(L"abc", L"ABD"), 0);
    EXPECT_GT(cmp(L"b", L"A"), 0);
    EXPECT_EQ(cmp(nullptr, L"a"), 0x7FFFFFFF);
}

// The runtime refuses a null pointer, a size of 0 or a source that does not
// fit (terminator included) through its invalid-parameter handler, which by
// default ends the process. What reached that path while a Watch was alive:
struct InvalidParameterWatch {
    static inline int runtime_handler_calls = 0;  // the runtime's own handler
    static inline int refused_copies = 0;         // copies the runtime would refuse
    static inline int copies = 0;                 // every call of the runtime's _mbscpy_s

    using Copy = int(__cdecl*)(unsigned char*, size_t, const unsigned char*);
    using Handler = void(__cdecl*)(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t);
    using SetHandler = Handler(__cdecl*)(Handler);

    static inline Copy runtime_copy = nullptr;

    static void __cdecl record_handler(const wchar_t*, const wchar_t*, const wchar_t*, unsigned, uintptr_t) {
        ++runtime_handler_calls;
    }
    // Stands in for the runtime's _mbscpy_s in the library's import table: it
    // applies the runtime's parameter rules, counts what they would refuse,
    // and hands every call on to the runtime.
    static int __cdecl watched_copy(unsigned char* dest, size_t size, const unsigned char* src) {
        ++copies;
        if (dest == nullptr || size == 0 || src == nullptr ||
            std::strlen(reinterpret_cast<const char*>(src)) >= size)
            ++refused_copies;
        return runtime_copy(dest, size, src);
    }

    explicit InvalidParameterWatch(HMODULE library) : slot_(import_slot(library, "msvcrt.dll", "_mbscpy_s")) {
        runtime_handler_calls = refused_copies = copies = 0;
        // Not every msvcrt.dll lets a program set the handler (Wine's does
        // not); where it does, the runtime's own handler records too.
        if (HMODULE crt = GetModuleHandleW(L"msvcrt.dll"))
            set_handler_ = reinterpret_cast<SetHandler>(
                reinterpret_cast<void*>(GetProcAddress(crt, "_set_invalid_parameter_handler")));
        if (set_handler_) previous_ = set_handler_(&record_handler);
        if (slot_) {
            runtime_copy = reinterpret_cast<Copy>(*slot_);
            write_slot(reinterpret_cast<void*>(&watched_copy));
        }
    }
    ~InvalidParameterWatch() {
        if (slot_) write_slot(reinterpret_cast<void*>(runtime_copy));
        if (set_handler_) set_handler_(previous_);
    }
    InvalidParameterWatch(const InvalidParameterWatch&) = delete;
    InvalidParameterWatch& operator=(const InvalidParameterWatch&) = delete;

    bool watching() const { return slot_ != nullptr; }

private:
    // The import address table entry through which `module` calls `function` of `dll`.
    static void** import_slot(HMODULE module, const char* dll, const char* function) {
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (dir.VirtualAddress == 0) return nullptr;
        for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
            if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0 || d->OriginalFirstThunk == 0)
                continue;
            const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                const auto* by_name = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(by_name->Name), function) == 0)
                    return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
        return nullptr;
    }
    void write_slot(void* value) {
        DWORD was = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &was);
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, was, &was);
    }

    void** slot_;
    SetHandler set_handler_ = nullptr;
    Handler previous_ = nullptr;
};

TEST(TextExports, MbscpyNeverReachesTheInvalidParameterHandler) {
    InvalidParameterWatch watch(qz::test::Library::get().handle());
    ASSERT_TRUE(watch.watching()) << "the library no longer calls the runtime's _mbscpy_s";
    auto copy = [](unsigned char* dest, size_t size, const char* src) {
        return QZ_FN(Library::get(), QZ_mbscpy_s)(dest, size, reinterpret_cast<const unsigned char*>(src));
    };
    unsigned char buf[8] = "#######";
    EXPECT_EQ(copy(buf, 8, "1234567"), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(buf), "1234567");
    ASSERT_EQ(InvalidParameterWatch::copies, 1) << "the watch is not on the library's way to the runtime";
    EXPECT_EQ(copy(buf, 8, "12345678"), 34);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], '2');  // only the first byte is cleared
    EXPECT_EQ(copy(nullptr, 8, "x"), 22);
    buf[0] = '#';
    EXPECT_EQ(copy(buf, 0, "x"), 22);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(copy(buf, 8, nullptr), 22);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(InvalidParameterWatch::refused_copies, 0) << "the runtime was handed arguments it refuses";
    EXPECT_EQ(InvalidParameterWatch::runtime_handler_calls, 0);
}

TEST(TextExports, FormattersWriteWhatFitsAndOtherwiseFailEmpty) {
    auto format_s = QZ_FN(Library::get(), QZ_swprintf_s);
    auto format_p = QZ_FN(Library::get(), QZ_swprintf_p);
    wchar_t buf[32];
    EXPECT_EQ(format_s(buf, 8, L"%d-%s-%c", 42, L"ab", L'z'), 7);  // exactly fits
    EXPECT_EQ(std::wstring(buf), L"42-ab-z");
    std::fill(std::begin(buf), std::end(buf), kJunk);
    EXPECT_EQ(format_s(buf, 7, L"%d-%s-%c", 42, L"ab", L'z'), -1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], kJunk);
    buf[0] = kJunk;
    EXPECT_EQ(format_s(buf, 0, L"x"), -1);
    EXPECT_EQ(buf[0], kJunk);
    EXPECT_EQ(format_s(nullptr, 16, L"x"), -1);
    EXPECT_EQ(format_s(buf, 16, nullptr), -1);
    EXPECT_EQ(buf[0], 0);
    // 64-bit and floating values pass through the forwarded list intact.
    EXPECT_EQ(format_s(buf, 32, L"%I64d|%.2f|%u", 1234567890123LL, 2.5, 7u), 20);
    EXPECT_EQ(std::wstring(buf), L"1234567890123|2.50|7");

    EXPECT_EQ(format_p(buf, 12, L"%2$s %1$s", L"world", L"hello"), 11);
    EXPECT_EQ(std::wstring(buf), L"hello world");
    std::fill(std::begin(buf), std::end(buf), kJunk);
    EXPECT_EQ(format_p(buf, 11, L"%2$s %1$s", L"world", L"hello"), -1);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], kJunk);
}

TEST(TextExports, StrtolBases) {
    const std::pair<const char*, long> cases[] = {
        {"017", 15}, {"0x1A", 26}, {"0X1f", 31}, {"-12abc", -12}, {"  42", 42}, {"zz", 0}, {"08", 0},
        {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1}, {nullptr, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(QZ_FN(Library::get(), QZ_strtol)(c.first), c.second) << (c.first ? c.first : "null");
}

TEST(TextExports, ParserTakesItsArgumentsFromTheVariableList) {
    auto parse = QZ_FN(Library::get(), QZ_wcsparser);
    wchar_t out[65];
    EXPECT_EQ(parse(out, 64, L"{14}{0}{7}", 15, L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j",
                    L"k", L"l", L"m", L"n", L"o"),
              3);
    EXPECT_EQ(std::wstring(out), L"oah");
    EXPECT_EQ(parse(out, 64, L"{0}", 16), 37);  // no argument is read
    EXPECT_EQ(std::wstring(out), L"Parser error! Too many args included.");
    EXPECT_EQ(parse(out, 10, L"{0}", -1), 42);
    EXPECT_EQ(std::wstring(out), L"Parser err");
}

// Windows' own MD5 through CryptoAPI.
std::string windows_md5(HCRYPTPROV prov, const std::string& data) {
    HCRYPTHASH hash = 0;
    BYTE digest[16];
    DWORD size = sizeof digest;
    const bool ok = CryptCreateHash(prov, CALG_MD5, 0, 0, &hash) &&
                    CryptHashData(hash, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()), 0) &&
                    CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) && size == 16;
    if (hash) CryptDestroyHash(hash);
    std::string out = ok ? "" : "CryptoAPI failed";
    for (int i = 0; ok && i < 16; ++i) out += {"0123456789abcdef"[digest[i] >> 4], "0123456789abcdef"[digest[i] & 15]};
    return out;
}

TEST(TextExports, Md5EqualsWindowsOwn) {
    auto md5 = QZ_FN(Library::get(), QZ_encrypt_md5);
    EXPECT_EQ(md5(nullptr), 0);
    HCRYPTPROV prov = 0;
    ASSERT_TRUE(CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    std::mt19937 rng(20261208);
    for (int i = 0; i < 3000; ++i) {
        std::string input(rng() % 301, '\0');  // 0 .. 300 bytes, none zero
        for (char& c : input) c = static_cast<char>(1 + rng() % 255);
        std::string buf = input + std::string(33, '\0');
        ASSERT_EQ(md5(&buf[0]), 1);
        ASSERT_EQ(std::string(buf.c_str()), windows_md5(prov, input)) << "input length " << input.size();
    }
    CryptReleaseContext(prov, 0);
}

}  // namespace
