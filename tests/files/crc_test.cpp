// QZ_Crc_Calculate and QZ_Crc_Filesize through the loaded DLL.
#include <windows.h>
#include <winioctl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files/crc.h"
#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

using qz::test::TempDir;
using qz::test::write_file;
using qz::test::files::zlib_crc;

namespace {

auto crc_export() { return QZ_FN(qz::test::Library::get(), QZ_Crc_Calculate); }
auto size_export() { return QZ_FN(qz::test::Library::get(), QZ_Crc_Filesize); }
std::uint32_t crc_of(const std::string& path) { return static_cast<std::uint32_t>(crc_export()(path.c_str())); }
std::size_t size_of(const std::string& path) { return static_cast<std::size_t>(size_export()(path.c_str())); }

std::wstring widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool write_wide(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    const bool ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

}  // namespace

TEST(Crc, ValuesAndSizesMatchZlibWhileAWriterHoldsTheFile) {
    TempDir dir;
    // 0xCBF43926 is -873187034 as the signed integer a script sees.
    std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"123456789", 0xCBF43926u}, {std::string(1, '\0'), 0xD202EF8Du}, {"", 0}};
    // Around the read buffer, and around the 1 MiB buffer of earlier releases.
    const std::size_t b = qz::files::kCrcChunk, m = std::size_t{1} << 20;
    for (std::size_t n : {b - 1, b, b + 1, 2 * b - 1, 2 * b + 1, 3 * b + 7, m - 1, m, m + 1}) {
        cases.emplace_back(qz::test::files::pseudo_random_bytes(n), 0);
        cases.back().second = zlib_crc(cases.back().first);
    }
    for (const auto& [bytes, crc] : cases) {
        write_file(dir.file("f"), bytes);
        // Held open for writing elsewhere, without denying reads, while it is summed.
        HANDLE writer = CreateFileA(dir.file("f").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        ASSERT_NE(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(crc_of(dir.file("f")), crc) << bytes.size() << " bytes";
        EXPECT_EQ(size_of(dir.file("f")), bytes.size());
        CloseHandle(writer);
    }
}

TEST(Crc, FailuresGiveZeroFromBoth) {
    TempDir dir;
    const std::string missing = dir.file("missing");
    for (const char* path : {static_cast<const char*>(nullptr), missing.c_str(), dir.path().c_str(), ""}) {
        EXPECT_EQ(crc_export()(path), 0) << (path ? path : "null path");
        EXPECT_EQ(size_export()(path), 0) << (path ? path : "null path");
    }
}

TEST(Crc, FileLockedAgainstReadingGivesZeroFromBoth) {
    TempDir dir;
    const std::string path = dir.file("f");
    const std::string bytes = qz::test::files::pseudo_random_bytes(2 * qz::files::kCrcChunk + 3);
    write_file(path, bytes);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // shares nothing
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(crc_export()(path.c_str()), 0);
    EXPECT_EQ(size_export()(path.c_str()), 0);
    CloseHandle(h);
    EXPECT_EQ(crc_of(path), zlib_crc(bytes));  // and once it is let go, the whole sum
}

TEST(Crc, LongPathsGiveTheFilesValuesOrZero) {
    TempDir dir;
    const std::string bytes = "long path contents";
    // 259 characters: the longest full path the narrow functions take.
    const std::string p259 = dir.path() + "\\" + std::string(258 - dir.path().size(), 'a');
    write_file(p259, bytes);
    EXPECT_EQ(crc_of(p259), zlib_crc(bytes));
    EXPECT_EQ(size_of(p259), bytes.size());

    // Longer (made by \\?\ paths, the last one impossible): no crash, and
    // from both exports either the file's values or 0.
    for (std::size_t len : {260, 261, 40000}) {
        const std::string p = dir.path() + "\\" + std::string(len - dir.path().size() - 1, 'c');
        const std::wstring made = L"\\\\?\\" + widen(p);
        if (len < 1000) {
            ASSERT_TRUE(write_wide(made, bytes)) << len;
        }
        const std::uint32_t crc = crc_of(p);
        const std::size_t size = size_of(p);
        DeleteFileW(made.c_str());
        EXPECT_TRUE(crc == 0 || crc == zlib_crc(bytes)) << len << ": " << std::hex << crc;
        EXPECT_TRUE(size == 0 || size == bytes.size()) << len << ": " << size;
        EXPECT_EQ(crc == 0, size == 0) << len;
    }
}

TEST(Crc, NonAsciiNameInTheProcessCodePage) {
    TempDir dir;
    // Made by the wide functions, read back by its narrow name.
    const std::wstring wide = widen(dir.path()) + L"\\\u00e9t\u00e9.bin";
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    char narrow[MAX_PATH * 3];
    ASSERT_GT(WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, narrow, sizeof narrow,
                                  nullptr, utf8 ? nullptr : &lossy), 0);
    ASSERT_FALSE(lossy) << "code page " << GetACP() << " cannot hold the name";
    ASSERT_TRUE(write_wide(wide, "123456789"));
    EXPECT_EQ(crc_of(narrow), 0xCBF43926u);
    EXPECT_EQ(size_of(narrow), 9u);
}

TEST(Crc, SparseFileOfFourGibibytesAndOneByte) {
    TempDir dir;
    const std::string path = dir.file("sparse");
    const LONGLONG size = (LONGLONG{1} << 32) + 1;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &done, nullptr);  // best effort
    LARGE_INTEGER last;
    last.QuadPart = size - 1;
    FILE_STANDARD_INFO info{};
    const bool made = SetFilePointerEx(h, last, nullptr, FILE_BEGIN) && WriteFile(h, "x", 1, &done, nullptr) &&
                      GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info);
    CloseHandle(h);
    ASSERT_TRUE(made);
    ASSERT_EQ(info.EndOfFile.QuadPart, size);
    ASSERT_LT(info.AllocationSize.QuadPart, LONGLONG{64} << 20) << "the test file is not sparse";

    // 4 GiB of zeros and an 'x': 1 MiB of zeros doubled to 1 GiB, then four of those.
    uLong c = zlib_crc(std::string(1 << 20, '\0'));
    for (z_off_t len = 1 << 20; len < (z_off_t{1} << 30); len *= 2) c = crc32_combine(c, c, len);
    const uLong one_gib = c;
    for (int i = 0; i < 3; ++i) c = crc32_combine(c, one_gib, z_off_t{1} << 30);
    c = crc32(c, reinterpret_cast<const Bytef*>("x"), 1);
    EXPECT_EQ(crc_of(path), static_cast<std::uint32_t>(c));
    EXPECT_EQ(size_of(path), 1u);  // the low 32 bits of the size
}
