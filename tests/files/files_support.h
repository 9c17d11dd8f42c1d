// Shared helpers of the file tests: test bytes and their zlib CRC (zlib is
// the oracle: the library sums with libdeflate).
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

// Sums random bytes of every length 0..max_len with `sum(crc, p, n)` (a
// running CRC-32 as zlib's crc32 takes it), each from a start 0..63 bytes
// past a 64-byte boundary, whole and then cut at up to 7 random points
// (pieces may be empty), and compares each with zlib's value. Empty when
// all agree, else the first case that differs.
template <class Sum>
std::string first_difference_from_zlib(Sum sum, std::size_t max_len = 4096) {
    std::mt19937 gen(20240612);
    std::vector<unsigned char> block(max_len + 128);
    unsigned char* const base = block.data() + (64 - reinterpret_cast<std::uintptr_t>(block.data()) % 64);
    for (std::size_t n = 0; n <= max_len; ++n) {
        const std::size_t start = gen() % 64;
        unsigned char* const p = base + start;
        for (std::size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(gen() >> 24);
        const std::uint32_t want = static_cast<std::uint32_t>(crc32(0L, p, static_cast<uInt>(n)));
        const std::string at = std::to_string(n) + " bytes from +" + std::to_string(start);
        if (sum(0u, p, n) != want) return at + ", whole";
        std::vector<std::size_t> cuts{0, n};
        for (unsigned k = gen() % 8; k > 0; --k) cuts.push_back(n ? gen() % (n + 1) : 0);
        std::sort(cuts.begin(), cuts.end());
        std::uint32_t c = 0;
        std::string pieces;
        for (std::size_t i = 1; i < cuts.size(); ++i) {
            c = sum(c, p + cuts[i - 1], cuts[i] - cuts[i - 1]);
            pieces += " " + std::to_string(cuts[i] - cuts[i - 1]);
        }
        if (c != want) return at + ", in pieces of" + pieces;
    }
    return {};
}

}  // namespace qz::test::files
