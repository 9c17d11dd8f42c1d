// The file-summing loop and the date formatting, compiled in: files that
// change size between measuring and summing, reads that fail, buffers at
// unaligned addresses, the CRC-32 code itself against zlib, and file times
// or buffers the date text does not fit.
#include <cpuid.h>
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstring>
#include <vector>

#include "files/crc.h"
#include "files/date.h"
#include "files/handle.h"
#include "tests/files/files_support.h"

using qz::files::FileHandle;
using qz::test::files::zlib_crc;

TEST(FilesCore, FileThatChangesSizeIsSummedToTheMeasuredSizeOrItsNewEnd) {
    qz::test::TempDir dir;
    const std::string path = dir.file("f");
    const std::string bytes = qz::test::files::pseudo_random_bytes(100000);
    const struct { LONGLONG new_size; std::size_t summed; } cases[] = {{150000, 100000}, {30001, 30001}};
    for (const auto& c : cases) {
        qz::test::write_file(path, bytes);
        FileHandle f(qz::files::open_shared_for_reading(path.c_str()));
        ASSERT_TRUE(f);
        {  // grows or shrinks after it was measured
            FileHandle w(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(SetFilePointerEx(w.get(), LARGE_INTEGER{{static_cast<DWORD>(c.new_size), 0}}, nullptr,
                                         FILE_BEGIN) && SetEndOfFile(w.get()));
        }
        unsigned char buf[4096];
        std::uint32_t crc = 0;
        ASSERT_TRUE(qz::files::crc_of_open_file(f.get(), bytes.size(), buf, sizeof buf, crc));
        EXPECT_EQ(crc, zlib_crc(bytes.substr(0, c.summed))) << c.new_size;
    }
}

TEST(FilesCore, CrcOfEveryLengthAndRandomSplitsEqualsZlib) {
    // The implementation the CPU dispatch picks on this processor.
    EXPECT_EQ(qz::test::files::first_difference_from_zlib(
                  [](std::uint32_t c, const unsigned char* p, std::size_t n) { return libdeflate_crc32(c, p, n); }),
              "");
}

// libdeflate's record of the processor's features (lib/x86/cpu_features.c),
// which its CRC-32 dispatch chooses by.
extern "C" volatile std::uint32_t libdeflate_x86_cpu_features;

TEST(FilesCore, CrcDispatchFindsTheCarryLessMultiplyTheProcessorHas) {
    EXPECT_EQ(libdeflate_crc32(0, "123456789", 9), 0xCBF43926u);  // by now a sum has asked CPUID
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_TRUE(__get_cpuid(1, &a, &b, &c, &d));
    const bool pclmulqdq = (c >> 1) & 1u;
    RecordProperty("pclmulqdq", pclmulqdq ? "yes" : "no");
    EXPECT_EQ((libdeflate_x86_cpu_features & 0x2u) != 0, pclmulqdq) << std::hex << libdeflate_x86_cpu_features;
}

TEST(FilesCore, UnalignedBuffersOfOddSizesGiveTheSameSum) {
    qz::test::TempDir dir;
    const std::string bytes = qz::test::files::pseudo_random_bytes(qz::files::kCrcChunk + 4099);
    qz::test::write_file(dir.file("f"), bytes);
    FileHandle f(qz::files::open_shared_for_reading(dir.file("f").c_str()));
    ASSERT_TRUE(f);
    std::vector<unsigned char> block(qz::files::kCrcChunk + 64);
    for (std::size_t start : {1, 3, 7, 8, 15, 33}) {
        for (std::size_t size : {std::size_t{4095}, std::size_t{65537}, qz::files::kCrcChunk - 1}) {
            std::uint32_t crc = 0;
            ASSERT_TRUE(qz::files::crc_of_open_file(f.get(), bytes.size(), block.data() + start, size, crc));
            EXPECT_EQ(crc, zlib_crc(bytes)) << "buffer at +" << start << " of " << size << " bytes";
        }
    }
}

TEST(FilesCore, FailedReadIsNotASum) {
    qz::test::TempDir dir;
    qz::test::write_file(dir.file("f"), "123456789");
    FileHandle f(CreateFileA(dir.file("f").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr));  // may not read
    ASSERT_TRUE(f);
    unsigned char buf[16];
    std::uint32_t crc = 0x12345678;
    EXPECT_FALSE(qz::files::crc_of_open_file(f.get(), 9, buf, sizeof buf, crc));
    EXPECT_EQ(crc, 0x12345678u);
}

TEST(FilesCore, DateIsWrittenWholeOrNotAtAll) {
    const SYSTEMTIME noon{30000, 6, 0, 15, 12, 0, 0, 0};
    FILETIME y30000{};
    ASSERT_TRUE(SystemTimeToFileTime(&noon, &y30000));
    const struct { FILETIME time; std::size_t capacity; const char* text; } cases[] = {
        {{0xFFFFFFFFu, 0xFFFFFFFFu}, 16, nullptr},  // past the last calendar year
        {y30000, 11, nullptr},                      // 11 characters need 12 bytes
        {y30000, 12, "15/06/30000"},
    };
    for (const auto& c : cases) {
        char out[16];
        std::memset(out, '#', sizeof out);
        std::string want(sizeof out, '#');
        if (c.text) want.replace(0, std::strlen(c.text) + 1, c.text, std::strlen(c.text) + 1);
        EXPECT_EQ(qz::files::format_local_date(c.time, out, c.capacity), c.text != nullptr) << c.capacity;
        EXPECT_EQ(std::string(out, sizeof out), want) << c.capacity;
    }
}
