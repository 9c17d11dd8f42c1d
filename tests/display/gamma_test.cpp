// The gamma exports through the loaded library against the test host's
// stand-in device: what reaches SetGammaRamp, what the caller's arrays get,
// and what the host's log receives when there is no usable device.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "testhost/engine_host.h"
#include "testhost/fake_d3d9.h"

namespace {

using qz::test::Library;
using Numbers = std::vector<std::int32_t>;

const char* const kNotReady = "\nFAILED(hr=pd3ddev->TestCooperativeLevel())";
const char* const kNoDevice = "\nHATA: pd3ddev == NULL";

class Gamma : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(host.bind(), 630);
        host.set_device(static_cast<IDirect3DDevice9*>(&device));
        host.clear_records();
    }
    void TearDown() override { EXPECT_EQ(device.refs, 1) << "no reference is added or released"; }

    // The ramp of the last SetGammaRamp call, which must go to swap chain 0 calibrated.
    const D3DGAMMARAMP& last_set() {
        if (device.set_calls.empty()) device.set_calls.push_back({~0u, 0, {}});  // fails the checks below
        const auto& call = device.set_calls.back();
        EXPECT_EQ(call.swap_chain, 0u);
        EXPECT_EQ(call.flags, static_cast<DWORD>(D3DSGR_CALIBRATE));
        return call.ramp;
    }

    decltype(&::set_gamma) set_gamma = QZ_FN(Library::get(), set_gamma);
    decltype(&::get_gamma_ramp) get_ramp = QZ_FN(Library::get(), get_gamma_ramp);
    decltype(&::set_gamma_ramp) set_ramp = QZ_FN(Library::get(), set_gamma_ramp);
    qz::test::EngineHost host;
    qz::test::FakeD3DDevice9 device;
};

// Gamma 1.0, 2.0 and 0.5 on the three channels at once: each channel gets its own curve.
TEST_F(Gamma, KnownGammasGiveKnownRampsPerChannel) {
    set_gamma(1024, 2048, 512);
    const D3DGAMMARAMP& r = last_set();
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(r.red[i], 256 * i) << i;
        ASSERT_EQ(r.blue[i], i * i) << i;  // 16 gives 256, 255 gives 65025
    }
    EXPECT_EQ((std::vector<WORD>{r.green[64], r.green[128], r.green[255]}), (std::vector<WORD>{32768, 46340, 65407}));
    EXPECT_EQ(device.set_calls.size(), 1u);
    EXPECT_EQ(device.test_calls, 1);
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(Gamma, ExtremeGammas) {
    // At or below 10 (0.0098) the exponent is held at 100.
    for (std::int32_t h : {10, 1, 0, -1, -1024, INT_MIN}) {
        set_gamma(h, h, h);
        EXPECT_TRUE(last_set().red[255] == 44309 && last_set().green[128] == 0) << h;
    }
    set_gamma(11, 11, 11);
    EXPECT_GT(last_set().red[255], 44309) << "just above the floor";
    // A huge gamma comes close to 65536 but never wraps to 0.
    set_gamma(INT_MAX, INT_MAX, INT_MAX);
    EXPECT_TRUE(last_set().red[0] == 0 && last_set().red[1] == 65535 && last_set().red[255] == 65535);
}

TEST_F(Gamma, GetGivesWholeHostNumbersAndSetReinstallsThem) {
    for (int i = 0; i < 256; ++i) {
        device.ramp.red[i] = static_cast<WORD>(65535 - 200 * i);
        device.ramp.green[i] = static_cast<WORD>(i * i);
        device.ramp.blue[i] = static_cast<WORD>(i * 3 + 1);
    }
    const D3DGAMMARAMP original = device.ramp;
    Numbers red(256, -7), green(256, -7), blue(256, -7);
    get_ramp(red.data(), green.data(), blue.data());
    EXPECT_EQ(device.get_calls, std::vector<UINT>{0});
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(red[i], original.red[i] * 1024) << i;
        ASSERT_EQ(green[i], original.green[i] * 1024) << i;
        ASSERT_EQ(blue[i], original.blue[i] * 1024) << i;
    }
    device.ramp = {};
    set_ramp(red.data(), green.data(), blue.data());
    EXPECT_EQ(std::memcmp(&last_set(), &original, sizeof original), 0);
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(Gamma, SetRampTakesTheWholePartModulo65536) {
    struct Case { std::int32_t host; WORD entry; };
    const Case cases[] = {{65536 * 1024, 0},    {-1024, 65535},      {103322 /* 100.9 */, 100},
                          {-512, 65535},        {65535 * 1024 + 1023, 65535}, {70000 * 1024, 70000 - 65536}};
    Numbers red(256, 0), other(256, 0);
    for (int i = 0; i < 6; ++i) red[i] = cases[i].host;
    set_ramp(red.data(), other.data(), other.data());
    const D3DGAMMARAMP& r = last_set();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.red[i], cases[i].entry) << cases[i].host;
    EXPECT_TRUE(r.red[6] == 0 && r.green[0] == 0 && r.blue[0] == 0);
}

TEST_F(Gamma, LostDeviceChangesNothingAndSetRampSaysSoEachCall) {
    for (HRESULT lost : {D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET}) {
        host.clear_records();
        device.cooperative_level = lost;
        Numbers red(256, 77), green(256, 77), blue(256, 77);
        set_ramp(red.data(), green.data(), blue.data());
        set_ramp(red.data(), green.data(), blue.data());
        set_gamma(1024, 1024, 1024);
        get_ramp(red.data(), green.data(), blue.data());
        EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{kNotReady, kNotReady}));
        EXPECT_TRUE(device.set_calls.empty() && device.get_calls.empty());
        EXPECT_TRUE(red == Numbers(256, 77) && green == red && blue == red);
        EXPECT_EQ(host.draw_begin_calls(), 4) << "the device is asked for on every call";
    }
    device.cooperative_level = S_PRESENT_OCCLUDED;  // a success code, not S_OK: still usable
    set_gamma(1024, 1024, 1024);
    EXPECT_EQ(device.set_calls.size(), 1u);
}

TEST_F(Gamma, NoDeviceOnlySetRampWritesTheLine) {
    host.set_device(nullptr);
    Numbers red(256, 5), green(256, 5), blue(256, 5);
    set_gamma(1024, 1024, 1024);
    get_ramp(red.data(), green.data(), blue.data());
    EXPECT_TRUE(host.diag_calls().empty());
    EXPECT_EQ(red, Numbers(256, 5));
    set_ramp(red.data(), green.data(), blue.data());
    EXPECT_EQ(host.diag_calls(), std::vector<std::string>{kNoDevice});
    EXPECT_EQ(device.test_calls, 0);
}

TEST_F(Gamma, NullCallerArraysAreRefused) {
    Numbers ok(256, 0);
    get_ramp(nullptr, ok.data(), ok.data());
    set_ramp(ok.data(), nullptr, ok.data());
    EXPECT_TRUE(device.get_calls.empty() && device.set_calls.empty());
    EXPECT_EQ(ok, Numbers(256, 0));
    EXPECT_TRUE(host.diag_calls().empty());
}

}  // namespace
