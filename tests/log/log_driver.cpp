// Runs the log exports of the DLL in a process of its own, one step per
// argument, in the current folder. The log lives in the process-wide logging
// core, so each scenario needs a fresh process.
//   init | log:LEVEL:TEXT (\n in TEXT is a line break) | null |
//   big:LEVEL:N (a message of N 'x') | threads:N:M | delete | midnight (wait until the local date changes)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "testhost/engine_host.h"

int main(int argc, char** argv) {
    auto& lib = qz::test::Library::get();
    auto init = lib.fn<void(__cdecl*)()>("QZLog_Init");
    auto log = lib.fn<void(__cdecl*)(const char*, std::int32_t)>("QZLog_Log");
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
        } else if (step == "delete") {
            DeleteFileA("qzlog_0.txt");  // may be refused while the sink holds it
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
