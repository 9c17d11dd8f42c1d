#include "diag/queries.h"

#include "diag/names.h"

namespace qz::diag {
namespace {

const char* record_at(const char* first, std::int32_t index, std::int32_t stride) noexcept {
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(first) + record_offset(index, stride));
}

// The table is usable for matching: a positive count and a readable start.
bool has_names(const NameTable& table) noexcept {
    return table.count > 0 && table.first != nullptr;
}

}  // namespace

NameTable read_table(const char* const* ref, std::int32_t count, std::int32_t stride) noexcept {
    if (count <= 0 || ref == nullptr) return {nullptr, 0, stride};
    return {*ref, count, stride};
}

bool table_matches(const NameTable& table, const char* field, std::size_t capacity) noexcept {
    if (!has_names(table)) return false;
    for (std::int32_t i = 0; i < table.count; ++i) {
        if (same_name(field, capacity, record_at(table.first, i, table.stride), Letters::folded)) return true;
    }
    return false;
}

bool is_process(const NameTable& table, const ToolhelpApi& api) {
    // Nothing can match an empty table: the walk would only cost time.
    if (!has_names(table)) return false;
    return walk_processes(api, [&](const ProcessRecord& process) {
               return table_matches(table, process.szExeFile, kExeFileCapacity);
           }) == Walk::stopped;
}

bool is_module(const NameTable& table, const ToolhelpApi& api) {
    if (!has_names(table)) return false;
    return walk_processes(api, [&](const ProcessRecord& process) {
               // A process whose modules cannot be listed (refused, or ended
               // since the process snapshot) has no matching module.
               return walk_modules(api, process.th32ProcessID, [&](const ModuleRecord& module) {
                          return table_matches(table, module.szModule, kModuleNameCapacity);
                      }) == Walk::stopped;
           }) == Walk::stopped;
}

}  // namespace qz::diag
