// Time per QZ_IsModule call that finds nothing (a module snapshot of every
// process), beside a bare walk of the same snapshots without the library, in
// one run. Rounds alternate between the two so that drift in the machine's
// load falls on both; the fastest round of each is reported with the median.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "diag_support.h"
#include "testhost/engine_host.h"

#undef Process32First
#undef Process32Next
#undef Module32First
#undef Module32Next

namespace {

using IsModule = std::int32_t(__cdecl*)(const char* const*, std::int32_t, std::int32_t);

// The same walk the library makes, with nothing compared: every process of a
// process snapshot, every module of a module snapshot of each.
int bare_walk() {
    int modules = 0;
    HANDLE procs = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (procs == INVALID_HANDLE_VALUE) return 0;
    tagPROCESSENTRY32 p{};
    p.dwSize = sizeof p;
    for (BOOL ok = Process32First(procs, &p); ok; ok = Process32Next(procs, &p)) {
        HANDLE mods = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, p.th32ProcessID);
        if (mods == INVALID_HANDLE_VALUE) continue;
        tagMODULEENTRY32 m{};
        m.dwSize = sizeof m;
        for (BOOL more = Module32First(mods, &m); more; more = Module32Next(mods, &m)) ++modules;
        CloseHandle(mods);
    }
    CloseHandle(procs);
    return modules;
}

double now_us() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(freq.QuadPart);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    const int calls = argc > 2 ? std::atoi(argv[2]) : 20;
    auto is_module = qz::test::Library::get().fn<IsModule>("QZ_IsModule");

    // Four names that no process has loaded, in 64-byte records.
    std::vector<char> records(4 * 64, '\0');
    for (int i = 0; i < 4; ++i) {
        const std::string name = qz::test::diag::unique_name("qz_absent_", ".dll");
        std::copy(name.begin(), name.end(), records.begin() + i * 64);
    }
    const char* first = records.data();

    std::printf("processes: %zu, modules walked: %d\n", qz::test::diag::process_names().size(), bare_walk());
    std::vector<double> lib_us, bare_us;
    for (int r = 0; r < rounds; ++r) {
        double t0 = now_us();
        for (int i = 0; i < calls; ++i) {
            if (is_module(&first, 4, 64) != 0) {
                std::printf("unexpected hit\n");
                return 1;
            }
        }
        double t1 = now_us();
        for (int i = 0; i < calls; ++i) bare_walk();
        double t2 = now_us();
        lib_us.push_back((t1 - t0) / calls);
        bare_us.push_back((t2 - t1) / calls);
    }
    const double lib_min = *std::min_element(lib_us.begin(), lib_us.end());
    const double bare_min = *std::min_element(bare_us.begin(), bare_us.end());
    std::printf("%d rounds x %d calls\n", rounds, calls);
    std::printf("QZ_IsModule, nothing found: %.1f us/call (median %.1f)\n", lib_min, median(lib_us));
    std::printf("bare Toolhelp walk:         %.1f us/call (median %.1f)\n", bare_min, median(bare_us));
    std::printf("ratio (fastest rounds): %.3f, (medians): %.3f\n", lib_min / bare_min,
                median(lib_us) / median(bare_us));
    return 0;
}
