// The host's numbers: 32-bit signed fixed point with 10 fraction bits (the
// value times 1024), as the engine passes and takes them. The one definition
// for the library, the stand-in engine and the demo host, with the only
// conversions any of them writes.
#pragma once
#include <cstdint>

namespace qz::host {

using Number = std::int32_t;

// A whole number as a host number; the shift wraps modulo 2^32 as the
// engine's own does (a whole number outside +-2^21 does not fit).
constexpr Number to_number(std::int32_t whole) noexcept {
    return static_cast<Number>(static_cast<std::uint32_t>(whole) << 10);
}
// The whole part, rounded toward minus infinity (-1.5 gives -2): >> of a
// negative int is an arithmetic shift with GCC and clang.
constexpr std::int32_t to_int(Number n) noexcept { return n >> 10; }
// The exact value.
constexpr double to_double(Number n) noexcept { return n / 1024.0; }
// The value in single precision: the number rounded to float, then scaled
// (exactly) by 2^-10.
constexpr float to_float(Number n) noexcept { return static_cast<float>(n) * 0.0009765625f; }
// A value inside the host numbers' range as the host number nearest to it
// toward zero (1/1024 below zero in magnitude gives 0).
constexpr Number from_real(double value) noexcept { return static_cast<Number>(value * 1024.0); }

}  // namespace qz::host
