// Small tools the tests share: scratch folders, child processes, file reads.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qz::test {

// A fresh, empty folder under the temp directory, removed with its files.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Folder of the running executable (where the DLL and test programs are).
std::string exe_dir();

// Whole file as bytes; empty optional-like flag when it cannot be read.
bool read_file(const std::string& path, std::string& out);
bool file_exists(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

// Open handles of this process, from the system's handle table (Wine's
// GetProcessHandleCount does not follow handles opened and closed).
DWORD handle_count();

// Handles gained over `times` calls of `body`, after one first call (the
// system's first-use allocations are not leaks).
template <class Body>
DWORD growth_after(int times, Body body) {
    body();
    const DWORD before = handle_count();
    for (int i = 0; i < times; ++i) body();
    const DWORD after = handle_count();
    return after > before ? after - before : 0;
}

struct ChildResult {
    bool started = false;
    bool finished = false;   // false: killed at the time limit
    DWORD exit_code = 0;
};

// How a child starts: in `cwd` (empty: this process's folder), with `env`
// set on top of this process's environment, its standard output and error
// written to the file `output` (empty: this process's, which it sees only
// when it inherits this process's handles), on the desktop `desktop`
// (empty: this process's).
struct ChildOptions {
    ChildOptions(std::string cwd = {}, std::vector<std::pair<std::string, std::string>> env = {})
        : cwd(std::move(cwd)), env(std::move(env)) {}
    std::string cwd;
    std::vector<std::pair<std::string, std::string>> env;
    std::string output;
    std::string desktop;
    bool inherit_handles = false;
};

// A child started and left running; the process ends with its owner.
struct RunningChild {
    PROCESS_INFORMATION pi{};
    RunningChild() = default;
    RunningChild(RunningChild&& other) noexcept : pi(std::exchange(other.pi, {})) {}
    RunningChild& operator=(RunningChild&& other) noexcept {
        if (this != &other) kill(), pi = std::exchange(other.pi, {});
        return *this;
    }
    ~RunningChild();
    bool started() const { return pi.hProcess != nullptr; }
    // Waits until it ends, at most `timeout_ms`, killing it then; its handles are closed.
    ChildResult wait(DWORD timeout_ms);
    void kill();
};

// Starts a program with arguments (each quoted as needed). Wine now and then
// refuses a start for a moment: a start is tried a few times.
bool start_child(RunningChild& child, const std::string& program, const std::vector<std::string>& args,
                 const ChildOptions& options = {});
// The same with a whole command line.
bool start_command(RunningChild& child, std::string command_line, const ChildOptions& options = {});

// The same, waited for.
ChildResult run_child(const std::string& program, const std::vector<std::string>& args,
                      const ChildOptions& options = {}, DWORD timeout_ms = 120000);

}  // namespace qz::test
