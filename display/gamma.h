// The gamma ramp of the host's Direct3D 9 device: a ramp built from one gamma
// per channel, and the device's ramp read into or set from the caller's three
// arrays of 256 host numbers. Nothing is kept between calls, and the device
// gets no reference from here.
#pragma once
#include <windows.h>
#include <d3d9.h>

#include "host/number.h"

namespace qz::display {

using host::Number;
constexpr int kRampSize = 256;

// How a call ended.
enum class Outcome {
    done,
    no_device,      // the host has no device
    not_ready,      // TestCooperativeLevel failed: lost, or waiting for a reset
    no_arrays,      // a caller array pointer was null: nothing read or set
};

// One channel of the ramp for gamma h / 1024: entry[i] = (i/256)^(1/G) * 65536,
// truncated, G never below 0.01.
void build_channel(Number gamma, WORD (&entries)[kRampSize]) noexcept;
void build_ramp(Number red, Number green, Number blue, D3DGAMMARAMP& ramp) noexcept;

// Ramp entries to whole host numbers, and back (the whole part, rounded
// down, its low 16 bits: a value outside 0..65535 wraps).
void ramp_to_numbers(const D3DGAMMARAMP& ramp, Number* red, Number* green, Number* blue) noexcept;
void numbers_to_ramp(const Number* red, const Number* green, const Number* blue, D3DGAMMARAMP& ramp) noexcept;

// The three operations on a device (null: no device).
Outcome set_gamma(IDirect3DDevice9* device, Number red, Number green, Number blue);
Outcome get_gamma_ramp(IDirect3DDevice9* device, Number* red, Number* green, Number* blue);
Outcome set_gamma_ramp(IDirect3DDevice9* device, const Number* red, const Number* green, const Number* blue);

// The line set_gamma_ramp writes to the host's log for an outcome, or null.
const char* set_ramp_message(Outcome outcome) noexcept;

}  // namespace qz::display
