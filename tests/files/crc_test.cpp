// QZ_Crc_Calculate and QZ_Crc_Filesize through the loaded DLL.
#include <windows.h>
#include <winioctl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "files/crc.h"
#include "files_support.h"
#include "testhost/engine_host.h"

using qz::test::TempDir;
using qz::test::write_file;
using qz::test::files::zlib_crc;

namespace {

using CrcFn = std::int32_t(__cdecl*)(const char*);

CrcFn crc_export() { return qz::test::Library::get().fn<CrcFn>("QZ_Crc_Calculate"); }
CrcFn size_export() { return qz::test::Library::get().fn<CrcFn>("QZ_Crc_Filesize"); }

std::uint32_t crc_of(const std::string& path) { return static_cast<std::uint32_t>(crc_export()(path.c_str())); }

// Creates a file (and the folders on the way) by a wide \\?\ path, so that
// names longer than the narrow functions accept can be made.
bool make_file_long(const std::wstring& full, const std::string& bytes) {
    const std::wstring prefixed = L"\\\\?\\" + full;
    for (size_t pos = prefixed.find(L'\\', 7); pos != std::wstring::npos; pos = prefixed.find(L'\\', pos + 1))
        CreateDirectoryW(prefixed.substr(0, pos).c_str(), nullptr);
    HANDLE h = CreateFileW(prefixed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Removes, by \\?\ paths, the files and folders a test made with
// make_file_long (the scratch folder's own cleanup stops at MAX_PATH).
struct LongPathCleanup {
    std::vector<std::wstring> files, folders;
    ~LongPathCleanup() {
        for (const auto& f : files) DeleteFileW((L"\\\\?\\" + f).c_str());
        for (const auto& d : folders) RemoveDirectoryW((L"\\\\?\\" + d).c_str());
    }
};

}  // namespace

TEST(Crc, KnownValuesAndSizes) {
    TempDir dir;
    write_file(dir.file("digits"), "123456789");
    write_file(dir.file("zero"), std::string(1, '\0'));
    write_file(dir.file("empty"), "");
    EXPECT_EQ(crc_export()(dir.file("digits").c_str()), -873187034);
    EXPECT_EQ(crc_of(dir.file("digits")), 0xCBF43926u);
    EXPECT_EQ(size_export()(dir.file("digits").c_str()), 9);
    EXPECT_EQ(crc_of(dir.file("zero")), 0xD202EF8Du);
    EXPECT_EQ(size_export()(dir.file("zero").c_str()), 1);
    EXPECT_EQ(crc_of(dir.file("empty")), 0u);
    EXPECT_EQ(size_export()(dir.file("empty").c_str()), 0);
}

TEST(Crc, FilesAroundTheBufferSizeMatchZlib) {
    TempDir dir;
    const size_t b = qz::files::kCrcChunk;
    for (size_t n : {size_t{2}, b - 1, b, b + 1, 2 * b, 3 * b + 7}) {
        const std::string bytes = qz::test::files::pseudo_random_bytes(n, static_cast<std::uint32_t>(n));
        write_file(dir.file("f"), bytes);
        EXPECT_EQ(crc_of(dir.file("f")), zlib_crc(bytes)) << n << " bytes";
        EXPECT_EQ(size_export()(dir.file("f").c_str()), static_cast<std::int32_t>(n)) << n << " bytes";
    }
    // A change in the last byte of the last, partial buffer must show.
    std::string bytes = qz::test::files::pseudo_random_bytes(3 * b + 7);
    const std::uint32_t before = zlib_crc(bytes);
    bytes.back() ^= 1;
    write_file(dir.file("f"), bytes);
    EXPECT_NE(crc_of(dir.file("f")), before);
    EXPECT_EQ(crc_of(dir.file("f")), zlib_crc(bytes));
}

TEST(Crc, FailuresGiveZero) {
    TempDir dir;
    EXPECT_EQ(crc_export()(nullptr), 0);
    EXPECT_EQ(size_export()(nullptr), 0);
    EXPECT_EQ(crc_export()(dir.file("missing").c_str()), 0);
    EXPECT_EQ(size_export()(dir.file("missing").c_str()), 0);
    EXPECT_EQ(crc_export()(dir.path().c_str()), 0);  // a directory
    EXPECT_EQ(size_export()(dir.path().c_str()), 0);
    EXPECT_EQ(crc_export()(""), 0);
    EXPECT_EQ(size_export()(""), 0);
}

TEST(Crc, FileOpenForWritingElsewhereIsSummed) {
    TempDir dir;
    const std::string path = dir.file("busy");
    write_file(path, "123456789");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(crc_of(path), 0xCBF43926u);
    EXPECT_EQ(size_export()(path.c_str()), 9);
    CloseHandle(writer);

    // A writer that denies reading keeps the file from being summed: 0.
    HANDLE locker = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locker, INVALID_HANDLE_VALUE);
    EXPECT_EQ(crc_of(path), 0u);
    CloseHandle(locker);
    EXPECT_EQ(crc_of(path), 0xCBF43926u);
}

TEST(Crc, LongPaths) {
    TempDir dir;
    LongPathCleanup cleanup;
    cleanup.folders.push_back(widen(dir.path() + "\\" + std::string(150, 'b')));
    const std::string bytes = "long path contents";
    // 259 characters: the longest full path the narrow functions take.
    const std::string p259 = dir.path() + "\\" + std::string(259 - dir.path().size() - 1, 'a');
    ASSERT_EQ(p259.size(), 259u);
    ASSERT_TRUE(make_file_long(widen(p259), bytes));
    EXPECT_EQ(crc_of(p259), zlib_crc(bytes));
    EXPECT_EQ(size_export()(p259.c_str()), static_cast<std::int32_t>(bytes.size()));

    // 260 and more: no crash; either the file's own values or the failure 0.
    for (size_t len : {size_t{260}, size_t{261}, size_t{400}, size_t{40000}}) {
        std::string p = dir.path() + "\\" + std::string(150, 'b') + "\\";
        if (len < 1000) {
            p += std::string(len - p.size(), 'c');
            ASSERT_EQ(p.size(), len);
            cleanup.files.push_back(widen(p));
            ASSERT_TRUE(make_file_long(widen(p), bytes)) << len;
        } else {
            while (p.size() < len) p += std::string(200, 'd') + "\\";
            p += "x";
        }
        const std::uint32_t crc = crc_of(p);
        const std::int32_t size = size_export()(p.c_str());
        EXPECT_TRUE(crc == 0 || crc == zlib_crc(bytes)) << len << ": " << std::hex << crc;
        EXPECT_TRUE(size == 0 || size == static_cast<std::int32_t>(bytes.size())) << len << ": " << size;
        EXPECT_EQ(crc == 0, size == 0) << len;
    }
}

TEST(Crc, NonAsciiNameInTheProcessCodePage) {
    TempDir dir;
    // A name whose characters the process code page can hold, made through
    // the wide functions and then read back by its narrow form.
    std::wstring name;
    for (wchar_t c : {L'\u00e9', L'\u00fc', L'\u00f1', L'\u00c5', L'\u00df'}) {
        BOOL lossy = FALSE;
        char out[8];
        const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, out, sizeof out, nullptr,
                                          GetACP() == CP_UTF8 ? nullptr : &lossy);
        if (n > 0 && !lossy) name += c;
    }
    ASSERT_FALSE(name.empty()) << "code page " << GetACP() << " holds none of the letters";
    name += L".bin";
    const std::wstring wide = widen(dir.path()) + L"\\" + name;
    ASSERT_TRUE(make_file_long(wide, "123456789"));
    char narrow[MAX_PATH * 3];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);
    const std::string narrow_name(narrow);
    ASSERT_TRUE(std::any_of(narrow_name.begin(), narrow_name.end(), [](char ch) { return (ch & 0x80) != 0; }))
        << "the narrow name is plain ASCII";
    EXPECT_EQ(crc_of(narrow), 0xCBF43926u);
    EXPECT_EQ(size_export()(narrow), 9);
}

TEST(Crc, SparseFileOfFourGibibytesAndOneByte) {
    TempDir dir;
    const std::string path = dir.file("sparse");
    const std::uint64_t size = (std::uint64_t{1} << 32) + 1;
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD ret = 0;
        DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr);  // best effort
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(size - 1);
        ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
        DWORD done = 0;
        ASSERT_TRUE(WriteFile(h, "x", 1, &done, nullptr));
        CloseHandle(h);
    }
    // The file must stay sparse: nothing near 4 GiB is written to disk.
    std::uint64_t allocated = 0;
    {
        HANDLE h = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        FILE_STANDARD_INFO info{};
        const BOOL ok = GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info);
        CloseHandle(h);
        ASSERT_TRUE(ok);
        ASSERT_EQ(static_cast<std::uint64_t>(info.EndOfFile.QuadPart), size);
        allocated = static_cast<std::uint64_t>(info.AllocationSize.QuadPart);
    }
    ASSERT_LT(allocated, std::uint64_t{64} << 20) << "the test file is not sparse";

    // Expected CRC of 4 GiB of zeros and an 'x', built from 1 MiB pieces.
    const std::string zeros(1 << 20, '\0');
    uLong c = zlib_crc(zeros);
    for (z_off_t len = 1 << 20; len < (z_off_t{1} << 30); len *= 2) c = crc32_combine(c, c, len);  // 1 GiB
    const uLong one_gib = c;
    for (int i = 0; i < 3; ++i) c = crc32_combine(c, one_gib, z_off_t{1} << 30);                    // 4 GiB
    c = crc32(c, reinterpret_cast<const Bytef*>("x"), 1);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(crc_of(path), static_cast<std::uint32_t>(c));
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("summed 4 GiB + 1 in %.1f s\n", seconds);
    EXPECT_EQ(size_export()(path.c_str()), 1);  // the low 32 bits of the size
}
