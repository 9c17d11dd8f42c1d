#include "diag/toolhelp.h"

// The UNICODE build maps these names onto the wide entry points; the walks
// use the narrow ones, which the header declares under the plain names.
#undef Process32First
#undef Process32Next
#undef Module32First
#undef Module32Next

namespace qz::diag {
namespace {

HANDLE WINAPI create_snapshot(DWORD flags, DWORD process_id) {
    return ::CreateToolhelp32Snapshot(flags, process_id);
}
BOOL WINAPI process_first(HANDLE snapshot, ProcessRecord* record) { return ::Process32First(snapshot, record); }
BOOL WINAPI process_next(HANDLE snapshot, ProcessRecord* record) { return ::Process32Next(snapshot, record); }
BOOL WINAPI module_first(HANDLE snapshot, ModuleRecord* record) { return ::Module32First(snapshot, record); }
BOOL WINAPI module_next(HANDLE snapshot, ModuleRecord* record) { return ::Module32Next(snapshot, record); }
DWORD WINAPI last_error() { return ::GetLastError(); }

constexpr ToolhelpApi kSystem{create_snapshot, process_first, process_next, module_first,
                              module_next,     win::close_kernel_handle, last_error};

// Refusals with ERROR_BAD_LENGTH retried before giving up on a process.
constexpr int kBadLengthRetries = 4;

}  // namespace

const ToolhelpApi& system_toolhelp() noexcept { return kSystem; }

Snapshot take_module_snapshot(const ToolhelpApi& api, DWORD process_id) {
    HANDLE handle = api.create(TH32CS_SNAPMODULE, process_id);
    for (int retry = 0; handle == INVALID_HANDLE_VALUE && retry < kBadLengthRetries; ++retry) {
        if (api.last_error() != ERROR_BAD_LENGTH) break;
        handle = api.create(TH32CS_SNAPMODULE, process_id);
    }
    return Snapshot(handle, SnapshotTraits(api));
}

}  // namespace qz::diag
