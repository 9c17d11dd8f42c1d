// libdeflate's CRC-32 kernels one at a time: before anything is summed in this
// process, its CPU dispatch is handed the processor's features cut down to
// QZ_CRC_KERNEL_FEATURES (hex, libdeflate's X86_CPU_FEATURE_* bits), so that
// every sum takes the kernel such a processor gets; 0 is a processor without
// vector features, which gets the portable slice-by-8 code. Compared with zlib.
#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstdio>
#include <cstdlib>

#include "tests/files/files_support.h"

// libdeflate's record of the processor's features (lib/x86/cpu_features.c):
// 0 until the first sum asks CPUID; the top bit means "asked".
extern "C" volatile std::uint32_t libdeflate_x86_cpu_features;
extern "C" void libdeflate_init_x86_cpu_features(void);

namespace {
constexpr std::uint32_t kKnown = 0x80000000u;

std::uint32_t forced_features() {
    const char* keep = std::getenv("QZ_CRC_KERNEL_FEATURES");
    const std::uint32_t mask = keep ? static_cast<std::uint32_t>(std::strtoul(keep, nullptr, 16)) : 0;
    libdeflate_init_x86_cpu_features();  // what this processor has
    const std::uint32_t found = libdeflate_x86_cpu_features & ~kKnown;
    const std::uint32_t forced = (found & mask) | kKnown;
    libdeflate_x86_cpu_features = forced;
    std::printf("processor features 0x%03X, of which kept 0x%03X\n", found, found & mask);
    return forced;
}
const std::uint32_t g_forced = forced_features();
}  // namespace

TEST(CrcKernel, EveryLengthAndSplitEqualsZlib) {
    EXPECT_EQ(libdeflate_crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(qz::test::files::first_difference_from_zlib(
                  [](std::uint32_t c, const unsigned char* p, std::size_t n) { return libdeflate_crc32(c, p, n); }),
              "");
    const std::string big = qz::test::files::pseudo_random_bytes(3 << 20);
    EXPECT_EQ(libdeflate_crc32(0, big.data(), big.size()), qz::test::files::zlib_crc(big));
    // The dispatch chose from the features above and asked for no others.
    EXPECT_EQ(libdeflate_x86_cpu_features, g_forced);
}
