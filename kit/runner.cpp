#include "kit/runner.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "win/command_line.h"

namespace qz::kit {

namespace {

// One argument more on the command line.
void append_quoted(std::wstring& line, const std::wstring& arg) {
    if (!line.empty()) line += L' ';
    line += win::quoted_argument(arg);
}

std::wstring variable_name(const std::wstring& entry) {
    // "=C:=C:\dir" is a name of its own: its first '=' is part of it.
    const size_t eq = entry.find(L'=', 1);
    return entry.substr(0, eq);
}

// The runner's environment without GoogleTest's settings (the test's own
// filter and output decide), with the test's variables on top, sorted by
// name as CreateProcess wants it.
std::wstring environment_block(const std::vector<std::wstring>& extra) {
    std::vector<std::wstring> entries;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* p = current; *p; p += std::wcslen(p) + 1) entries.emplace_back(p);
        FreeEnvironmentStringsW(current);
    }
    const auto named = [](const std::wstring& name) {
        return [name](const std::wstring& e) { return _wcsicmp(variable_name(e).c_str(), name.c_str()) == 0; };
    };
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::wstring& e) { return _wcsnicmp(e.c_str(), L"GTEST_", 6) == 0; }),
                  entries.end());
    for (const auto& e : extra) {
        entries.erase(std::remove_if(entries.begin(), entries.end(), named(variable_name(e))), entries.end());
        entries.push_back(e);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(variable_name(a).c_str(), variable_name(b).c_str()) < 0;
    });
    std::wstring block;
    for (const auto& e : entries) block += e + L'\0';
    block += L'\0';
    return block;
}

double seconds_since(ULONGLONG start) { return static_cast<double>(GetTickCount64() - start) / 1000.0; }

Outcome failed(std::string reason, double seconds = 0) { return {false, std::move(reason), seconds}; }

// An inheritable handle for the child's standard streams.
FileHandle open_inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return FileHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

bool parse_manifest(const std::string& text, Manifest& out, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    TestEntry* current = nullptr;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            current = nullptr;
            continue;
        }
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space), value = space == std::string::npos ? "" : line.substr(space + 1);
        const auto bad = [&](const char* why) {
            error = "line " + std::to_string(number) + " (" + line + "): " + why;
            return false;
        };
        if (value.empty()) return bad("no value");
        if (key == "kit") {
            out.title = value;
        } else if (key == "left-out") {
            out.left_out.push_back(value);
        } else if (key == "test") {
            out.tests.push_back({});
            current = &out.tests.back();
            current->name = value;
        } else if (!current) {
            return bad("outside a test's record");
        } else if (key == "program") {
            current->program = widen(value);
            std::replace(current->program.begin(), current->program.end(), L'/', L'\\');
        } else if (key == "arg") {
            current->args.push_back(widen(value));
        } else if (key == "env") {
            if (value.find('=') == std::string::npos || value[0] == '=') return bad("not VAR=VALUE");
            current->env.push_back(widen(value));
        } else if (key == "limit") {
            current->limit_seconds = std::atoi(value.c_str());
            if (current->limit_seconds <= 0) return bad("not a number of seconds");
        } else {
            return bad("unknown key");
        }
    }
    for (const auto& t : out.tests)
        if (t.program.empty()) {
            error = "the test " + t.name + " has no program";
            return false;
        }
    return true;
}

std::string describe_error(DWORD code, const std::string& insert) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = text ? narrow(text) : "";
    LocalFree(text);
    if (const size_t at = message.find("%1"); at != std::string::npos) message.replace(at, 2, insert);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return (message.empty() ? "" : message + " ") + "(error " + std::to_string(code) + ")";
}

std::string describe_exit(DWORD code) {
    static const struct { DWORD code; bool loader; const char* what; } known[] = {
        {0xC0000005, false, "access violation"},
        {0xC000001D, false, "illegal instruction"},
        {0xC0000094, false, "integer division by zero"},
        {0xC00000FD, false, "stack overflow"},
        {0xC0000409, false, "stack buffer overrun or fail-fast"},
        {0xC0000374, false, "heap corruption"},
        {0x80000003, false, "breakpoint"},
        {0xC0000135, true, "a DLL it needs was not found"},
        {0xC0000139, true, "an entry point it imports is missing from a DLL"},
        {0xC000007B, true, "a DLL it loads is not a valid image for this machine"},
        {0xC0000142, true, "a DLL it loads failed to initialise"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
    for (const auto& k : known)
        if (k.code == code) return std::string(k.loader ? "could not start: " : "crashed: exception ") + hex + " (" + k.what + ")";
    if (code >= 0xC0000000) return std::string("crashed: exception ") + hex;
    if (code == 3) return "exit status 3 (abort)";
    return "exit status " + std::to_string(code);
}

Outcome run_test(const TestEntry& test, const RunPlace& place) {
    const std::wstring program = place.kit_dir + L"\\" + test.program;
    const std::wstring program_dir = program.substr(0, program.find_last_of(L'\\'));
    if (GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES)
        return failed("the program is missing: " + narrow(test.program));
    const std::wstring base = place.report_dir + L"\\" + widen(test.name);

    // A fresh working folder: a test may leave files where it runs.
    const std::filesystem::path work(base + L".work");
    std::error_code ec;
    std::filesystem::remove_all(work, ec);
    if (!std::filesystem::create_directories(work, ec))
        return failed("cannot make its working folder " + narrow(work.wstring()) + ": " + ec.message());

    FileHandle log = open_inheritable(base + L".log", GENERIC_WRITE, CREATE_ALWAYS);
    if (!log) return failed("cannot write its log " + narrow(base) + ".log: " + describe_error(GetLastError()));
    FileHandle input = open_inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);

    std::vector<std::wstring> env = test.env;
    env.push_back(L"GTEST_OUTPUT=xml:" + base + L".xml");
    std::wstring block = environment_block(env);
    std::wstring command;
    append_quoted(command, program);
    for (const auto& arg : test.args) append_quoted(command, program_dir + L"\\" + arg);

    // The job ends the test and everything it started at its limit (and
    // whatever it leaves running when it ends), with no error dialog on the way.
    JobHandle job(CreateJobObjectW(nullptr, nullptr));
    if (job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
            JOB_OBJECT_LIMIT_BREAKAWAY_OK;
        SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = input.get();
    si.hStdOutput = log.get();
    si.hStdError = log.get();
    PROCESS_INFORMATION pi{};
    const ULONGLONG start = GetTickCount64();
    DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | CREATE_BREAKAWAY_FROM_JOB;
    BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags, block.data(),
                                  work.c_str(), &si, &pi);
    if (!started && GetLastError() == ERROR_ACCESS_DENIED) {
        // The runner is in a job that allows no breakaway: its child stays there.
        flags &= ~static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB);
        started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, flags, block.data(),
                                 work.c_str(), &si, &pi);
    }
    if (!started) {
        const std::string name = narrow(test.program);
        return failed("cannot start " + name + ": " + describe_error(GetLastError(), name));
    }
    ProcessHandle process(pi.hProcess);
    ThreadHandle thread(pi.hThread);
    // Without a job (Windows 7 nests none) only the program itself can be ended.
    const bool in_job = job && AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());

    const int limit = test.limit_seconds > 0 ? test.limit_seconds : place.default_limit;
    const DWORD waited = WaitForSingleObject(process.get(), static_cast<DWORD>(limit) * 1000);
    const double seconds = seconds_since(start);
    if (waited != WAIT_OBJECT_0) {
        if (in_job) TerminateJobObject(job.get(), ERROR_TIMEOUT);
        else TerminateProcess(process.get(), ERROR_TIMEOUT);
        WaitForSingleObject(process.get(), 10000);
        return failed("hung: killed at its limit of " + std::to_string(limit) + " s" +
                          (in_job ? "" : " (not in a job: processes it started may live on)"),
                      seconds);
    }
    if (in_job) TerminateJobObject(job.get(), 0);
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code)) return failed("no exit status: " + describe_error(GetLastError()), seconds);
    if (code != 0) return failed(describe_exit(code), seconds);
    log.reset();
    std::filesystem::remove_all(work, ec);
    return {true, "", seconds};
}

}  // namespace qz::kit
