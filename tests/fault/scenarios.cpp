#include "tests/fault/scenarios.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>
#include <utility>

#include "diag/dumps.h"
#include "testhost/fake_d3d9.h"
#include "testhost/fake_dxdiag.h"
#include "testhost/fake_dinput.h"
#include "testhost/fault/imports.h"
#include "testhost/fault/plan.h"

namespace qz::test::fault {
namespace {

std::string num(long long v) { return std::to_string(v); }

std::string hex(std::uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%08lx", static_cast<unsigned long>(v));
    return b;
}

std::string utf8(const wchar_t* w) {
    char b[256] = "";
    WideCharToMultiByte(CP_UTF8, 0, w, -1, b, sizeof b, nullptr, nullptr);
    return b;
}

// A checksum of 16-bit or 32-bit entries, to compare ramps and arrays.
template <class T>
std::string sum_of(const T* p, std::size_t n) {
    std::uint64_t s = 0;
    for (std::size_t i = 0; i < n; ++i) s = s * 31 + static_cast<std::uint32_t>(p[i]);
    return num(static_cast<long long>(s & 0xFFFFFFFFFFFF));
}

std::string ramp_sum(const D3DGAMMARAMP& r) { return sum_of(&r.red[0], 3 * 256); }

FakeD3DDevice9* g_device = nullptr;
FakeDxDiagProvider* g_service = nullptr;

void text(Run& r) {
    wchar_t w[64];
    char b[64];
    int rc = QZ_FN(Library::get(), utf8_to_utf16)("h\xC3\xA9llo \xF0\x9F\x98\x80", w, 64);
    r.out("utf8_to_utf16", num(rc) + "|" + utf8(w), {"-1|"});
    rc = QZ_FN(Library::get(), utf16_to_utf8)(L"h\u00e9llo \U0001F600", b, 64);
    r.out("utf16_to_utf8", num(rc) + "|" + b, {"-1|"});
    rc = QZ_FN(Library::get(), QZ_InvariantCompare)(L"Stra\u00dfe", -1,
                                                                                             L"STRASSE", -1);
    r.out("QZ_InvariantCompare", num(rc), {"0"});
    int found = -7;
    rc = QZ_FN(Library::get(), QZ_InvariantFindStr)(
        L"HelloWorld", -1, L"WORLD", -1, &found);
    r.out("QZ_InvariantFindStr", num(rc) + "|" + num(found), {"-1|-7"});
    unsigned char copy[16];
    rc = QZ_FN(Library::get(), QZ_mbscpy_s)(
        copy, sizeof copy, reinterpret_cast<const unsigned char*>("copy me"));
    r.out("QZ_mbscpy_s", num(rc) + "|" + reinterpret_cast<char*>(copy));
    rc = QZ_FN(Library::get(), QZ_swprintf_s)(w, 64, L"%d-%ls", 42, L"x");
    r.out("QZ_swprintf_s", num(rc) + "|" + utf8(w), {"-1|"});
    rc = QZ_FN(Library::get(), QZ_swprintf_p)(w, 64, L"%2$ls %1$d", 7,
                                                                                          L"seven");
    r.out("QZ_swprintf_p", num(rc) + "|" + utf8(w), {"-1|"});
    wchar_t chain[16] = L"ab";
    unsigned count = 2;
    wchar_t* end = QZ_FN(Library::get(), QZ_fwcstrcat)(chain + 2, L"cd", &count);
    end = QZ_FN(Library::get(), QZ_sfwcstrcat)(end, L"ef", 5, &count);
    r.out("QZ_fwcstrcat", num(end - chain) + "|" + utf8(chain) + "|" + num(count));
    rc = QZ_FN(Library::get(), QZ_strcmp)(L"abc", L"ABD");
    r.out("QZ_strcmp", num((rc > 0) - (rc < 0)));
    r.out("QZ_strtol", num(QZ_FN(Library::get(), QZ_strtol)("0x1F")));
    rc = QZ_FN(Library::get(), QZ_wcsparser)(w, 63, L"{0} and {1}", 2,
                                                                                         L"this", L"that");
    r.out("QZ_wcsparser", num(rc) + "|" + utf8(w));
    char digest[40] = "abc";
    rc = QZ_FN(Library::get(), QZ_encrypt_md5)(digest);
    r.out("QZ_encrypt_md5", num(rc) + "|" + digest);
}

void files(Run& r) {
    {
        std::string data(300 * 1024, '\0');  // two reads of the 256 KiB buffer
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
        FILE* f = std::fopen("data.bin", "wb");
        std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
    }
    r.out("QZ_Crc_Calculate", num(QZ_FN(Library::get(), QZ_Crc_Calculate)("data.bin")), {"0"});
    r.out("QZ_Crc_Filesize", num(QZ_FN(Library::get(), QZ_Crc_Filesize)("data.bin")), {"0"});
    const HANDLE file = CreateFileA("data.bin", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    char date[16] = "untouched";
    const int ok = QZ_FN(Library::get(), QZ_GetLastWriteTimeHelper)(file, date, 16);
    CloseHandle(file);
    r.out("QZ_GetLastWriteTimeHelper", num(ok) + "|" + date, {"0|untouched"});
    r.host.clear_records();
    const char* text = QZ_FN(Library::get(), QZ_GetLastWriteTime)("data.bin");
    const auto& vars = r.host.diag_var_calls();
    r.out("QZ_GetLastWriteTime", text ? text : "null:" + (vars.empty() ? std::string() : vars.back().format),
          {"null:\nCreateFile failed with %f", "null:\nFile Date time failed with %f"});
    // A document that is not there: the shell's "file not found", or out of memory.
    r.out("QZ_Exec", num(QZ_FN(Library::get(), QZ_Exec)(nullptr, "missing.qzsweepdoc")),
          {"8"});
}

void keyboard(Run& r) {
    wchar_t buf[8];
    int rc = QZ_FN(Library::get(), KeyDown)(
        'A', 0x001E0001, buf, 8);
    r.out("KeyDown", num(rc) + "|" + utf8(buf), {"0|"});
    rc = QZ_FN(Library::get(), Key_ScancodeToName)(0x1E, buf, 8);
    r.out("Key_ScancodeToName", num(rc) + "|" + utf8(buf), {"0|*"});
}

void mouse(Run& r) {
    const auto read = [&](const char* label) {
        std::int32_t x = 99, y = 99;
        const std::int32_t rc = QZ_FN(Library::get(), QZ_GetMouse)(&x, &y);
        r.out(label, hex(static_cast<std::uint32_t>(rc)) + "|" + num(x) + "|" + num(y), {"0x80004005|99|99"});
    };
    // A window handle the stand-in only passes along.
    const std::int32_t rc = QZ_FN(Library::get(), QZ_ListenMouse)(reinterpret_cast<void*>(0x10010));
    r.out("QZ_ListenMouse", hex(static_cast<std::uint32_t>(rc)),
          {hex(static_cast<std::uint32_t>(E_OUTOFMEMORY)), hex(static_cast<std::uint32_t>(E_HANDLE))});
    read("QZ_GetMouse");
    QZ_FN(Library::get(), QZ_UnacquireMouse)();
    read("QZ_GetMouse after QZ_UnacquireMouse");
    QZ_FN(Library::get(), QZ_ReleaseMouse)();
}

void display(Run& r) {
    static FakeD3DDevice9 device;
    g_device = &device;
    r.host.set_device(&device);
    const auto outcome = [&] { return device.set_calls.empty() ? std::string("unset") : "set:" + ramp_sum(device.ramp); };
    QZ_FN(Library::get(), set_gamma)(2048, 1024, 512);
    r.out("set_gamma", outcome(), {"unset"});

    for (int i = 0; i < 256; ++i) device.ramp.red[i] = device.ramp.green[i] = device.ramp.blue[i] = static_cast<WORD>(i * 257);
    std::int32_t rgb[3][256];
    for (auto& channel : rgb) std::fill(std::begin(channel), std::end(channel), 0x5A5A5A5A);
    QZ_FN(Library::get(), get_gamma_ramp)(rgb[0], rgb[1], rgb[2]);
    const bool untouched = std::all_of(&rgb[0][0], &rgb[0][0] + 768, [](std::int32_t v) { return v == 0x5A5A5A5A; });
    r.out("get_gamma_ramp", untouched ? "untouched" : sum_of(&rgb[0][0], 768), {"untouched"});

    device.set_calls.clear();
    r.host.clear_records();
    for (int i = 0; i < 256; ++i) rgb[0][i] = rgb[1][i] = rgb[2][i] = (255 - i) << 18;
    QZ_FN(Library::get(), set_gamma_ramp)(
        rgb[0], rgb[1], rgb[2]);
    r.out("set_gamma_ramp", outcome() + "|" + r.host.diag_text(),
          {"unset|\nFAILED(hr=pd3ddev->TestCooperativeLevel())"});
}

void sysinfo(Run& r) {
    static FakeDxDiagProvider service;
    service.root = complete_root(1);
    g_service = &service;
    set_diagnostic_service(&service);
    QZ_FN(Library::get(), QZ_SysInfo_Hazirla)();
    const std::pair<const char*, decltype(&::QZ_SysInfo_GetVRam)> getters[] = {
        {"QZ_SysInfo_GetDeviceName", QZ_FN(Library::get(), QZ_SysInfo_GetDeviceName)},
        {"QZ_SysInfo_GetVRam", QZ_FN(Library::get(), QZ_SysInfo_GetVRam)},
        {"QZ_SysInfo_GetOSName", QZ_FN(Library::get(), QZ_SysInfo_GetOSName)}};
    for (const auto& [getter, get] : getters) r.out(getter, get(), {""});
    r.out("QZ_GetRamMB", num(QZ_FN(Library::get(), QZ_GetRamMB)()), {"0"});
}

void diag(Run& r) {
    char path[MAX_PATH];
    const std::string full(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    const std::string own = full.substr(full.find_last_of("\\/") + 1);
    const char* names[] = {own.c_str(), "qzutilities.dll"};
    r.out("QZ_IsProcess", num(QZ_FN(Library::get(), QZ_IsProcess)(&names[0], 1, 0)), {"0"});
    r.out("QZ_IsModule", num(QZ_FN(Library::get(), QZ_IsModule)(&names[1], 1, 0)), {"0"});

    // Every process as a "procName: " text and a name; a walk cut short lacks this one.
    r.host.clear_records();
    QZ_FN(Library::get(), QZ_DiagProcess)();
    const auto& calls = r.host.diag_calls();
    std::string listing = calls.size() % 2 ? "malformed" : "cut";
    for (std::size_t i = 0; i + 1 < calls.size() && listing != "malformed"; i += 2) {
        if (calls[i] != diag::text::kProcName) listing = "malformed";
        else if (calls[i + 1] == own) listing = "listed";
    }
    r.out("QZ_DiagProcess", listing, {"cut"});

    // The first process of that name (this one, or the sweep that started it)
    // in a frame of modules; a walk cut short lists fewer or none.
    r.host.clear_records();
    QZ_FN(Library::get(), QZ_DiagModule)(own.c_str());
    namespace t = diag::text;
    const std::string dump = r.host.diag_text(), frame = std::string(t::kSeparator) + t::kModulesBegin + t::kSeparator;
    std::string shape = "malformed";
    if (dump == std::string(t::kModuleBegun) + t::kNoSnapshot) shape = "no snapshot";
    else if (dump == std::string(t::kModuleBegun) + t::kModuleDone) shape = "not found";
    else if (dump.rfind(t::kModuleBegun + frame, 0) == 0 &&
             dump.size() > std::strlen(t::kModuleDone) &&
             dump.compare(dump.size() - std::strlen(t::kModuleDone), std::string::npos, t::kModuleDone) == 0)
        shape = dump.find(t::kModule) != std::string::npos ? "listed" : "empty";
    r.out("QZ_DiagModule", shape, {"empty", "not found", "no snapshot"});
    QZ_FN(Library::get(), QZ_OutsideOfWhiteListModules)();
}

// A thread's first line: the library meets the thread for the first time,
// and forgets it when it ends. The log scenario's repeatable step: a second
// new thread makes the same calls (its line, of another message, is no
// longer than the first line, whose formatting sized the sink's buffer).
void new_thread_line(Run& r) {
    const char* const message = r.repeating ? "from another thread again" : "from another thread";
    std::thread([&] { r.log(message, 0); }).join();
}

void log_armed(Run& r) {
    const auto init = QZ_FN(Library::get(), QZLog_Init);
    init();
    r.log("the first line", 0);
    r.log("a warning", 1);
    r.log("an error", 2);
    // Under a lasting shortage the runtime cannot take on a new thread at all
    // (the thread library's record of it and the record of its first
    // exception are allocated on first use, unchecked), so there the line
    // comes from a thread of the host's that has met the library before.
    if (r.lasting) r.known->run([&] { r.log("from another thread", 0); });
    else r.repeatable(new_thread_line);
    r.log("the fifth line", 7);
}

void log_after(Run& r) {
    r.log("after the fault", 0);
    r.log("the last line", 1);
}

void bind(Run& r) { r.out("A6_DLLAPI", std::to_string(r.host.bind())); }

// The library's own loading under the plan: the C++ runtime's start-up (its
// static objects, the thread library's, the exception machinery's) and the
// library's set-up at load meet the failure. The library must then either
// refuse to load or load and work (a conversion, and one it refuses, which
// throws inside it); either way it unloads again.
void load(Run& r) {
    const std::wstring path = Library::path();
    std::vector<Import> imports;  // read from the file mapped as an image, none of its code run
    if (const HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
        imports = imports_of(reinterpret_cast<HMODULE>(reinterpret_cast<std::uintptr_t>(image) & ~std::uintptr_t{3}));
        FreeLibrary(image);
    }
    r.out("hooked exports", hook_exports(imports) > 0 ? "some" : "none");
    const HMODULE library = LoadLibraryW(path.c_str());
    unhook_exports();
    r.out("LoadLibrary", library ? "loaded" : "refused", {"refused"});
    using Convert = int(__cdecl*)(const char*, wchar_t*, int);
    using Refuse = int(__cdecl*)(const wchar_t*, char*, int);
    const auto export_of = [&](const char* name) {
        return library ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
    };
    if (const auto convert = reinterpret_cast<Convert>(export_of("utf8_to_utf16"))) {
        wchar_t w[16] = L"";
        const int rc = convert("h\xC3\xA9llo", w, 16);
        r.out("utf8_to_utf16", num(rc) + "|" + utf8(w), {"-1|"});
    } else {
        r.out("utf8_to_utf16", "not loaded", {"not loaded"});
    }
    if (const auto refuse = reinterpret_cast<Refuse>(export_of("utf16_to_utf8"))) {
        const wchar_t lone_surrogate[] = {0xD800, 0};
        char out[8];
        r.out("utf16_to_utf8 of a lone surrogate", num(refuse(lone_surrogate, out, sizeof out)));
    } else {
        r.out("utf16_to_utf8 of a lone surrogate", "not loaded", {"not loaded"});
    }
    r.out("FreeLibrary", !library ? "not loaded" : FreeLibrary(library) ? "freed" : "kept", {"not loaded"});
}

}  // namespace

HostThread::HostThread()
    : go_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), done_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    thread_ = CreateThread(nullptr, 0, &HostThread::main, this, 0, nullptr);
    // Meeting the library: a conversion it refuses, which throws inside it.
    run([] {
        const wchar_t lone_surrogate[] = {0xD800, 0};
        char out[8];
        QZ_FN(Library::get(), utf16_to_utf8)(lone_surrogate, out, sizeof out);
    });
}

HostThread::~HostThread() {
    run(nullptr);  // an empty job ends the thread
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(go_);
    CloseHandle(done_);
}

void HostThread::run(std::function<void()> job) {
    job_ = std::move(job);
    SetEvent(go_);
    WaitForSingleObject(done_, INFINITE);
}

DWORD WINAPI HostThread::main(void* self) {
    auto& t = *static_cast<HostThread*>(self);
    for (;;) {
        WaitForSingleObject(t.go_, INFINITE);
        const bool stop = !t.job_;
        if (!stop) t.job_();
        SetEvent(t.done_);
        if (stop) return 0;
    }
}

void Run::out(std::string label, std::string value, std::vector<std::string> failures) {
    outcomes.push_back({std::move(label), std::move(value), std::move(failures)});
}

void Run::log(const std::string& message, std::int32_t level) {
    static const auto write = QZ_FN(Library::get(), QZLog_Log);
    LoggedLine line{message, level == 1 ? "warning" : level == 2 ? "error" : "info", offset + calls(), 0, armed};
    write(message.c_str(), level);
    line.last = offset + calls();
    lines.push_back(std::move(line));
}

void Run::repeatable(void (*step)(Run&)) {
    again_first = calls();
    step(*this);
    again_last = calls();
}

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> list = {
        // On request only (fault_sweep --only load): the runtime's start-up
        // does not yet live through a failure.
        {"load", load, nullptr, nullptr, true, true},
        {"host", bind, nullptr},   {"log", log_armed, log_after, new_thread_line}, {"text", text, nullptr},
        {"files", files, nullptr},      {"keyboard", keyboard, nullptr}, {"mouse", mouse, nullptr},
        {"display", display, nullptr},  {"sysinfo", sysinfo, nullptr},   {"diag", diag, nullptr},
    };
    return list;
}

const Scenario* find_scenario(const std::string& name) {
    for (const Scenario& s : scenarios())
        if (name == s.name) return &s;
    return nullptr;
}

int live_com_objects() {
    int n = fake_direct_input().live();
    if (g_device) n += g_device->refs - 1;
    if (g_service) n += g_service->refs - 1 + FakeDxDiagProvider::live_containers();
    return n;
}

}  // namespace qz::test::fault
