// Throughput of QZ_Crc_Calculate against its parts, on a file in the OS
// cache: plain ReadFile, zlib's crc32 over bytes already in memory, and the
// classic one-look-up-per-byte table loop. Not a test: it prints figures.
//   usage: files_bench [MiB]   (default 256; the file is deleted afterwards)
#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "testhost/engine_host.h"
#include "testhost/test_support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kChunk = 1 << 20;

template <class F>
double best_seconds(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

std::uint32_t table_crc(const unsigned char* p, std::size_t n) {
    static std::uint32_t table[256];
    if (table[1] == 0) {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            table[i] = c;
        }
    }
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) c = (c >> 8) ^ table[(c ^ p[i]) & 0xFF];
    return ~c;
}

std::uint64_t read_all(const std::string& path, unsigned char* buf, std::vector<unsigned char>* keep) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    std::uint64_t total = 0;
    DWORD got = 0;
    while (ReadFile(h, buf, kChunk, &got, nullptr) && got > 0) {
        if (keep) std::copy(buf, buf + got, keep->begin() + static_cast<std::ptrdiff_t>(total));
        total += got;
    }
    CloseHandle(h);
    return total;
}

SIZE_T peak_commit() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return pmc.PeakPagefileUsage;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const std::size_t size = mib << 20;
    auto crc_export = qz::test::Library::get().fn<std::int32_t(__cdecl*)(const char*)>("QZ_Crc_Calculate");

    qz::test::TempDir dir;
    const std::string path = dir.file("bench.bin");
    std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunk]);
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 1;
        std::uint32_t x = 2463534242u;
        for (std::size_t done = 0; done < size; done += kChunk) {
            for (DWORD i = 0; i < kChunk; ++i) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                buf[i] = static_cast<unsigned char>(x >> 24);
            }
            DWORD w = 0;
            WriteFile(h, buf.get(), kChunk, &w, nullptr);
        }
        CloseHandle(h);
    }
    read_all(path, buf.get(), nullptr);  // into the OS cache

    const SIZE_T peak_before = peak_commit();
    std::uint32_t via_export = 0;
    const double t_export = best_seconds(3, [&] { via_export = static_cast<std::uint32_t>(crc_export(path.c_str())); });
    const SIZE_T peak_after = peak_commit();
    const double t_read = best_seconds(3, [&] { read_all(path, buf.get(), nullptr); });

    std::vector<unsigned char> bytes(size);
    read_all(path, buf.get(), &bytes);
    const SIZE_T peak_with_copy = peak_commit();
    uLong zl = 0;
    const double t_zlib = best_seconds(3, [&] {
        zl = crc32(0L, Z_NULL, 0);
        for (std::size_t off = 0; off < size; off += kChunk) zl = crc32(zl, bytes.data() + off, kChunk);
    });
    std::uint32_t tab = 0;
    const double t_table = best_seconds(2, [&] { tab = table_crc(bytes.data(), size); });
    DeleteFileA(path.c_str());

    const double mb = static_cast<double>(size) / 1e6;
    const double r_export = mb / t_export, r_read = mb / t_read, r_zlib = mb / t_zlib, r_table = mb / t_table;
    const double r_combined = 1.0 / (1.0 / r_read + 1.0 / r_zlib);
    std::printf("file: %zu MiB, CRC %08X (export) %08X (zlib) %08X (table)%s\n", mib, via_export,
                static_cast<unsigned>(zl), tab, via_export == zl && zl == tab ? "" : "  MISMATCH");
    std::printf("QZ_Crc_Calculate          %8.0f MB/s\n", r_export);
    std::printf("ReadFile (1 MiB reads)    %8.0f MB/s\n", r_read);
    std::printf("zlib crc32 in memory      %8.0f MB/s\n", r_zlib);
    std::printf("byte-table loop in memory %8.0f MB/s\n", r_table);
    std::printf("ReadFile+zlib combined    %8.0f MB/s (1 / (1/read + 1/zlib))\n", r_combined);
    std::printf("ratios: export / combined = %.2f, export / table loop = %.2f\n", r_export / r_combined,
                r_export / r_table);
    auto growth = [](SIZE_T from, SIZE_T to) { return static_cast<double>(to > from ? to - from : 0) / 1048576.0; };
    std::printf("peak commit: %.1f MiB before, +%.1f MiB while QZ_Crc_Calculate summed the file "
                "(+%.1f MiB once the bench held the file in memory)\n",
                static_cast<double>(peak_before) / 1048576.0, growth(peak_before, peak_after),
                growth(peak_after, peak_with_copy));
    return via_export == zl && zl == tab ? 0 : 1;
}
