// The gamma exports through the loaded library, against the test host's
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

using qz::test::EngineHost;
using qz::test::FakeD3DDevice9;
using qz::test::Library;

using SetGamma = void(__cdecl*)(std::int32_t, std::int32_t, std::int32_t);
using GetRamp = void(__cdecl*)(std::int32_t*, std::int32_t*, std::int32_t*);
using SetRamp = void(__cdecl*)(const std::int32_t*, const std::int32_t*, const std::int32_t*);

const char* const kNoDevice = "\nHATA: pd3ddev == NULL";
const char* const kNotReady = "\nFAILED(hr=pd3ddev->TestCooperativeLevel())";

class Gamma : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(host.bind(), 630);
        host.set_device(static_cast<IDirect3DDevice9*>(&device));
        host.clear_records();
    }

    // The ramp of the one SetGammaRamp call the test expects.
    const D3DGAMMARAMP& only_set() {
        EXPECT_EQ(device.set_calls().size(), 1u);
        static D3DGAMMARAMP none{};
        if (device.set_calls().empty()) return none;
        const auto& call = device.set_calls().back();
        EXPECT_EQ(call.swap_chain, 0u);
        EXPECT_EQ(call.flags, static_cast<DWORD>(D3DSGR_CALIBRATE));
        return call.ramp;
    }

    SetGamma set_gamma = Library::get().fn<SetGamma>("set_gamma");
    GetRamp get_ramp = Library::get().fn<GetRamp>("get_gamma_ramp");
    SetRamp set_ramp = Library::get().fn<SetRamp>("set_gamma_ramp");
    EngineHost host;
    FakeD3DDevice9 device;
};

std::int32_t number(int whole) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(whole) << 10); }

TEST_F(Gamma, UnitGammaIsALinearRampEndingBelowFullScale) {
    set_gamma(1024, 1024, 1024);
    const D3DGAMMARAMP& r = only_set();
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(r.red[i], 256 * i) << i;
        ASSERT_EQ(r.green[i], 256 * i) << i;
        ASSERT_EQ(r.blue[i], 256 * i) << i;
    }
    EXPECT_EQ(r.red[255], 65280);
    EXPECT_EQ(device.test_calls(), 1);
    EXPECT_EQ(host.draw_begin_calls(), 1);
    EXPECT_EQ(device.refs(), 1) << "the device's reference count must be left alone";
    EXPECT_EQ(device.other_calls(), 0);
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(Gamma, KnownGammasGiveKnownEntries) {
    set_gamma(512, 512, 512);  // gamma 0.5: entry i = i * i
    {
        const D3DGAMMARAMP& r = only_set();
        for (int i = 0; i < 256; ++i) ASSERT_EQ(r.red[i], i * i) << i;
        EXPECT_EQ(r.blue[255], 65025);
        EXPECT_EQ(r.green[16], 256);
    }
    set_gamma(2048, 2048, 2048);  // gamma 2.0: square root
    const D3DGAMMARAMP& r = device.set_calls().back().ramp;
    EXPECT_EQ(r.red[0], 0);
    EXPECT_EQ(r.red[64], 32768);
    EXPECT_EQ(r.red[128], 46340);
    EXPECT_EQ(r.red[255], 65407);
    for (int i = 1; i < 256; ++i) ASSERT_GT(r.green[i], r.green[i - 1]) << i;
}

TEST_F(Gamma, GammaAtOrBelowTheFloorUsesExponentHundred) {
    for (std::int32_t h : {10, 1, 0, -1, -1024, INT_MIN}) {
        set_gamma(h, h, h);
        const D3DGAMMARAMP& r = device.set_calls().back().ramp;
        EXPECT_EQ(r.red[255], 44309) << h;
        EXPECT_EQ(r.green[128], 0) << h;
        EXPECT_EQ(r.blue[0], 0) << h;
    }
    // Just above the floor the exponent is smaller, so the top entry is larger.
    set_gamma(11, 11, 11);
    EXPECT_GT(device.set_calls().back().ramp.red[255], 44309);
}

TEST_F(Gamma, VeryLargeGammaStaysBelowFullScaleWithoutWrapping) {
    set_gamma(INT_MAX, INT_MAX, INT_MAX);
    const D3DGAMMARAMP& r = only_set();
    EXPECT_EQ(r.red[0], 0);
    EXPECT_EQ(r.red[1], 65535);
    EXPECT_EQ(r.red[255], 65535);
}

TEST_F(Gamma, ChannelsAreIndependent) {
    set_gamma(1024, 2048, 512);
    const D3DGAMMARAMP& r = only_set();
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(r.red[i], 256 * i) << i;
        ASSERT_EQ(r.blue[i], i * i) << i;
    }
    EXPECT_EQ(r.green[64], 32768);
    EXPECT_EQ(r.green[128], 46340);
    EXPECT_EQ(r.green[255], 65407);
}

TEST_F(Gamma, GetFillsAllArraysWithWholeHostNumbers) {
    for (int i = 0; i < 256; ++i) {
        device.ramp.red[i] = static_cast<WORD>(i * 257);
        device.ramp.green[i] = static_cast<WORD>(65535 - i);
        device.ramp.blue[i] = static_cast<WORD>(i * 3 + 1);
    }
    std::vector<std::int32_t> red(256, -7), green(256, -7), blue(256, -7);
    get_ramp(red.data(), green.data(), blue.data());
    ASSERT_EQ(device.get_calls(), std::vector<UINT>{0});
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(red[i], number(i * 257)) << i;
        ASSERT_EQ(green[i], number(65535 - i)) << i;
        ASSERT_EQ(blue[i], number(i * 3 + 1)) << i;
    }
    EXPECT_TRUE(device.set_calls().empty());
    EXPECT_EQ(device.refs(), 1);
}

TEST_F(Gamma, GetThenSetReinstallsTheSameRamp) {
    for (int i = 0; i < 256; ++i) {
        device.ramp.red[i] = static_cast<WORD>(65535 - 200 * i);
        device.ramp.green[i] = static_cast<WORD>(i * i);
        device.ramp.blue[i] = static_cast<WORD>(i == 255 ? 65535 : i * 256);
    }
    const D3DGAMMARAMP original = device.ramp;
    std::vector<std::int32_t> red(256), green(256), blue(256);
    get_ramp(red.data(), green.data(), blue.data());
    std::memset(&device.ramp, 0, sizeof device.ramp);
    set_ramp(red.data(), green.data(), blue.data());
    const D3DGAMMARAMP& r = only_set();
    EXPECT_EQ(std::memcmp(&r, &original, sizeof original), 0);
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(Gamma, SetRampTakesTheWholePartModulo65536) {
    std::vector<std::int32_t> red(256, 0), green(256, 0), blue(256, 0);
    red[0] = number(65536);                 // 65536.0 wraps to 0
    red[1] = -1024;                         // -1.0
    red[2] = static_cast<std::int32_t>(100.9 * 1024 + 0.5);  // 100.9
    red[3] = -512;                          // -0.5 rounds down to -1
    red[4] = number(65535) + 1023;          // just under 65536.0
    green[7] = number(70000);               // 70000 - 65536
    blue[255] = number(12345) + 1;
    set_ramp(red.data(), green.data(), blue.data());
    const D3DGAMMARAMP& r = only_set();
    EXPECT_EQ(r.red[0], 0);
    EXPECT_EQ(r.red[1], 65535);
    EXPECT_EQ(r.red[2], 100);
    EXPECT_EQ(r.red[3], 65535);
    EXPECT_EQ(r.red[4], 65535);
    EXPECT_EQ(r.green[7], 70000 - 65536);
    EXPECT_EQ(r.blue[255], 12345);
    EXPECT_EQ(r.blue[254], 0);
}

TEST_F(Gamma, LostDeviceChangesNothingAndSetRampSaysSoEachCall) {
    for (HRESULT lost : {D3DERR_DEVICELOST, D3DERR_DEVICENOTRESET, E_FAIL}) {
        host.clear_records();
        device.cooperative_level = lost;
        std::vector<std::int32_t> red(256, 77), green(256, 78), blue(256, 79);
        set_ramp(red.data(), green.data(), blue.data());
        set_ramp(red.data(), green.data(), blue.data());
        set_gamma(1024, 1024, 1024);
        get_ramp(red.data(), green.data(), blue.data());
        EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{kNotReady, kNotReady})) << std::hex << lost;
        EXPECT_TRUE(device.set_calls().empty());
        EXPECT_TRUE(device.get_calls().empty());
        EXPECT_EQ(red, std::vector<std::int32_t>(256, 77));
        EXPECT_EQ(green, std::vector<std::int32_t>(256, 78));
        EXPECT_EQ(blue, std::vector<std::int32_t>(256, 79));
        EXPECT_EQ(host.draw_begin_calls(), 4);
    }
    EXPECT_EQ(device.refs(), 1);
}

TEST_F(Gamma, ASuccessCodeOtherThanOkStillCounts) {
    device.cooperative_level = S_PRESENT_OCCLUDED;  // positive: not a failure
    set_gamma(1024, 1024, 1024);
    EXPECT_EQ(device.set_calls().size(), 1u);
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(Gamma, NoDeviceOnlySetRampWritesTheLine) {
    host.set_device(nullptr);
    std::vector<std::int32_t> red(256, 5), green(256, 5), blue(256, 5);
    set_gamma(1024, 1024, 1024);
    get_ramp(red.data(), green.data(), blue.data());
    EXPECT_TRUE(host.diag_calls().empty());
    EXPECT_EQ(red, std::vector<std::int32_t>(256, 5));
    set_ramp(red.data(), green.data(), blue.data());
    EXPECT_EQ(host.diag_calls(), std::vector<std::string>{kNoDevice});
    EXPECT_EQ(host.draw_begin_calls(), 3);
    EXPECT_EQ(device.test_calls(), 0);
}

TEST_F(Gamma, TheDeviceIsAskedForOnEveryCall) {
    set_gamma(1024, 1024, 1024);
    FakeD3DDevice9 second;
    host.set_device(static_cast<IDirect3DDevice9*>(&second));
    set_gamma(512, 512, 512);
    EXPECT_EQ(device.set_calls().size(), 1u);
    ASSERT_EQ(second.set_calls().size(), 1u);
    EXPECT_EQ(second.set_calls()[0].ramp.red[255], 65025);
    EXPECT_EQ(host.draw_begin_calls(), 2);
    EXPECT_EQ(second.refs(), 1);
}

TEST_F(Gamma, NullCallerArraysAreRefusedWithoutTouchingTheDevice) {
    std::vector<std::int32_t> ok(256, 0);
    get_ramp(nullptr, ok.data(), ok.data());
    get_ramp(ok.data(), ok.data(), nullptr);
    set_ramp(ok.data(), nullptr, ok.data());
    set_ramp(nullptr, nullptr, nullptr);
    EXPECT_TRUE(device.get_calls().empty());
    EXPECT_TRUE(device.set_calls().empty());
    EXPECT_EQ(ok, std::vector<std::int32_t>(256, 0));
    EXPECT_TRUE(host.diag_calls().empty());
}

}  // namespace
