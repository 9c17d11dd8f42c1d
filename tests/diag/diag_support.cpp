#include "tests/diag/diag_support.h"

#include <atomic>
#include <cstdio>

namespace qz::test::diag {
namespace {

// The test names are ASCII; the wide records are narrowed unit by unit.
std::string narrow(const wchar_t* s) {
    std::string out;
    for (; *s; ++s) out += *s < 0x80 ? static_cast<char>(*s) : '?';
    return out;
}

}  // namespace

std::vector<std::pair<DWORD, std::string>> processes() {
    std::vector<std::pair<DWORD, std::string>> out;
    each(TH32CS_SNAPPROCESS, 0, Process32FirstW, Process32NextW,
         [&](const PROCESSENTRY32W& e) { out.emplace_back(e.th32ProcessID, narrow(e.szExeFile)); });
    return out;
}

std::vector<ModuleInfo> modules_of(DWORD pid) {
    std::vector<ModuleInfo> out;
    each(TH32CS_SNAPMODULE, pid, Module32FirstW, Module32NextW, [&](const MODULEENTRY32W& e) {
        out.push_back({narrow(e.szModule), narrow(e.szExePath), e.modBaseSize, e.hModule});
    });
    return out;
}

std::string unique_name(const std::string& stem, const std::string& extension) {
    static std::atomic<unsigned> counter{0};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s%lx_%lx_%u%s", stem.c_str(), GetCurrentProcessId(), GetTickCount(),
                  counter++, extension.c_str());
    return buf;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

Child::Child(const std::string& exe)
    : exe_name(exe.empty() ? unique_name("qzdc", ".exe") : exe), dll_name(unique_name("qzdm", ".dll")) {
    const std::string bin = exe_dir();
    if (!CopyFileA((bin + "\\diag_child.exe").c_str(), dir.file(exe_name).c_str(), FALSE) ||
        !CopyFileA((bin + "\\diag_child_mod.dll").c_str(), dir.file(dll_name).c_str(), FALSE) ||
        !start_child(proc, dir.file(exe_name), {dir.file(dll_name)}, {dir.path()}))
        return;
    for (int tries = 0; tries < 400 && !ready; ++tries) {
        for (const auto& m : modules_of(pid())) ready = ready || _stricmp(m.name.c_str(), dll_name.c_str()) == 0;
        if (!ready && WaitForSingleObject(proc.pi.hProcess, 50) == WAIT_OBJECT_0) return;  // it failed to load
    }
}

}  // namespace qz::test::diag
