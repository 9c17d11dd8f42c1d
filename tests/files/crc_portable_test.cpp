// libdeflate's CRC-32 on a processor without carry-less multiply: its CPU
// dispatch is told, before anything is summed in this process, that the
// processor has no vector features, so every sum takes the portable
// slice-by-8 code that such processors get. Compared with zlib.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include "tests/files/files_support.h"

// libdeflate's record of the processor's features (lib/x86/cpu_features.c):
// 0 until the first sum asks CPUID; the top bit alone means "asked, none".
extern "C" volatile std::uint32_t libdeflate_x86_cpu_features;

namespace {
constexpr std::uint32_t kKnownNoFeatures = 0x80000000u;
const bool g_forced = (libdeflate_x86_cpu_features = kKnownNoFeatures, true);
}  // namespace

TEST(CrcPortable, EveryLengthAndSplitEqualsZlib) {
    ASSERT_TRUE(g_forced);
    EXPECT_EQ(libdeflate_crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(qz::test::files::first_difference_from_zlib(
                  [](std::uint32_t c, const unsigned char* p, std::size_t n) { return libdeflate_crc32(c, p, n); }),
              "");
    const std::string big = qz::test::files::pseudo_random_bytes(3 << 20);
    EXPECT_EQ(libdeflate_crc32(0, big.data(), big.size()), qz::test::files::zlib_crc(big));
    // The dispatch chose from the features above and asked for no others.
    EXPECT_EQ(libdeflate_x86_cpu_features, kKnownNoFeatures);
}
