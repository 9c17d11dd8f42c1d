// What the diagnostics tests need beside the library: children under names no
// other process has, and the platform's own view of processes and modules.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "testhost/test_support.h"

namespace qz::test::diag {

struct ModuleInfo {
    std::string name, path;
    std::uint32_t size = 0;
    HMODULE handle = nullptr;
};

// Every entry of a fresh snapshot, in its order, handed to add(entry).
template <class Entry, class Add>
void each(DWORD flags, DWORD pid, BOOL(WINAPI* first)(HANDLE, Entry*), BOOL(WINAPI* next)(HANDLE, Entry*), Add add) {
    const HANDLE snap = CreateToolhelp32Snapshot(flags, pid);
    if (snap == INVALID_HANDLE_VALUE) return;
    Entry e{};
    e.dwSize = sizeof e;
    for (BOOL ok = first(snap, &e); ok; ok = next(snap, &e)) add(e);
    CloseHandle(snap);
}

// Identifier and executable name of each process of a fresh snapshot, in its order.
std::vector<std::pair<DWORD, std::string>> processes();
// Modules of one process in snapshot order; empty when it cannot be listed.
std::vector<ModuleInfo> modules_of(DWORD pid);
// A name no other process or module on the machine has, from `stem`.
std::string unique_name(const std::string& stem, const std::string& extension);
// ASCII letters as capitals, the way a script author may type a name.
std::string upper(std::string s);

// A name table of fixed-width records, laid out as a script holds it.
struct Table {
    Table(const std::vector<std::string>& names, std::size_t stride) : bytes(names.size() * stride + 1, '\0') {
        for (std::size_t i = 0; i < names.size(); ++i) names[i].copy(&bytes[i * stride], names[i].size());
    }
    std::vector<char> bytes;
    const char* first = bytes.data();
};

// The module dump: opening, frame and closing texts, the seven texts of a module.
inline const std::string kSep = "\n" + std::string(78, '-'), kOpening = "\nQZ_DiagModule basladi",
                         kBegin = "\n" + std::string(29, '-') + "MODULES BEGIN" + std::string(36, '-'),
                         kEnd = "\n" + std::string(29, '-') + "MODULES END" + std::string(38, '-'),
                         kClosing = "\nQZ_DiagModule bitti";
inline std::vector<std::string> framed(const std::vector<std::string>& entries) {
    std::vector<std::string> all = {kOpening, kSep, kBegin, kSep};
    all.insert(all.end(), entries.begin(), entries.end());
    all.insert(all.end(), {kSep, kEnd, kSep, kClosing});
    return all;
}
inline void add_entry(std::vector<std::string>& out, const ModuleInfo& m, const std::string& caller_path) {
    out.insert(out.end(), {"\nmodule: ", m.name, "\npath: ", m.path, "\nsize: " + std::to_string(m.size) + " bytes",
                           "\ngetmodule file name : ", caller_path});
}

// A copy of diag_child.exe under its own name (empty: a fresh one) that has
// loaded a copy of diag_child_mod.dll under a fresh name: a module no other
// process has. `ready` once a module snapshot of it shows that DLL.
struct Child {
    explicit Child(const std::string& exe = {});
    DWORD pid() const { return proc.pi.dwProcessId; }
    TempDir dir;
    RunningChild proc;
    std::string exe_name, dll_name;
    bool ready = false;
};

}  // namespace qz::test::diag
