// Shared helpers of the file tests: test bytes and their zlib CRC.
#pragma once
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "testhost/test_support.h"

namespace qz::test::files {

using qz::test::growth_after;

inline std::uint32_t zlib_crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Deterministic, not periodic within any buffer size the tests use.
inline std::string pseudo_random_bytes(std::size_t n) {
    std::mt19937 gen(static_cast<std::uint32_t>(n));
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen() >> 24);
    return s;
}

}  // namespace qz::test::files
