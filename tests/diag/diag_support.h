// What the diagnostics tests need from the system beside the library: fresh
// children under names no other process has, and the platform's own view of
// processes and modules to compare the library's answers with.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testhost/test_support.h"

namespace qz::test::diag {

struct ModuleInfo {
    std::string name;
    std::string path;
    std::uint32_t size = 0;
    HMODULE handle = nullptr;
};

// Executable names of a fresh process snapshot, in snapshot order.
std::vector<std::string> process_names();
// Identifiers of the running processes with this executable name, in snapshot order.
std::vector<DWORD> process_ids(const std::string& exe_name);
// Modules of one process in snapshot order; empty when it cannot be listed.
std::vector<ModuleInfo> modules_of(DWORD pid);

// A name no other process or module on the machine has, from `stem`.
std::string unique_name(const std::string& stem, const std::string& extension);

// A copy of diag_child.exe, running under its own name, that has loaded
// copies of diag_child_mod.dll under their own names.
class Child {
public:
    // exe_name empty: a fresh unique name. dll_count fresh DLLs are loaded.
    explicit Child(int dll_count = 1, const std::string& exe_name = {});
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool ready() const { return ready_; }
    DWORD pid() const { return proc_.pi.dwProcessId; }
    const std::string& exe_name() const { return exe_name_; }
    const std::vector<std::string>& dll_names() const { return dll_names_; }
    void kill() { proc_.kill(); }

private:
    TempDir dir_;
    RunningChild proc_;
    std::string exe_name_;
    std::vector<std::string> dll_names_;
    bool ready_ = false;
};

// Folds ASCII letters to capitals, like a script author typing the name.
std::string upper(std::string s);

}  // namespace qz::test::diag
