// The engine interface and the host function slots the binding fills.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qz::host {

// The engine interface holds its lookup function, pointer-sized, here.
constexpr std::size_t kLookupOffset = 0xA30;
constexpr std::int32_t kBindResult = 630;

using LookupFn = void* (__cdecl*)(const char* name);

// One slot per host function, in the order of their first look-ups.
enum class Fn : std::uint16_t {
#define QZ_HOST_FN(name) name,
#define QZ_HOST_FN_AGAIN(name)
#include "host/host_functions.inc"
#undef QZ_HOST_FN_AGAIN
#undef QZ_HOST_FN
    count_
};
constexpr std::size_t kSlotCount = static_cast<std::size_t>(Fn::count_);

// One lookup per row of the fixed table, in order; returns 630.
std::int32_t bind(const void* engine_interface);

// What the last binding stored for a host function (null before binding).
void* slot(Fn fn) noexcept;

// The lookup table: rows in order, each naming the slot it fills.
std::size_t lookup_rows() noexcept;
const char* lookup_name(std::size_t row) noexcept;

}  // namespace qz::host
