// Yes-or-no questions about what runs on the machine: is a process with one
// of these executable names running, is a module with one of these names
// loaded in any process. Each call walks fresh snapshots and keeps nothing.
#pragma once
#include <cstddef>
#include <cstdint>

#include "diag/toolhelp.h"

namespace qz::diag {

// The caller's name table: record i starts at `first` plus i * stride and
// begins with a zero-terminated narrow name. Only the bytes up to each
// terminator are read; nothing is ever written.
struct NameTable {
    const char* first;
    std::int32_t count;
    std::int32_t stride;
};

// Distance of record `index` from the first record, as an address offset:
// index times stride modulo the size of the address space, so that any index
// and stride (negative too) give the caller's layout. Unsigned arithmetic: a
// signed product of pointer width overflows on 32-bit targets (index 2 and
// stride 0x7FFFFFF0 already do).
constexpr std::uintptr_t record_offset(std::int32_t index, std::int32_t stride) noexcept {
    return static_cast<std::uintptr_t>(index) * static_cast<std::uintptr_t>(stride);
}

// The table as the caller hands it over: `ref` is the address of the pointer
// to the first record, read once here. A count of 0 or less leaves the
// pointer unread; a null reference or null pointer gives an empty table.
NameTable read_table(const char* const* ref, std::int32_t count, std::int32_t stride) noexcept;

// The table's records in order; true at the first whose name matches `field`
// with the ASCII letters folded (same_name, diag/names.h).
// A count of 0 or less, or a null first record, matches nothing.
bool table_matches(const NameTable& table, const char* field, std::size_t capacity) noexcept;

bool is_process(const NameTable& table, const ToolhelpApi& api);
bool is_module(const NameTable& table, const ToolhelpApi& api);

}  // namespace qz::diag
