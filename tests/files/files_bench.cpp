// Throughput of QZ_Crc_Calculate on a file in the OS cache, first beside a
// plain ReadFile loop of the same file (1 MiB reads, nothing summed) and
// that ratio; then what bounds it: libdeflate's kernel on one buffer of the
// library's size in cache (C), and the serial bound of reading at the loop's
// rate R and then summing, 1/(1/R + 1/C), with the export's share of it;
// then the read-and-sum loop at several buffer sizes (what the library's
// buffer was chosen by), then the CRC-32 codes over bytes already in memory:
// libdeflate's (the library's), zlib's, and the classic one-look-up-per-byte
// table loop. Not a test: it prints figures.
// Rounds of the export and of the ReadFile loop alternate, so that drift in
// the machine's load falls on both; the fastest round of each is reported.
//   usage: files_bench [MiB] [ROUNDS]   (default 256 and 7; the file is deleted afterwards)
#include <windows.h>
#include <libdeflate.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "files/crc.h"
#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

namespace {

constexpr DWORD kMiB = 1 << 20;

template <class F>
double seconds(F f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

template <class F>
double best_seconds(int runs, F f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, seconds(f));
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

// Reads the whole file in pieces of `piece` bytes; each piece is handed to
// `use` (nothing by default). Opened as the library opens it.
template <class F>
void read_all(const std::string& path, unsigned char* buf, DWORD piece, F use) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD got = 0;
    for (std::size_t total = 0; ReadFile(h, buf, piece, &got, nullptr) && got > 0; total += got) use(buf, got, total);
    CloseHandle(h);
}
void read_all(const std::string& path, unsigned char* buf) {
    read_all(path, buf, kMiB, [](const unsigned char*, DWORD, std::size_t) {});
}

double peak_commit_mib() {
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    return static_cast<double>(pmc.PeakPagefileUsage) / 1048576.0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const std::size_t size = mib << 20;
    auto crc_export = QZ_FN(qz::test::Library::get(), QZ_Crc_Calculate);

    qz::test::TempDir dir;
    const std::string path = dir.file("bench.bin");
    {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 1;
        DWORD w = 0;
        for (std::size_t i = 0; i < mib; ++i) {
            const std::string block = qz::test::files::pseudo_random_bytes(kMiB + i);
            WriteFile(h, block.data(), kMiB, &w, nullptr);
        }
        CloseHandle(h);
    }
    std::vector<unsigned char> buf(kMiB);
    read_all(path, buf.data());  // into the OS cache
    const double mb = static_cast<double>(size) / 1e6;

    // 1. The export beside merely reading the file.
    const double peak_before = peak_commit_mib();
    std::uint32_t via_export = 0;
    double t_export = 1e30, t_read = 1e30;
    for (int r = 0; r < rounds; ++r) {
        t_export = std::min(t_export,
                            seconds([&] { via_export = static_cast<std::uint32_t>(crc_export(path.c_str())); }));
        t_read = std::min(t_read, seconds([&] { read_all(path, buf.data()); }));
    }
    const double peak_after = peak_commit_mib();
    const double r_export = mb / t_export, r_read = mb / t_read;
    std::printf("file: %zu MiB in the OS cache, best of %d alternating rounds\n", mib, rounds);
    std::printf("ReadFile loop (1 MiB reads, no sum)  %8.0f MB/s\n", r_read);
    std::printf("QZ_Crc_Calculate (%4zu KiB buffer)   %8.0f MB/s\n", qz::files::kCrcChunk >> 10, r_export);
    std::printf("ratio: QZ_Crc_Calculate / ReadFile = %.2f\n", r_export / r_read);
    std::printf("peak commit: %.1f MiB before, +%.1f MiB while QZ_Crc_Calculate summed the file\n", peak_before,
                peak_after - peak_before);

    // The kernel alone, on one buffer of the library's size that stays in
    // cache, summed as many times as the file has such pieces.
    const std::string piece_bytes = qz::test::files::pseudo_random_bytes(qz::files::kCrcChunk);
    const std::size_t pieces = std::max<std::size_t>(1, size / qz::files::kCrcChunk);
    std::uint32_t kc = 0;
    const double t_kernel = best_seconds(rounds, [&] {
        kc = 0;
        for (std::size_t i = 0; i < pieces; ++i) kc = libdeflate_crc32(kc, piece_bytes.data(), piece_bytes.size());
    });
    const double r_kernel = static_cast<double>(pieces * qz::files::kCrcChunk) / 1e6 / t_kernel;
    const double bound = 1.0 / (1.0 / r_read + 1.0 / r_kernel);
    std::printf("libdeflate_crc32 on a %zu KiB buffer in cache (C)  %8.0f MB/s  (CRC %08X)\n",
                qz::files::kCrcChunk >> 10, r_kernel, kc);
    std::printf("serial bound 1/(1/R + 1/C), R the ReadFile loop   %8.0f MB/s = %.2f of the ReadFile loop\n", bound,
                bound / r_read);
    std::printf("share of the bound: QZ_Crc_Calculate / bound = %.2f\n\n", r_export / bound);

    // 2. ReadFile + libdeflate_crc32 at each buffer size, against the same loop.
    std::printf("ReadFile + libdeflate_crc32 by buffer size (ratio to the 1 MiB ReadFile loop):\n");
    bool sizes_agree = true;
    for (DWORD piece : {DWORD{64} << 10, DWORD{128} << 10, DWORD{256} << 10, DWORD{512} << 10, kMiB}) {
        std::uint32_t c = 0;
        double t_piece = 1e30, t_plain = 1e30;
        for (int r = 0; r < rounds; ++r) {
            t_piece = std::min(t_piece, seconds([&] {
                c = 0;
                read_all(path, buf.data(), piece,
                         [&](const unsigned char* p, DWORD n, std::size_t) { c = libdeflate_crc32(c, p, n); });
            }));
            t_plain = std::min(t_plain, seconds([&] { read_all(path, buf.data()); }));
        }
        sizes_agree = sizes_agree && c == via_export;
        std::printf("  %4lu KiB  %8.0f MB/s  %.2f\n", static_cast<unsigned long>(piece >> 10), mb / t_piece,
                    t_plain / t_piece);
    }

    // 3. In memory.
    std::vector<unsigned char> bytes(size);
    read_all(path, buf.data(), kMiB,
             [&](const unsigned char* p, DWORD n, std::size_t at) { std::copy(p, p + n, bytes.data() + at); });
    DeleteFileA(path.c_str());
    std::uint32_t ld = 0;
    const double t_ld = best_seconds(rounds, [&] {
        ld = 0;
        for (std::size_t off = 0; off < size; off += kMiB) ld = libdeflate_crc32(ld, bytes.data() + off, kMiB);
    });
    uLong zl = 0;
    const double t_zlib = best_seconds(rounds, [&] {
        zl = crc32(0L, Z_NULL, 0);
        for (std::size_t off = 0; off < size; off += kMiB) zl = crc32(zl, bytes.data() + off, kMiB);
    });
    std::uint32_t tab = 0;
    const double t_table = best_seconds(2, [&] {
        tab = table_crc(bytes.data(), size);
        // The loop has no effect the clock can see: without this, clang moves it past the clock.
        asm volatile("" : : "r"(tab) : "memory");
    });
    const double r_ld = mb / t_ld, r_zlib = mb / t_zlib, r_table = mb / t_table;
    std::printf("\nin memory (1 MiB pieces):\nlibdeflate_crc32 %8.0f MB/s\nzlib crc32       %8.0f MB/s\n"
                "byte-table loop  %8.0f MB/s\n",
                r_ld, r_zlib, r_table);
    std::printf("ratios: libdeflate / zlib = %.2f, libdeflate / table loop = %.2f, zlib / table loop = %.2f\n",
                r_ld / r_zlib, r_ld / r_table, r_zlib / r_table);

    const bool same = via_export == ld && ld == zl && zl == tab && sizes_agree;
    std::printf("CRC %08X (export) %08X (libdeflate) %08X (zlib) %08X (table)%s\n", via_export, ld,
                static_cast<unsigned>(zl), tab, same ? "" : "  MISMATCH");
    return same ? 0 : 1;
}
