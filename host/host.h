// Calls from the library back into the host engine, through the slots that
// the binding (A6_DLLAPI) fills. The engine calls A6_DLLAPI before any export
// that reaches these; before that every slot is null and the calls below do
// nothing (draw_begin answers "no device") instead of jumping through null.
#pragma once
#include <cstdint>

struct IDirect3DDevice9;

namespace qz::host {

// The host's numeric type: 32-bit signed fixed point with 10 fraction bits.
using Number = std::int32_t;

constexpr Number to_number(std::int32_t whole) noexcept {
    return static_cast<Number>(static_cast<std::uint32_t>(whole) << 10);
}
constexpr double to_double(Number n) noexcept { return n / 1024.0; }
constexpr std::int32_t to_int(Number n) noexcept { return n >> 10; }

// Appends text to the host's diagnostic log.
void diag(const char* text);
// Appends a format holding one "%f" with the number written in its place.
void diag_var(const char* format, Number value);
// The host's current Direct3D 9 device, or null when it has none.
IDirect3DDevice9* draw_begin();

}  // namespace qz::host
