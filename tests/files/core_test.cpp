// The file-summing loop and the date formatting, compiled in (white box):
// files that change size between measuring and summing, and file times the
// calendar conversions refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "files/crc.h"
#include "files/date.h"
#include "files/handle.h"
#include "files_support.h"

using qz::files::FileHandle;
using qz::test::TempDir;
using qz::test::files::pseudo_random_bytes;
using qz::test::files::zlib_crc;

namespace {

void append(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
    CloseHandle(h);
}

void truncate_to(const std::string& path, LONGLONG size) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER at;
    at.QuadPart = size;
    EXPECT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
}

}  // namespace

TEST(FilesCore, GrowingFileIsSummedUpToItsMeasuredSize) {
    TempDir dir;
    const std::string path = dir.file("grow");
    const std::string first = pseudo_random_bytes(100000, 1);
    qz::test::write_file(path, first);
    FileHandle f(qz::files::open_shared_for_reading(path.c_str()));
    ASSERT_TRUE(f);
    append(path, pseudo_random_bytes(50000, 2));  // grows after it was measured
    std::vector<unsigned char> buf(4096);
    std::uint32_t crc = 0;
    ASSERT_TRUE(qz::files::crc_of_open_file(f.get(), first.size(), buf.data(), buf.size(), crc));
    EXPECT_EQ(crc, zlib_crc(first));
}

TEST(FilesCore, ShrunkFileIsSummedToItsNewEnd) {
    TempDir dir;
    const std::string path = dir.file("shrink");
    const std::string bytes = pseudo_random_bytes(100000, 3);
    qz::test::write_file(path, bytes);
    FileHandle f(qz::files::open_shared_for_reading(path.c_str()));
    ASSERT_TRUE(f);
    truncate_to(path, 30001);
    std::vector<unsigned char> buf(4096);
    std::uint32_t crc = 0;
    ASSERT_TRUE(qz::files::crc_of_open_file(f.get(), bytes.size(), buf.data(), buf.size(), crc));
    EXPECT_EQ(crc, zlib_crc(bytes.substr(0, 30001)));
}

TEST(FilesCore, SummingStartsFromTheFileStartWhateverThePosition) {
    TempDir dir;
    const std::string path = dir.file("pos");
    qz::test::write_file(path, "123456789");
    FileHandle f(qz::files::open_shared_for_reading(path.c_str()));
    ASSERT_TRUE(f);
    char two[2];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(f.get(), two, 2, &got, nullptr));
    std::vector<unsigned char> buf(3);  // a buffer smaller than the file
    std::uint32_t crc = 0;
    ASSERT_TRUE(qz::files::crc_of_open_file(f.get(), 9, buf.data(), buf.size(), crc));
    EXPECT_EQ(crc, 0xCBF43926u);
}

TEST(FilesCore, ReadFailureIsNotASum) {
    TempDir dir;
    const std::string path = dir.file("wo");
    qz::test::write_file(path, "123456789");
    // A handle that may not read: the loop must report failure, not a CRC.
    FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr));
    ASSERT_TRUE(f);
    std::vector<unsigned char> buf(16);
    std::uint32_t crc = 0x12345678;
    EXPECT_FALSE(qz::files::crc_of_open_file(f.get(), 9, buf.data(), buf.size(), crc));
    EXPECT_EQ(crc, 0x12345678u);
}

TEST(FilesCore, UnconvertibleTimesWriteNothing) {
    char out[16];
    std::memset(out, '#', sizeof out);
    const FILETIME beyond{0xFFFFFFFFu, 0xFFFFFFFFu};  // past the last calendar year
    EXPECT_FALSE(qz::files::format_local_date(beyond, out, sizeof out));
    EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '#'));
}

TEST(FilesCore, YearsOfOtherLengthsAreWrittenInFull) {
    char out[16];
    SYSTEMTIME st{};
    st.wYear = 30000;
    st.wMonth = 6;
    st.wDay = 15;
    st.wHour = 12;
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    std::memset(out, '#', sizeof out);
    EXPECT_FALSE(qz::files::format_local_date(ft, out, 11));  // 11 characters need 12 bytes
    EXPECT_EQ(out[0], '#');
    ASSERT_TRUE(qz::files::format_local_date(ft, out, 12));
    EXPECT_STREQ(out, "15/06/30000");

    st.wYear = 1700;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    ASSERT_TRUE(qz::files::format_local_date(ft, out, sizeof out));
    EXPECT_STREQ(out, "15/06/1700");
}
