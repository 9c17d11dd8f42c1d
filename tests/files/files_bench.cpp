// Throughput of QZ_Crc_Calculate against its parts, on a file in the OS
// cache: plain ReadFile, zlib's crc32 over bytes already in memory, and the
// classic one-look-up-per-byte table loop. Not a test: it prints figures.
//   usage: files_bench [MiB]   (default 256; the file is deleted afterwards)
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

namespace {

constexpr DWORD kChunk = 1 << 20;

template <class F>
double best_seconds(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

std::uint32_t table_crc(const unsigned char* p, std::size_t n) {
    static std::uint32_t table[256];
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) c = (c >> 8) ^ table[(c ^ p[i]) & 0xFF];
    return ~c;
}

// Reads the file through 1 MiB reads, copying it into `keep` when given.
void read_all(const std::string& path, unsigned char* buf, unsigned char* keep = nullptr) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD got = 0;
    for (std::size_t total = 0; ReadFile(h, buf, kChunk, &got, nullptr) && got > 0; total += got)
        if (keep) std::copy(buf, buf + got, keep + total);
    CloseHandle(h);
}

double peak_commit_mib() {
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<double>(pmc.PeakPagefileUsage) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const std::size_t size = mib << 20;
    auto crc_export = qz::test::Library::get().fn<std::int32_t(__cdecl*)(const char*)>("QZ_Crc_Calculate");

    qz::test::TempDir dir;
    const std::string path = dir.file("bench.bin");
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 1;
        DWORD w = 0;
        for (std::size_t i = 0; i < mib; ++i) {
            const std::string block = qz::test::files::pseudo_random_bytes(kChunk + i);
            WriteFile(h, block.data(), kChunk, &w, nullptr);
        }
        CloseHandle(h);
    }
    std::vector<unsigned char> buf(kChunk);
    read_all(path, buf.data());  // into the OS cache

    const double peak_before = peak_commit_mib();
    std::uint32_t via_export = 0;
    const double t_export = best_seconds(3, [&] { via_export = static_cast<std::uint32_t>(crc_export(path.c_str())); });
    const double peak_after = peak_commit_mib();
    const double t_read = best_seconds(3, [&] { read_all(path, buf.data()); });
    std::vector<unsigned char> bytes(size);
    read_all(path, buf.data(), bytes.data());
    const double peak_with_copy = peak_commit_mib();
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
    const bool same = via_export == zl && zl == tab;
    std::printf("file: %zu MiB, CRC %08X (export) %08X (zlib) %08X (table)%s\n", mib, via_export,
                static_cast<unsigned>(zl), tab, same ? "" : "  MISMATCH");
    std::printf("QZ_Crc_Calculate          %8.0f MB/s\nReadFile (1 MiB reads)    %8.0f MB/s\n"
                "zlib crc32 in memory      %8.0f MB/s\nbyte-table loop in memory %8.0f MB/s\n"
                "ReadFile+zlib combined    %8.0f MB/s (1 / (1/read + 1/zlib))\n",
                r_export, r_read, r_zlib, r_table, r_combined);
    std::printf("ratios: export / combined = %.2f, export / table loop = %.2f\n", r_export / r_combined,
                r_export / r_table);
    std::printf("peak commit: %.1f MiB before, +%.1f MiB while QZ_Crc_Calculate summed the file "
                "(+%.1f MiB once the bench held the file in memory)\n",
                peak_before, peak_after - peak_before, peak_with_copy - peak_after);
    return same ? 0 : 1;
}
