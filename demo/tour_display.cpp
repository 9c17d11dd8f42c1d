#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "demo/demo.h"
#include "host/number.h"
#include "testhost/fake_d3d9.h"

namespace {

using qz::host::from_real;
using qz::host::to_int;
using qz::host::to_number;

// The demo host has no real device: a stand-in records the ramps it is given.
void print_ramp(const D3DGAMMARAMP& r) {
    const char* names[3] = {"red", "green", "blue"};
    const WORD* ch[3] = {r.red, r.green, r.blue};
    for (int c = 0; c < 3; ++c) {
        std::printf("  %-5s", names[c]);
        for (int i : {0, 1, 16, 64, 128, 192, 255}) std::printf(" [%d]=%u", i, ch[c][i]);
        std::printf("\n");
    }
}

void tour(qz::demo::Context& ctx) {
    qz::test::FakeD3DDevice9 device;
    ctx.host.set_device(static_cast<IDirect3DDevice9*>(&device));
    QZ_FN(ctx.lib, set_gamma)(to_number(1), to_number(2), from_real(0.5));
    std::printf("set_gamma(1.0, 2.0, 0.5) on a stand-in device sets:\n");
    print_ramp(device.ramp);

    std::vector<std::int32_t> r(256), g(256), b(256);
    QZ_FN(ctx.lib, get_gamma_ramp)(r.data(), g.data(), b.data());
    std::printf("get_gamma_ramp: red[255] = %d (%d.0 as a host number), green[64] = %d\n", r[255], to_int(r[255]),
                g[64]);
    device.ramp = {};
    QZ_FN(ctx.lib, set_gamma_ramp)(r.data(), g.data(), b.data());
    std::printf("set_gamma_ramp with those arrays reinstalls red[255] = %u\n", device.ramp.red[255]);

    ctx.host.set_device(nullptr);
    std::printf("set_gamma_ramp with no device writes to the host's log:\n");
    QZ_FN(ctx.lib, set_gamma_ramp)(r.data(), g.data(), b.data());
}

int command_gamma(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: qzhost gamma RED GREEN BLUE   (gammas such as 1.0 2.2 0.8)\n");
        return 2;
    }
    std::int32_t h[3];
    for (int i = 0; i < 3; ++i) h[i] = from_real(std::atof(argv[i]));
    qz::test::FakeD3DDevice9 device;
    ctx.host.set_device(static_cast<IDirect3DDevice9*>(&device));
    QZ_FN(ctx.lib, set_gamma)(h[0], h[1], h[2]);
    ctx.host.set_device(nullptr);
    print_ramp(device.ramp);
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(60, "Display: set_gamma, get_gamma_ramp, set_gamma_ramp (through the host's device)", tour);
QZ_DEMO_COMMAND("gamma", "R G B   the ramp set_gamma builds for three gammas (on a stand-in device)", command_gamma);
