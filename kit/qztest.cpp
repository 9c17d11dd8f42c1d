// qztest.exe: runs the kit's tests (tests.txt beside it) one after another, a
// line each, after saying which Windows it runs on, and ends with
// "N passed, M failed"; exit status 0 only when every test ran and passed.
// Everything it prints, and each test's output and GoogleTest report, goes to
// report\ beside it, or, where that folder cannot be written, to the user's
// temporary folder, which it names.
#include <windows.h>

#include <cpuid.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "kit/runner.h"

namespace {

using namespace qz::kit;

// Every line goes to the console and to the report's summary.txt.
class Out {
public:
    void open(const std::wstring& path) {
        file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        for (const auto& line : early_) write(line);
        early_.clear();
    }
    bool is_open() const { return static_cast<bool>(file_); }
    void line(const std::string& text) {
        std::fputs((text + "\n").c_str(), stdout);
        std::fflush(stdout);
        if (file_) write(text);
        else early_.push_back(text);
    }

private:
    void write(const std::string& text) {
        const std::string crlf = text + "\r\n";
        DWORD n = 0;
        WriteFile(file_.get(), crlf.data(), static_cast<DWORD>(crlf.size()), &n, nullptr);
    }
    FileHandle file_;
    std::vector<std::string> early_;  // lines from before the report had a place
};

std::wstring registry_text(HKEY root, const wchar_t* key, const wchar_t* value) {
    wchar_t buf[256] = {};
    DWORD size = sizeof buf - sizeof(wchar_t);
    if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return {};
    return buf;
}

std::string windows_line() {
    RTL_OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    using RtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (auto get = reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion"))))
        get(&v);
    const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    std::string line = "Windows: " + narrow(registry_text(HKEY_LOCAL_MACHINE, key, L"ProductName"));
    std::wstring release = registry_text(HKEY_LOCAL_MACHINE, key, L"DisplayVersion");
    if (release.empty()) release = registry_text(HKEY_LOCAL_MACHINE, key, L"ReleaseId");
    if (release.empty()) release = v.szCSDVersion;
    if (!release.empty()) line += " " + narrow(release);
    line += ", version " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + "." +
            std::to_string(v.dwBuildNumber);
    DWORD ubr = 0, size = sizeof ubr;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, L"UBR", RRF_RT_REG_DWORD, nullptr, &ubr, &size) == ERROR_SUCCESS)
        line += "." + std::to_string(ubr);
    if (v.dwBuildNumber >= 22000 && v.dwMajorVersion == 10) line += " (Windows 11)";

    // The machine's own architecture, and whether this 32-bit program runs under WoW64.
    using IsWow64Process2 = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    USHORT process = 0, native = 0;
    BOOL wow64 = FALSE;
    if (auto is2 = reinterpret_cast<IsWow64Process2>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process2")));
        is2 && is2(GetCurrentProcess(), &process, &native)) {
        wow64 = process != IMAGE_FILE_MACHINE_UNKNOWN;
    } else {
        SYSTEM_INFO si{};
        GetNativeSystemInfo(&si);
        IsWow64Process(GetCurrentProcess(), &wow64);
        native = si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64   ? IMAGE_FILE_MACHINE_AMD64
                 : si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ? IMAGE_FILE_MACHINE_ARM64
                                                                             : IMAGE_FILE_MACHINE_I386;
    }
    line += native == IMAGE_FILE_MACHINE_AMD64   ? ", 64-bit (x64)"
            : native == IMAGE_FILE_MACHINE_ARM64 ? ", 64-bit (ARM64)"
            : native == IMAGE_FILE_MACHINE_I386  ? ", 32-bit (x86)"
                                                 : ", machine " + std::to_string(native);
    line += wow64 ? ", this 32-bit program under WoW64" : "";
    return line;
}

std::string wine_line() {
    using Version = const char*(__cdecl*)();
    using Host = void(__cdecl*)(const char**, const char**);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto version = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")));
    if (!version) return {};
    std::string line = std::string("Wine: ") + version();
    const char *system = nullptr, *release = nullptr;
    if (auto host = reinterpret_cast<Host>(reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_host_version")))) {
        host(&system, &release);
        if (system && release) line += std::string(" on ") + system + " " + release;
    }
    return line + " (not Windows: the kit is for real Windows)";
}

std::string processor_line() {
    unsigned regs[12] = {};
    std::string name;
    unsigned top = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0x80000000, &top, &b, &c, &d) && top >= 0x80000004) {
        for (unsigned i = 0; i < 3; ++i)
            __get_cpuid(0x80000002 + i, &regs[i * 4], &regs[i * 4 + 1], &regs[i * 4 + 2], &regs[i * 4 + 3]);
        name.assign(reinterpret_cast<const char*>(regs), sizeof regs);
        name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
        name.erase(0, name.find_first_not_of(' '));
    }
    if (name.empty())
        name = narrow(registry_text(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                    L"ProcessorNameString"));
    SYSTEM_INFO si{};
    GetNativeSystemInfo(&si);
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    GlobalMemoryStatusEx(&m);
    return "Processor: " + (name.empty() ? std::string("(no name)") : name) + ", " +
           std::to_string(si.dwNumberOfProcessors) + " logical; memory " + std::to_string(m.ullTotalPhys >> 20) + " MiB";
}

std::string locale_line() {
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {}, layout[KL_NAMELENGTH] = {};
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    GetKeyboardLayoutNameW(layout);
    TIME_ZONE_INFORMATION tz{};
    const DWORD which = GetTimeZoneInformation(&tz);
    const long east = -(tz.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightBias : tz.StandardBias));
    char offset[32];
    std::snprintf(offset, sizeof offset, "UTC%c%02ld:%02ld", east < 0 ? '-' : '+', (east < 0 ? -east : east) / 60,
                  (east < 0 ? -east : east) % 60);
    return "Locale: " + narrow(locale) + ", keyboard layout " + narrow(layout) + ", time zone " + offset + " (" +
           narrow(which == TIME_ZONE_ID_DAYLIGHT ? tz.DaylightName : tz.StandardName) + ")";
}

std::wstring folder_of_this_program() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\'));
}

// report\ beside the kit when it can be written there, else in the user's
// temporary folder; "" when neither.
std::wstring make_report_dir(const std::wstring& kit, std::string& note) {
    const auto usable = [](const std::wstring& dir) {
        if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
        const DWORD attributes = GetFileAttributesW(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return static_cast<DWORD>(ERROR_DIRECTORY);
        // Writable: a file can be made there (a folder's read-only attribute says nothing).
        const std::wstring probe = dir + L"\\summary.txt";
        FileHandle f(CreateFileW(probe.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        return f ? static_cast<DWORD>(ERROR_SUCCESS) : GetLastError();
    };
    const std::wstring beside = kit + L"\\report";
    const DWORD error = usable(beside);
    if (error == ERROR_SUCCESS) return beside;
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring fallback = std::wstring(temp, n);
    if (!fallback.empty() && fallback.back() == L'\\') fallback.pop_back();
    fallback += L"\\qzutilities-tests-report";
    note = narrow(beside) + " cannot be written: " + describe_error(error) + "; the report goes to the temporary folder";
    return n && usable(fallback) == ERROR_SUCCESS ? fallback : std::wstring();
}

int usage(const char* problem) {
    if (problem) std::fprintf(stderr, "qztest: %s\n", problem);
    std::fputs("usage: qztest.exe [-R REGEX] [-E REGEX] [--default-limit SECONDS]\n"
               "  Runs the kit's tests (tests.txt beside it); -R only those whose names match,\n"
               "  -E not those; --default-limit: the limit of a test without its own (300 s).\n"
               "  Exit status 0 only when every test that ran passed.\n",
               problem ? stderr : stdout);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // No error dialog from the loader or for a crash, in this process and the tests it starts.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    RunPlace place;
    std::wregex only(L".*"), except;
    bool have_except = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--help" || a == L"-h" || a == L"/?") return usage(nullptr), 0;
        if (i + 1 >= argc) return usage("an option lacks its value");
        try {
            if (a == L"-R") only.assign(argv[++i]);
            else if (a == L"-E") except.assign(argv[++i]), have_except = true;
            else if (a == L"--default-limit" && (place.default_limit = _wtoi(argv[++i])) > 0) continue;
            else return usage("unknown option or bad value");
        } catch (const std::regex_error&) {
            return usage("not a regular expression");
        }
    }

    Out out;
    place.kit_dir = folder_of_this_program();
    std::string note;
    place.report_dir = make_report_dir(place.kit_dir, note);
    if (!place.report_dir.empty()) out.open(place.report_dir + L"\\summary.txt");

    std::string text;
    {
        const std::wstring path = place.kit_dir + L"\\tests.txt";
        FileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        char buf[4096];
        DWORD n = 0;
        while (f && ReadFile(f.get(), buf, sizeof buf, &n, nullptr) && n) text.append(buf, n);
        if (!f) {
            out.line("qztest: cannot read " + narrow(path) + ": " + describe_error(GetLastError()));
            return 2;
        }
    }
    Manifest manifest;
    std::string error;
    if (!parse_manifest(text, manifest, error)) {
        out.line("qztest: tests.txt: " + error);
        return 2;
    }

    out.line(manifest.title.empty() ? "QZUtilities test kit" : manifest.title);
    out.line(windows_line());
    if (const std::string wine = wine_line(); !wine.empty()) out.line(wine);
    out.line(processor_line());
    out.line(locale_line());
    if (!note.empty()) out.line(note);
    if (place.report_dir.empty()) {
        out.line("qztest: no folder for the report, neither beside the kit nor in the temporary folder");
        return 2;
    }
    out.line("Report: " + narrow(place.report_dir));
    for (const auto& why : manifest.left_out) out.line("left out of the kit: " + why);

    int passed = 0, failed = 0;
    const ULONGLONG start = GetTickCount64();
    for (const auto& test : manifest.tests) {
        const std::wstring name = widen(test.name);
        if (!std::regex_search(name, only) || (have_except && std::regex_search(name, except))) {
            out.line("skip  " + test.name + " (left out by -R/-E)");
            continue;
        }
        const Outcome r = run_test(test, place);
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f s", r.seconds);
        out.line((r.passed ? "pass  " : "FAIL  ") + test.name + " (" + seconds + ")" + (r.passed ? "" : ": " + r.reason));
        (r.passed ? passed : failed) += 1;
    }
    out.line("Time: " + std::to_string((GetTickCount64() - start + 500) / 1000) + " s; the report is in " +
             narrow(place.report_dir));
    out.line(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed");
    return passed > 0 && failed == 0 ? 0 : 1;
}
