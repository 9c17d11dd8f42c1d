// A process for the diagnostics tests to find.
//   diag_child DLL...          loads the DLLs (each a module no other process
//                              has) and idles until the test ends it, or two
//                              minutes have passed so that it cannot linger;
//   diag_child --dump-self LIBRARY OUT
//                              loads the library as the engine does, has it dump
//                              this very process's modules and writes to OUT the
//                              texts it got ('\0' after each), a line "--", and
//                              name, path and size of each module of a snapshot
//                              taken before and after ('\0' after each).
#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>

#include "diag_support.h"
#include "testhost/engine_host.h"

namespace {

int dump_self(const char* library, const char* out_path) {
    const std::string lib_path = library;
    qz::test::Library lib(std::wstring(lib_path.begin(), lib_path.end()));
    qz::test::EngineHost host;
    host.bind(lib);
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    const std::string self(buf, n);
    const std::string name = self.substr(self.find_last_of("\\/") + 1);

    const auto before = qz::test::diag::modules_of(GetCurrentProcessId());
    lib.fn<void(__cdecl*)(const char*)>("QZ_DiagModule")(name.c_str());
    const auto after = qz::test::diag::modules_of(GetCurrentProcessId());

    std::ofstream out(out_path, std::ios::binary);
    for (const auto& text : host.diag_calls()) out << text << '\0';
    out << "--" << '\0';
    if (before.size() != after.size()) return 3;  // the module list moved meanwhile
    for (const auto& m : before) out << m.name << '\0' << m.path << '\0' << m.size << '\0';
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
    for (int i = 1; i < argc; ++i) {
        if (!LoadLibraryA(argv[i])) return 2;
    }
    Sleep(120000);
    return 0;
}
