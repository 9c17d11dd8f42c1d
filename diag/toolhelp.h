// Toolhelp snapshots of the machine's processes and of one process's modules,
// walked in the order the snapshot gives them. The records are the narrow
// variants; every snapshot lives in a Snapshot owner and is closed on every
// path, including an exception thrown by a visitor.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <cstddef>

#include "win/handle.h"

namespace qz::diag {

// The narrow records, named by their tags: with UNICODE defined the plain
// names PROCESSENTRY32 and MODULEENTRY32 would mean the wide variants.
using ProcessRecord = tagPROCESSENTRY32;
using ModuleRecord = tagMODULEENTRY32;

#if defined(__i386__)
static_assert(sizeof(ProcessRecord) == 296, "32-bit narrow process record is 296 bytes");
static_assert(sizeof(ModuleRecord) == 548, "32-bit narrow module record is 548 bytes");
#endif

constexpr std::size_t kExeFileCapacity = sizeof(ProcessRecord::szExeFile);
constexpr std::size_t kModuleNameCapacity = sizeof(ModuleRecord::szModule);
constexpr std::size_t kExePathCapacity = sizeof(ModuleRecord::szExePath);

// The platform calls a walk makes. system_toolhelp() holds the real ones,
// which the export shims pass in; tests put stand-ins here to steer failures
// and count opens and closes.
struct ToolhelpApi {
    HANDLE(WINAPI* create)(DWORD flags, DWORD process_id);
    BOOL(WINAPI* process_first)(HANDLE snapshot, ProcessRecord* record);
    BOOL(WINAPI* process_next)(HANDLE snapshot, ProcessRecord* record);
    BOOL(WINAPI* module_first)(HANDLE snapshot, ModuleRecord* record);
    BOOL(WINAPI* module_next)(HANDLE snapshot, ModuleRecord* record);
    BOOL(WINAPI* close)(HANDLE handle);
    DWORD(WINAPI* last_error)();
};

const ToolhelpApi& system_toolhelp() noexcept;

// How a snapshot closes: through the table it was taken with, so a stand-in
// sees every close.
struct SnapshotTraits : win::KernelHandleTraits {
    explicit SnapshotTraits(const ToolhelpApi& api) noexcept : api(&api) {}
    void close(HANDLE h) const noexcept { api->close(h); }
    const ToolhelpApi* api;
};

// Owns one snapshot handle; an invalid handle is held but never closed.
using Snapshot = win::UniqueHandle<SnapshotTraits>;

// How a walk ended.
enum class Walk {
    no_snapshot,  // the snapshot could not be taken
    empty,        // the snapshot gave no first record
    completed,    // every record was visited
    stopped,      // a visitor asked to stop
};

// Takes a module snapshot of one process. The platform refuses with
// ERROR_BAD_LENGTH while the process is loading or unloading modules; that
// refusal is retried a few times before the process counts as unlistable.
Snapshot take_module_snapshot(const ToolhelpApi& api, DWORD process_id);

// Visits every record of a snapshot, in its order, until visit(record)
// returns true.
template <class Record, class Visit>
Walk walk_records(const Snapshot& snap, BOOL(WINAPI* first)(HANDLE, Record*),
                  BOOL(WINAPI* next)(HANDLE, Record*), Visit&& visit) {
    if (!snap) return Walk::no_snapshot;
    Record record{};
    record.dwSize = sizeof record;
    if (!first(snap.get(), &record)) return Walk::empty;
    do {
        if (visit(static_cast<const Record&>(record))) return Walk::stopped;
        record.dwSize = sizeof record;
    } while (next(snap.get(), &record));
    return Walk::completed;
}

// Visits every process record of a fresh snapshot until visit(record) returns true.
template <class Visit>
Walk walk_processes(const ToolhelpApi& api, Visit&& visit) {
    Snapshot snap(api.create(TH32CS_SNAPPROCESS, 0), SnapshotTraits(api));
    return walk_records(snap, api.process_first, api.process_next, visit);
}

// Visits every module record of one process until visit(record) returns true.
template <class Visit>
Walk walk_modules(const ToolhelpApi& api, DWORD process_id, Visit&& visit) {
    Snapshot snap = take_module_snapshot(api, process_id);
    return walk_records(snap, api.module_first, api.module_next, visit);
}

}  // namespace qz::diag
