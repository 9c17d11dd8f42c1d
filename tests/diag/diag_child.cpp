// A process for the diagnostics tests to find.
//   diag_child DLL...     loads the DLLs and idles until the test ends it (at
//                         most as long as a test may run, so it cannot linger);
//   diag_child --dump-self LIBRARY OUT
//                         loads the library as the engine does, has it dump this
//                         very process's modules and writes to OUT the texts it
//                         got, "--", then the texts a snapshot taken before asks
//                         for, with each path repeated ('\0' after each text).
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "tests/diag/diag_support.h"
#include "testhost/engine_host.h"

namespace {

int dump_self(const std::string& library, const char* out_path) {
    qz::test::Library lib(std::wstring(library.begin(), library.end()));
    qz::test::EngineHost host;
    host.bind(lib);
    char buf[MAX_PATH];
    const std::string self(buf, GetModuleFileNameA(nullptr, buf, MAX_PATH));
    const std::string name = self.substr(self.find_last_of("\\/") + 1);

    const auto before = qz::test::diag::modules_of(GetCurrentProcessId());
    QZ_FN(lib, QZ_DiagModule)(name.c_str());
    if (before.size() != qz::test::diag::modules_of(GetCurrentProcessId()).size()) return 3;  // the list moved

    if (before.size() < 3) return 6;  // itself, ntdll and kernel32 at least
    std::vector<std::string> want;
    for (const auto& m : before) qz::test::diag::add_entry(want, m, m.path);
    std::ofstream out(out_path, std::ios::binary);
    for (const auto& text : host.diag_calls()) out << text << '\0';
    out << "--" << '\0';
    for (const auto& text : qz::test::diag::framed(want)) out << text << '\0';
    return out ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--dump-self") == 0) {
        try {
            return dump_self(argv[2], argv[3]);
        } catch (...) {
            return 5;
        }
    }
    for (int i = 1; i < argc; ++i)
        if (!LoadLibraryA(argv[i])) return 2;
    Sleep(900000);
    return 0;
}
