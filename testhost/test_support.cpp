#include "testhost/test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "win/command_line.h"

namespace qz::test {

namespace {

void remove_tree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = dir + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                remove_tree(full);
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string command_line(const std::string& program, const std::vector<std::string>& args) {
    std::string cmd = win::quoted_argument(program);
    for (const auto& a : args) cmd += " " + win::quoted_argument(a);
    return cmd;
}

}  // namespace

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (;;) {
        char name[64];
        std::snprintf(name, sizeof name, "qztest_%lu_%u", GetCurrentProcessId(), counter++);
        path_ = std::string(base) + name;
        if (CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() { remove_tree(path_); }

std::string exe_dir() {
    char buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of("\\/"));
}

bool read_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return true;
}

bool file_exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

DWORD handle_count() {
    struct Entry { ULONG owner_pid; BYTE type, flags; USHORT value; PVOID object; ULONG access; };
    struct Table { ULONG count; Entry entries[1]; };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<unsigned char> buf(1 << 16);
    ULONG needed = 0;
    LONG status;  // 16: the system handle table; 0xC0000004: the buffer is too small
    while ((status = query(16, buf.data(), static_cast<ULONG>(buf.size()), &needed)) == LONG(0xC0000004))
        buf.resize(std::max<size_t>(buf.size() * 2, needed + 4096));
    if (status < 0) return 0;
    const auto* table = reinterpret_cast<const Table*>(buf.data());
    DWORD n = 0;
    for (ULONG i = 0; i < table->count; ++i) n += table->entries[i].owner_pid == GetCurrentProcessId();
    return n;
}

bool start_child(RunningChild& child, const std::string& program, const std::vector<std::string>& args,
                 const ChildOptions& options) {
    return start_command(child, command_line(program, args), options);
}

bool start_command(RunningChild& child, std::string command_line, const ChildOptions& options) {
    // The child's environment: this process's, with `env` set on top.
    std::wstring block;
    if (!options.env.empty()) {
        auto widen = [](const std::string& s) { return std::wstring(s.begin(), s.end()); };
        wchar_t* current = GetEnvironmentStringsW();
        for (const wchar_t* p = current; *p; p += wcslen(p) + 1) {
            std::wstring entry = p;
            bool replaced = false;
            for (const auto& kv : options.env) {
                std::wstring key = widen(kv.first) + L"=";
                if (_wcsnicmp(entry.c_str(), key.c_str(), key.size()) == 0) replaced = true;
            }
            if (!replaced) block += entry + L'\0';
        }
        FreeEnvironmentStringsW(current);
        for (const auto& kv : options.env) block += widen(kv.first) + L"=" + widen(kv.second) + L'\0';
        block += L'\0';
    }
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string desktop = options.desktop;
    if (!desktop.empty()) si.lpDesktop = desktop.data();
    HANDLE output = nullptr;
    if (!options.output.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output = CreateFileA(options.output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        if (output == INVALID_HANDLE_VALUE) return false;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = output;
    }
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        if (attempt) Sleep(200);
        started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, options.inherit_handles || output,
                                 options.env.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                                 options.env.empty() ? nullptr : block.data(),
                                 options.cwd.empty() ? nullptr : options.cwd.c_str(), &si, &child.pi);
    }
    if (output) {
        const DWORD error = GetLastError();
        CloseHandle(output);
        SetLastError(error);
    }
    return started != FALSE;
}

ChildResult run_child(const std::string& program, const std::vector<std::string>& args, const ChildOptions& options,
                      DWORD timeout_ms) {
    RunningChild child;
    if (!start_child(child, program, args, options)) return {};
    return child.wait(timeout_ms);
}

RunningChild::~RunningChild() { kill(); }

ChildResult RunningChild::wait(DWORD timeout_ms) {
    ChildResult r;
    if (!pi.hProcess) return r;
    r.started = true;
    r.finished = WaitForSingleObject(pi.hProcess, timeout_ms) == WAIT_OBJECT_0;
    if (!r.finished) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 10000);
    }
    GetExitCodeProcess(pi.hProcess, &r.exit_code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    pi = {};
    return r;
}

void RunningChild::kill() {
    if (pi.hProcess) TerminateProcess(pi.hProcess, 0);
    wait(10000);
}

}  // namespace qz::test
