// Time per QZ_IsModule call that finds nothing (a module snapshot of every
// process) beside a bare walk of the same snapshots in the same run. Rounds
// alternate between the two so that drift in the machine's load falls on
// both; the fastest round of each is reported.
#include <windows.h>
#include <tlhelp32.h>

#undef Process32First  // the narrow walk, as the library makes it
#undef Process32Next
#undef Module32First
#undef Module32Next

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/diag/diag_support.h"
#include "testhost/engine_host.h"

namespace {

// The library's walk with nothing compared: every module of every process.
int bare_walk() {
    int modules = 0;
    qz::test::diag::each(TH32CS_SNAPPROCESS, 0, Process32First, Process32Next, [&](const tagPROCESSENTRY32& p) {
        qz::test::diag::each(TH32CS_SNAPMODULE, p.th32ProcessID, Module32First, Module32Next,
                             [&](const tagMODULEENTRY32&) { ++modules; });
    });
    return modules;
}

// Microseconds per call of `f` over `calls` calls.
template <class F>
double per_call_us(int calls, F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) f();
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count() / calls;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    const int calls = argc > 2 ? std::atoi(argv[2]) : 20;
    auto is_module = QZ_FN(qz::test::Library::get(), QZ_IsModule);

    // Four names that no process has loaded, in 64-byte records.
    std::vector<char> records(4 * 64, '\0');
    for (int i = 0; i < 4; ++i) {
        const std::string name = qz::test::diag::unique_name("qz_absent_", ".dll");
        std::copy(name.begin(), name.end(), records.begin() + i * 64);
    }
    const char* first = records.data();
    int hits = 0;

    std::printf("processes: %zu, modules walked: %d\n", qz::test::diag::processes().size(), bare_walk());
    std::vector<double> lib, bare;
    for (int r = 0; r < rounds; ++r) {
        lib.push_back(per_call_us(calls, [&] { hits += is_module(&first, 4, 64); }));
        bare.push_back(per_call_us(calls, bare_walk));
    }
    if (hits) return std::printf("unexpected hit\n"), 1;
    const double lib_us = *std::min_element(lib.begin(), lib.end());
    const double bare_us = *std::min_element(bare.begin(), bare.end());
    std::printf("%d rounds x %d calls, fastest round of each\n", rounds, calls);
    std::printf("QZ_IsModule, nothing found: %.1f us/call\n", lib_us);
    std::printf("bare Toolhelp walk:         %.1f us/call\nratio: %.3f\n", bare_us, lib_us / bare_us);
    return 0;
}
