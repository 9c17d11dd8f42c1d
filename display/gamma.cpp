#include "display/gamma.h"

#include <cmath>
#include <cstdint>

namespace qz::display {

namespace {

constexpr DWORD kSwapChain = 0;

bool ready(IDirect3DDevice9* device) { return device->TestCooperativeLevel() >= 0; }

}  // namespace

void build_channel(Number gamma, WORD (&entries)[kRampSize]) noexcept {
    float g = host::to_float(gamma);
    if (!(g > 0.01f)) g = 0.01f;
    const double exponent = 1.0 / static_cast<double>(g);
    for (int i = 0; i < kRampSize; ++i) {
        const double x = i * 0.00390625;
        // x < 1 and the exponent is positive, so the product lies in [0, 65536).
        const double level = std::pow(x, exponent) * 65536.0;
        entries[i] = static_cast<WORD>(static_cast<std::uint32_t>(level) & 0xFFFFu);
    }
}

void build_ramp(Number red, Number green, Number blue, D3DGAMMARAMP& ramp) noexcept {
    build_channel(red, ramp.red);
    build_channel(green, ramp.green);
    build_channel(blue, ramp.blue);
}

void ramp_to_numbers(const D3DGAMMARAMP& ramp, Number* red, Number* green, Number* blue) noexcept {
    for (int i = 0; i < kRampSize; ++i) {
        red[i] = host::to_number(ramp.red[i]);
        green[i] = host::to_number(ramp.green[i]);
        blue[i] = host::to_number(ramp.blue[i]);
    }
}

void numbers_to_ramp(const Number* red, const Number* green, const Number* blue, D3DGAMMARAMP& ramp) noexcept {
    for (int i = 0; i < kRampSize; ++i) {
        ramp.red[i] = static_cast<WORD>(host::to_int(red[i]));
        ramp.green[i] = static_cast<WORD>(host::to_int(green[i]));
        ramp.blue[i] = static_cast<WORD>(host::to_int(blue[i]));
    }
}

Outcome set_gamma(IDirect3DDevice9* device, Number red, Number green, Number blue) {
    if (!device) return Outcome::no_device;
    if (!ready(device)) return Outcome::not_ready;
    D3DGAMMARAMP ramp;
    build_ramp(red, green, blue, ramp);
    device->SetGammaRamp(kSwapChain, D3DSGR_CALIBRATE, &ramp);
    return Outcome::done;
}

Outcome get_gamma_ramp(IDirect3DDevice9* device, Number* red, Number* green, Number* blue) {
    if (!device) return Outcome::no_device;
    if (!ready(device)) return Outcome::not_ready;
    if (!red || !green || !blue) return Outcome::no_arrays;
    D3DGAMMARAMP ramp{};
    device->GetGammaRamp(kSwapChain, &ramp);
    ramp_to_numbers(ramp, red, green, blue);
    return Outcome::done;
}

Outcome set_gamma_ramp(IDirect3DDevice9* device, const Number* red, const Number* green, const Number* blue) {
    if (!device) return Outcome::no_device;
    if (!ready(device)) return Outcome::not_ready;
    if (!red || !green || !blue) return Outcome::no_arrays;
    D3DGAMMARAMP ramp;
    numbers_to_ramp(red, green, blue, ramp);
    device->SetGammaRamp(kSwapChain, D3DSGR_CALIBRATE, &ramp);
    return Outcome::done;
}

const char* set_ramp_message(Outcome outcome) noexcept {
    switch (outcome) {
    case Outcome::no_device: return "\nHATA: pd3ddev == NULL";
    case Outcome::not_ready: return "\nFAILED(hr=pd3ddev->TestCooperativeLevel())";
    default: return nullptr;
    }
}

}  // namespace qz::display
