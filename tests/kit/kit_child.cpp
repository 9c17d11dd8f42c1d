// The runner tests' child; what it does comes from its environment, as the
// kit's test list gives it (QZ_KIT_CHILD):
//   pass    exit status 0
//   crash   an access violation
//   hang    starts itself with QZ_KIT_CHILD=sleep, writes that child's process
//           ID into the file QZ_KIT_CHILD_PIDS, and waits for ever
//   sleep   waits for ever
//   env     exit status 0 when QZ_KIT_PROBE is "a b=c", GoogleTest's output is
//           set to XML and no other GoogleTest setting reached it
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main() {
    const char* mode_text = std::getenv("QZ_KIT_CHILD");
    const std::string mode = mode_text ? mode_text : "";
    if (mode == "pass") return 0;
    if (mode == "crash") {
        volatile std::uintptr_t address = 0;
        *reinterpret_cast<volatile int*>(address) = 1;
    }
    if (mode == "sleep") Sleep(INFINITE);
    if (mode == "hang") {
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        SetEnvironmentVariableA("QZ_KIT_CHILD", "sleep");
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(self, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 5;
        const char* pids = std::getenv("QZ_KIT_CHILD_PIDS");
        if (FILE* f = pids ? std::fopen(pids, "w") : nullptr) {
            std::fprintf(f, "%lu", pi.dwProcessId);
            std::fclose(f);
        }
        Sleep(INFINITE);
    }
    if (mode == "env") {
        const char* probe = std::getenv("QZ_KIT_PROBE");
        const char* output = std::getenv("GTEST_OUTPUT");
        std::printf("QZ_KIT_PROBE=%s GTEST_OUTPUT=%s\n", probe ? probe : "(none)", output ? output : "(none)");
        const bool ok = probe && std::strcmp(probe, "a b=c") == 0 && output && std::strncmp(output, "xml:", 4) == 0 &&
                        !std::getenv("GTEST_FILTER");
        return ok ? 0 : 1;
    }
    return 9;
}
