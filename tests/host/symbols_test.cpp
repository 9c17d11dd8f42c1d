// The DLL as a crash reporter or a debugger on Windows sees it, black box:
// dbghelp loads the loaded DLL's debug information (its PDB in the build that
// ships, found by the name and GUID the DLL's CodeView record gives), every
// export resolves by name to its own address with a line in this project's
// sources, and a stack captured inside a host callback the library makes,
// walked with StackWalk64, names the library's functions with files and lines.
#include <windows.h>
#include <dbghelp.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "testhost/engine_host.h"

using namespace qz::test;

namespace {

// The folders of the library's own sources.
bool in_project_sources(const std::string& file) {
    std::string f = file;
    for (auto& c : f) if (c == '\\') c = '/';
    for (const char* dir : {"/host/", "/log/", "/text/", "/files/", "/input/", "/display/", "/sysinfo/", "/diag/"}) {
        const auto at = f.rfind(dir);
        if (at != std::string::npos && f.size() > at + std::strlen(dir) && f.compare(f.size() - 4, 4, ".cpp") == 0)
            return true;
    }
    return false;
}

std::wstring module_path(HMODULE m) {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(m, path.data(), MAX_PATH));
    return path;
}

std::uint32_t image_size(HMODULE m) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(m) + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

// The names of the module's export table, as the loader reads them.
std::vector<std::string> export_names(HMODULE m) {
    const auto* base = reinterpret_cast<const char*>(m);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(m)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exp = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exp->AddressOfNames);
    std::vector<std::string> out;
    for (DWORD i = 0; i < exp->NumberOfNames; ++i) out.emplace_back(base + names[i]);
    return out;
}

struct Where {
    std::string name, file;
    DWORD line = 0;
};

// dbghelp over this process: the DLL and this executable loaded, lines on.
class Symbols {
public:
    Symbols() : process_(GetCurrentProcess()), dll_(Library::get().handle()) {
        SymSetOptions(SYMOPT_LOAD_LINES | SYMOPT_UNDNAME | SYMOPT_FAIL_CRITICAL_ERRORS);
        std::wstring dir = module_path(dll_);
        dir.resize(dir.find_last_of(L"\\/"));
        ok_ = SymInitializeW(process_, dir.c_str(), FALSE);
        if (!ok_) return;
        for (HMODULE m : {dll_, GetModuleHandleW(nullptr)})
            SymLoadModuleExW(process_, nullptr, module_path(m).c_str(), nullptr,
                             reinterpret_cast<DWORD64>(m), image_size(m), nullptr, 0);
    }
    ~Symbols() {
        if (ok_) SymCleanup(process_);
    }
    bool ok() const { return ok_; }
    HANDLE process() const { return process_; }
    DWORD64 dll_base() const { return reinterpret_cast<DWORD64>(dll_); }
    bool in_dll(DWORD64 a) const { return a >= dll_base() && a < dll_base() + image_size(dll_); }

    IMAGEHLP_MODULEW64 dll_info() const {
        IMAGEHLP_MODULEW64 info{};
        info.SizeOfStruct = sizeof info;
        SymGetModuleInfoW64(process_, dll_base(), &info);
        return info;
    }
    DWORD64 address_of(const std::string& name) const {
        Symbol s;
        return SymFromName(process_, name.c_str(), &s.info) ? s.info.Address : 0;
    }
    Where at(DWORD64 address) const {
        Where w;
        Symbol s;
        DWORD64 displacement = 0;
        if (SymFromAddr(process_, address, &displacement, &s.info)) w.name = s.info.Name;
        IMAGEHLP_LINE64 line{};
        line.SizeOfStruct = sizeof line;
        DWORD column = 0;
        if (SymGetLineFromAddr64(process_, address, &column, &line)) {
            w.file = line.FileName;
            w.line = line.LineNumber;
        }
        return w;
    }

private:
    struct Symbol {
        SYMBOL_INFO info{};
        char room[MAX_SYM_NAME]{};
        Symbol() {
            info.SizeOfStruct = sizeof(SYMBOL_INFO);
            info.MaxNameLen = MAX_SYM_NAME;
        }
    };
    HANDLE process_;
    HMODULE dll_;
    bool ok_ = false;
};

// The return addresses of the calling thread's stack, innermost first, as
// StackWalk64 finds them from a context captured here.
__attribute__((noinline)) std::vector<DWORD64> walk_stack(HANDLE process) {
    CONTEXT ctx{};
    RtlCaptureContext(&ctx);
    STACKFRAME64 frame{};
#ifdef _WIN64
    const DWORD machine = IMAGE_FILE_MACHINE_AMD64;
    frame.AddrPC.Offset = ctx.Rip;
    frame.AddrFrame.Offset = ctx.Rbp;
    frame.AddrStack.Offset = ctx.Rsp;
#else
    const DWORD machine = IMAGE_FILE_MACHINE_I386;
    frame.AddrPC.Offset = ctx.Eip;
    frame.AddrFrame.Offset = ctx.Ebp;
    frame.AddrStack.Offset = ctx.Esp;
#endif
    frame.AddrPC.Mode = frame.AddrFrame.Mode = frame.AddrStack.Mode = AddrModeFlat;
    std::vector<DWORD64> pcs;
    while (pcs.size() < 64 && StackWalk64(machine, process, GetCurrentThread(), &frame, &ctx, nullptr,
                                          SymFunctionTableAccess64, SymGetModuleBase64, nullptr) &&
           frame.AddrPC.Offset != 0)
        pcs.push_back(frame.AddrPC.Offset);
    return pcs;
}

// The x86_64 test build is GCC's, whose DWARF lies in the file of its debug
// link, which Wine's dbghelp does not read: there only the walk is checked.
[[maybe_unused]] constexpr const char* kNoPdb = "a GCC build: no PDB (the i686 build's checks)";

std::string describe(const Where& w) { return w.name + " at " + w.file + ":" + std::to_string(w.line); }

TEST(Symbols, TheDllsDebugInformationLoads) {
    Symbols sym;
    ASSERT_TRUE(sym.ok()) << "SymInitialize failed: " << GetLastError();
#ifdef QZ_TEST_PDB
    const IMAGEHLP_MODULEW64 info = sym.dll_info();
    // The build that ships: a PDB, beside the DLL under the name it gives.
    EXPECT_EQ(info.SymType, SymPdb) << "symbol type " << info.SymType << " (no PDB loaded)";
    const std::wstring pdb = info.LoadedPdbName;
    EXPECT_TRUE(pdb.size() >= 15 && pdb.compare(pdb.size() - 15, 15, L"qzutilities.pdb") == 0);
    EXPECT_TRUE(info.LineNumbers);
#else
    GTEST_SKIP() << kNoPdb;
#endif
}

TEST(Symbols, EveryExportResolvesToItsAddressAndASourceLine) {
#ifndef QZ_TEST_PDB
    GTEST_SKIP() << kNoPdb;
#endif
    Symbols sym;
    ASSERT_TRUE(sym.ok());
    const HMODULE dll = Library::get().handle();
    const std::vector<std::string> names = export_names(dll);
    ASSERT_GE(names.size(), 40u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const DWORD64 address = sym.address_of(name);
        EXPECT_EQ(address, reinterpret_cast<DWORD64>(GetProcAddress(dll, name.c_str())));
        const Where w = sym.at(address);
        EXPECT_EQ(w.name, name);
        EXPECT_GT(w.line, 0u) << describe(w);
        EXPECT_TRUE(in_project_sources(w.file)) << describe(w);
    }
}

TEST(Symbols, AStackInsideAHostCallbackNamesTheLibrarysFrames) {
    Symbols sym;
    ASSERT_TRUE(sym.ok());
    EngineHost host;
    ASSERT_EQ(host.bind(), 630);
    std::vector<DWORD64> pcs;
    host.on_diag([&](const char*) {
        if (pcs.empty()) pcs = walk_stack(sym.process());
    });
    // The module dump of this very process calls diag for every line it writes.
    std::wstring exe = module_path(GetModuleHandleW(nullptr));
    exe = exe.substr(exe.find_last_of(L"\\/") + 1);
    const std::string exe_name(exe.begin(), exe.end());
    QZ_FN(Library::get(), QZ_DiagModule)(exe_name.c_str());
    host.on_diag(nullptr);
    ASSERT_FALSE(host.diag_calls().empty());
    ASSERT_FALSE(pcs.empty()) << "StackWalk64 found no frame";

    std::vector<Where> library;
    std::string all;
    std::size_t after_library = 0;  // frames outside the DLL, above its outermost
    for (DWORD64 pc : pcs) {
        // A return address: the call itself is the byte before it.
        const Where w = sym.at(pc - 1);
        all += "\n  " + std::string(sym.in_dll(pc) ? "[dll] " : "      ") + describe(w);
        if (sym.in_dll(pc)) {
            library.push_back(w);
            after_library = 0;
        } else if (!library.empty()) {
            ++after_library;
        }
    }
    SCOPED_TRACE("the stack:" + all);
    ASSERT_GE(library.size(), 2u) << "fewer than two of the library's frames";
    // The walk goes on through the library into the host that called it.
    EXPECT_GE(after_library, 2u);
#ifndef QZ_TEST_PDB
    GTEST_SKIP() << kNoPdb;
#endif
    for (const Where& w : library) {
        EXPECT_FALSE(w.name.empty());
        EXPECT_GT(w.line, 0u) << describe(w);
        EXPECT_TRUE(in_project_sources(w.file)) << describe(w);
    }
    // The export the host called is the outermost of the library's frames,
    // and the module dump (diag/) is among those below it.
    EXPECT_EQ(library.back().name, "QZ_DiagModule");
    bool dump = false;
    for (const Where& w : library) dump = dump || (w.file.find("diag") != std::string::npos && w.name != "QZ_DiagModule");
    EXPECT_TRUE(dump) << "no frame of the module dump";
}

}  // namespace
