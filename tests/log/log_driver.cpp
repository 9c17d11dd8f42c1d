// Runs the log exports of the DLL in a process of its own, one step per
// argument, in the current folder. The log lives in the process-wide logging
// core, so each scenario needs a fresh process.
//   init | log:LEVEL:TEXT (\n in TEXT is a line break) | null |
//   big:LEVEL:N (a message of N 'x') | threads:N:M | delete | midnight (wait until the local date changes) |
//   sleep:MS
// and the platform saying no, for real (no hooks):
//   folder:NAME | unfolder:NAME   a folder where a log file should be, and gone again
//   tls-exhaust | tls-free        every TLS index of the process taken, and given back
//   thread-log:LEVEL:TEXT         one line from a new thread
//   reserve | unreserve           (32-bit) all free address space reserved, and released
//   convert:N                     utf16_to_utf8 and QZ_wcsparser of an N-unit text: each
//                                 must return normally, with its result or its failure
// A step whose export broke its promise ends the driver with status 4.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testhost/engine_host.h"

namespace {

std::vector<DWORD> g_tls;
std::vector<void*> g_reserved;

void reserve_address_space() {
    g_reserved.reserve(1 << 16);  // no allocation once the space is gone
    for (SIZE_T size = SIZE_T(1) << 30; size >= 64 * 1024; size /= 2)
        while (void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) {
            if (g_reserved.size() == g_reserved.capacity()) return;
            g_reserved.push_back(p);
        }
}

// utf16_to_utf8 returns 0 with the whole text or -1 with the empty text;
// QZ_wcsparser returns the filled text's length or its parser message's.
bool convert(const qz::test::Library& lib, std::size_t units) {
    auto to_utf8 = QZ_FN(lib, utf16_to_utf8);
    auto parser = QZ_FN(lib, QZ_wcsparser);
    static std::wstring text;
    static std::string out;
    text.assign(units, L'\x00e9');  // two bytes each in UTF-8
    out.assign(2 * units + 1, '?');
    const int r = to_utf8(text.c_str(), &out[0], static_cast<int>(out.size()));
    const bool converted = r == 0 && out.compare(0, 2, "\xc3\xa9") == 0 && out[2 * units] == 0;
    const bool refused = r == -1 && out[0] == 0;
    std::printf("utf16_to_utf8: %d\n", r);
    wchar_t filled[64];
    // (room for len + 1 units: the parser terminates at index len)
    const int n = parser(filled, 63, L"{0}-{1}", 2, L"a", L"b");
    std::printf("QZ_wcsparser: %d\n", n);
    return (converted || refused) && n > 0 && n < 64 && filled[n] == 0;
}

void take_tls_indexes() {
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) g_tls.push_back(index);
    std::printf("took %zu TLS indexes\n", g_tls.size());
}

}  // namespace

int main(int argc, char** argv) {
    auto& lib = qz::test::Library::get();
    auto init = QZ_FN(lib, QZLog_Init);
    auto log = QZ_FN(lib, QZLog_Log);
    for (int i = 1; i < argc; ++i) {
        std::string step = argv[i];
        if (step == "init") {
            init();
        } else if (step == "null") {
            log(nullptr, 0);
        } else if (step.rfind("log:", 0) == 0) {
            size_t colon = step.find(':', 4);
            int level = std::atoi(step.substr(4, colon - 4).c_str());
            std::string text;
            for (size_t k = colon + 1; k < step.size(); ++k) {
                if (step[k] == '\\' && k + 1 < step.size() && step[k + 1] == 'n') {
                    text += '\n';
                    ++k;
                } else {
                    text += step[k];
                }
            }
            log(text.c_str(), level);
        } else if (step.rfind("big:", 0) == 0) {
            size_t colon = step.find(':', 4);
            int level = std::atoi(step.substr(4, colon - 4).c_str());
            std::string text(std::strtoul(step.c_str() + colon + 1, nullptr, 10), 'x');
            log(text.c_str(), level);
        } else if (step.rfind("threads:", 0) == 0) {
            // threads:N:M: N threads write M records each at once.
            size_t colon = step.find(':', 8);
            const int n = std::atoi(step.substr(8, colon - 8).c_str());
            const int m = std::atoi(step.c_str() + colon + 1);
            std::vector<std::thread> threads;
            for (int t = 0; t < n; ++t)
                threads.emplace_back([=] {
                    for (int k = 0; k < m; ++k) {
                        std::string text = "thread " + std::to_string(t) + " record " + std::to_string(k) +
                                           " " + std::string(200, static_cast<char>('a' + t % 26));
                        log(text.c_str(), k % 3);
                    }
                });
            for (auto& th : threads) th.join();
        } else if (step.rfind("folder:", 0) == 0) {
            CreateDirectoryA(step.c_str() + 7, nullptr);
        } else if (step.rfind("unfolder:", 0) == 0) {
            RemoveDirectoryA(step.c_str() + 9);
        } else if (step == "tls-exhaust") {
            take_tls_indexes();
        } else if (step == "tls-free") {
            for (DWORD index : g_tls) TlsFree(index);
            g_tls.clear();
        } else if (step.rfind("thread-log:", 0) == 0) {
            size_t colon = step.find(':', 11);
            const int level = std::atoi(step.substr(11, colon - 11).c_str());
            const std::string text = step.substr(colon + 1);
            std::thread([&] { log(text.c_str(), level); }).join();
        } else if (step == "reserve") {
            reserve_address_space();
            std::printf("reserved %zu blocks\n", g_reserved.size());
        } else if (step == "unreserve") {
            for (void* p : g_reserved) VirtualFree(p, 0, MEM_RELEASE);
            g_reserved.clear();
        } else if (step.rfind("convert:", 0) == 0) {
            if (!convert(lib, std::strtoul(step.c_str() + 8, nullptr, 10))) return 4;
        } else if (step == "delete") {
            DeleteFileA("qzlog_0.txt");  // may be refused while the sink holds it
        } else if (step.rfind("sleep:", 0) == 0) {
            Sleep(std::strtoul(step.c_str() + 6, nullptr, 10));
        } else if (step == "midnight") {
            SYSTEMTIME start, now;
            GetLocalTime(&start);
            for (int waited = 0; waited < 30000; waited += 50) {
                Sleep(50);
                GetLocalTime(&now);
                if (now.wDay != start.wDay) break;
            }
            if (now.wDay == start.wDay) {
                std::fprintf(stderr, "the local date did not change\n");
                return 3;
            }
        } else {
            std::fprintf(stderr, "unknown step %s\n", step.c_str());
            return 2;
        }
    }
    return 0;
}
