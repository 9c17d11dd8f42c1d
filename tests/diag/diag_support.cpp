#include "diag_support.h"

#include <tlhelp32.h>

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

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

}  // namespace

std::vector<std::string> process_names() {
    std::vector<std::string> names;
    Handle snap{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snap.h == INVALID_HANDLE_VALUE) return names;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap.h, &e); ok; ok = Process32NextW(snap.h, &e)) names.push_back(narrow(e.szExeFile));
    return names;
}

std::vector<DWORD> process_ids(const std::string& exe_name) {
    std::vector<DWORD> ids;
    Handle snap{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snap.h == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32FirstW(snap.h, &e); ok; ok = Process32NextW(snap.h, &e))
        if (narrow(e.szExeFile) == exe_name) ids.push_back(e.th32ProcessID);
    return ids;
}

std::vector<ModuleInfo> modules_of(DWORD pid) {
    std::vector<ModuleInfo> mods;
    Handle snap{CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid)};
    if (snap.h == INVALID_HANDLE_VALUE) return mods;
    MODULEENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Module32FirstW(snap.h, &e); ok; ok = Module32NextW(snap.h, &e))
        mods.push_back({narrow(e.szModule), narrow(e.szExePath), e.modBaseSize, e.hModule});
    return mods;
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

Child::Child(int dll_count, const std::string& exe_name)
    : exe_name_(exe_name.empty() ? unique_name("qzdc", ".exe") : exe_name) {
    const std::string bin = exe_dir();
    if (!CopyFileA((bin + "\\diag_child.exe").c_str(), dir_.file(exe_name_).c_str(), FALSE)) return;
    std::vector<std::string> args;
    for (int i = 0; i < dll_count; ++i) {
        dll_names_.push_back(unique_name("qzdm", ".dll"));
        if (!CopyFileA((bin + "\\diag_child_mod.dll").c_str(), dir_.file(dll_names_.back()).c_str(), FALSE)) return;
        args.push_back(dir_.file(dll_names_.back()));
    }
    if (!start_child(proc_, dir_.file(exe_name_), args, dir_.path())) return;
    // Ready once a module snapshot of the child shows every DLL loaded.
    for (int tries = 0; tries < 400 && !ready_; ++tries) {
        int found = 0;
        for (const auto& m : modules_of(pid()))
            for (const auto& d : dll_names_)
                if (_stricmp(m.name.c_str(), d.c_str()) == 0) ++found;
        ready_ = found == dll_count && !modules_of(pid()).empty();
        if (!ready_) {
            if (WaitForSingleObject(proc_.pi.hProcess, 50) == WAIT_OBJECT_0) return;  // it failed to load
        }
    }
}

}  // namespace qz::test::diag
