#include "diag/dumps.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "diag/names.h"
#include "host/host.h"

namespace qz::diag {
namespace {

// A record field as a text of at most its capacity, terminated.
template <std::size_t N>
void diag_field(const char (&field)[N]) {
    char copy[N + 1];
    std::size_t i = 0;
    for (; i < N && field[i] != '\0'; ++i) copy[i] = field[i];
    copy[i] = '\0';
    host::diag(copy);
}

}  // namespace

void dump_processes(const ToolhelpApi& api) {
    walk_processes(api, [](const ProcessRecord& process) {
        host::diag(text::kProcName);
        diag_field(process.szExeFile);
        return false;
    });
}

void dump_modules(const char* process_name, const ToolhelpApi& api) {
    host::diag(text::kModuleBegun);
    const Walk walk = walk_processes(api, [&](const ProcessRecord& process) {
        if (process_name == nullptr || !same_name(process.szExeFile, kExeFileCapacity, process_name, Letters::exact)) return false;
        // Only the first process of that name is dumped.
        dump_module_list(process.th32ProcessID, api);
        return true;
    });
    if (walk == Walk::no_snapshot) {
        host::diag(text::kNoSnapshot);
        return;
    }
    host::diag(text::kModuleDone);
}

void dump_module_list(DWORD process_id, const ToolhelpApi& api) {
    host::diag(text::kSeparator);
    host::diag(text::kModulesBegin);
    host::diag(text::kSeparator);
    // A process that refuses its module snapshot, or has ended since the
    // process snapshot, gets an empty frame.
    walk_modules(api, process_id, [](const ModuleRecord& module) {
        dump_module_entry(module);
        return false;
    });
    host::diag(text::kSeparator);
    host::diag(text::kModulesEnd);
    host::diag(text::kSeparator);
}

void dump_module_entry(ModuleRecord record) {
    host::diag(text::kModule);
    diag_field(record.szModule);
    host::diag(text::kPath);
    diag_field(record.szExePath);

    char size_text[kSizeTextCapacity];
    // The image size as a signed 32-bit number, as the log has always shown it.
    std::snprintf(size_text, sizeof size_text, text::kSizeFormat,
                  static_cast<long>(static_cast<std::int32_t>(record.modBaseSize)));
    host::diag(size_text);

    char caller_path[kCallerPathCapacity];
    caller_module_path(record.hModule, caller_path);
    host::diag(text::kCallerPath);
    host::diag(caller_path);
}

void caller_module_path(HMODULE module, char (&out)[kCallerPathCapacity]) {
    out[0] = '\0';
    wchar_t wide[kCallerPathCapacity] = {};
    // A null handle would name the caller's own executable: no module has it.
    if (module == nullptr) return;
    // The handle is looked up among the calling process's modules; the buffer
    // stays empty when the caller has none there. A path as long as the
    // buffer or longer comes back cut (terminated or not): it gives an empty
    // text rather than a cut one.
    const DWORD length = GetModuleFileNameW(module, wide, kCallerPathCapacity);
    if (length == 0 || length >= kCallerPathCapacity) return;
    wide[length] = L'\0';
    // The conversion's own result decides, not a measure beforehand: some
    // runtimes measure without looking at the characters. It writes whole
    // characters only, so in a buffer of the capacity it would stop short,
    // terminator-less, before a character of two bytes that does not fit;
    // with room for one more character, a narrow form that would not fit
    // with its terminator comes back at least as long as the capacity, and
    // is dropped like one that cannot be converted.
    char narrow[kCallerPathCapacity + MB_LEN_MAX];
    const std::size_t written = std::wcstombs(narrow, wide, sizeof narrow);
    if (written == static_cast<std::size_t>(-1) || written >= kCallerPathCapacity) return;
    std::memcpy(out, narrow, written);
    out[written] = '\0';
}

}  // namespace qz::diag
