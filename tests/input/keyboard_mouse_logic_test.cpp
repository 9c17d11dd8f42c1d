// The translation and mouse logic, compiled in, against recording fakes of
// user32 and the stand-in DirectInput.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "input/keyboard.h"
#include "input/mouse.h"
#include "testhost/fake_dinput.h"
#include "testhost/fault/gate.h"

namespace {

using qz::input::key_down;
using qz::input::key_name;
using Log = std::vector<std::string>;
Log g_log;  // every fake call, in order

struct KeyboardFake {
    bool state_ok = true;
    UINT vk = 0, scan = 0, flags = 99;
    int capacity = 0, result = 0;
    bool saw_clear_buffer = false, saw_filled_state = false;
    std::wstring produce;  // written by to_unicode, cut to its capacity
    LONG name_param = 0;
} g_kb;

BOOL WINAPI fake_get_state(PBYTE state) {
    g_log.push_back("state");
    for (int i = 0; i < 256; ++i) state[i] = static_cast<BYTE>(i ^ 0x5A);
    return g_kb.state_ok;
}

int WINAPI fake_to_unicode(UINT vk, UINT scan, const BYTE* state, LPWSTR buf, int cap, UINT flags) {
    g_log.push_back("unicode");
    g_kb.vk = vk, g_kb.scan = scan, g_kb.flags = flags, g_kb.capacity = cap;
    g_kb.saw_clear_buffer = g_kb.saw_filled_state = true;
    for (int i = 0; i < cap; ++i) g_kb.saw_clear_buffer &= buf[i] == 0;
    for (int i = 0; i < 256; ++i) g_kb.saw_filled_state &= state[i] == static_cast<BYTE>(i ^ 0x5A);
    for (size_t i = 0; i < g_kb.produce.size() && static_cast<int>(i) < cap; ++i) buf[i] = g_kb.produce[i];
    return g_kb.result;
}

int WINAPI fake_key_name(LONG param, LPWSTR, int) {
    g_log.push_back("name");
    g_kb.name_param = param;
    return g_kb.result;
}

class KeyboardLogic : public ::testing::Test {
protected:
    void SetUp() override { g_kb = KeyboardFake{}, g_log.clear(); }
    const qz::input::KeyboardApi api{&fake_get_state, &fake_to_unicode, &fake_key_name};
};

TEST_F(KeyboardLogic, PassesTheScanCodeFlagsZeroAndTheStateJustRead) {
    wchar_t buf[6] = {L'#', L'#', L'#', L'#', L'#', L'#'};
    // Key-up, previous-state, context and extended bits never reach the scan code.
    key_down(api, 'A', static_cast<std::int32_t>(0xFFFE0001u), buf, 6);
    EXPECT_EQ(g_log, (Log{"state", "unicode"}));
    EXPECT_EQ(g_kb.vk, static_cast<UINT>('A'));
    EXPECT_EQ(g_kb.scan, 0xFEu);
    EXPECT_EQ(g_kb.flags, 0u);
    EXPECT_EQ(g_kb.capacity, 6);
    EXPECT_TRUE(g_kb.saw_clear_buffer) << "the buffer is cleared before the translation";
    EXPECT_TRUE(g_kb.saw_filled_state) << "the translation gets the state just read";
}

TEST_F(KeyboardLogic, ResultPassesThroughAndTheLastUnitIsZero) {
    // What ToUnicode writes and returns, what is left in a buffer of capacity 4. A translation
    // filling the buffer is cut to capacity - 1 but counted in full; -1 is a dead key.
    const struct { const wchar_t* produce; int result; const wchar_t* text; } rows[] = {
        {L"abcd", 4, L"abc"}, {L"^", -1, L"^"}, {L"", 0, L""}};
    for (const auto& r : rows) {
        g_kb.produce = r.produce, g_kb.result = r.result;
        wchar_t buf[5] = {L'#', L'#', L'#', L'#', L'#'};
        EXPECT_EQ(key_down(api, 'X', 0, buf, 4), r.result) << r.produce;
        EXPECT_EQ(std::wstring(buf), r.text);
        EXPECT_EQ(buf[4], L'#') << "wrote past the capacity";
    }
    // An unreadable key state: nothing translated, a clear buffer.
    g_kb.state_ok = false, g_kb.result = 1;
    wchar_t buf[3] = {L'#', L'#', L'#'};
    EXPECT_EQ(key_down(api, 'A', 0x001E0001, buf, 3), 0);
    EXPECT_EQ(g_log.back(), "state");
    for (wchar_t c : buf) EXPECT_EQ(c, 0);
}

TEST_F(KeyboardLogic, KeyNameShiftsTheCodeIntoTheKeyMessageFields) {
    wchar_t buf[16];
    g_kb.result = 5;
    const std::pair<std::uint32_t, std::uint32_t> rows[] = {
        {0x1C, 0x001C0000}, {0x11C, 0x011C0000} /* extended: bit 24 */, {0xFFFF811Cu, 0x811C0000u}};
    for (auto [code, param] : rows) {
        EXPECT_EQ(key_name(api, static_cast<std::int32_t>(code), buf, 16), 5);
        EXPECT_EQ(static_cast<std::uint32_t>(g_kb.name_param), param) << std::hex << code;
    }
}

TEST_F(KeyboardLogic, KeyDownWithoutRoomCallsNothing) {
    wchar_t buf[1] = {L'#'};
    EXPECT_EQ(key_down(api, 'A', 0x001E0001, nullptr, 8), 0);
    EXPECT_EQ(key_down(api, 'A', 0x001E0001, buf, 0), 0);
    EXPECT_EQ(buf[0], L'#');
    EXPECT_TRUE(g_log.empty());
}

// Our choice: the key name adds a check of its own where the platform's
// answer would otherwise be passed through. A null buffer or a capacity
// below 1 gives 0 without asking the platform.
TEST_F(KeyboardLogic, KeyNameRefusesANullBufferOrNoRoomItselfWithoutAskingThePlatform) {
    wchar_t buf[1] = {L'#'};
    g_kb.result = 5;  // what the platform would answer
    EXPECT_EQ(key_name(api, 0x1C, nullptr, 16), 0);
    EXPECT_EQ(key_name(api, 0x1C, buf, 0), 0);
    EXPECT_EQ(key_name(api, 0x1C, buf, -1), 0);
    EXPECT_EQ(buf[0], L'#');
    EXPECT_TRUE(g_log.empty());
}

// The result each step gives (S_OK by default), handed to the stand-in
// DirectInput (testhost/fake_dinput.h) through its gate.
struct Script {
    HRESULT create = S_OK, create_device = S_OK, set_format = S_OK, set_coop = S_OK;
    std::vector<HRESULT> acquire, state;  // results in order; S_OK once used up
} g_script;

HRESULT next(std::vector<HRESULT>& v) {
    const HRESULT hr = v.empty() ? S_OK : v.front();
    if (!v.empty()) v.erase(v.begin());
    return hr;
}

HRESULT scripted(const char* method, HRESULT) {
    const std::string m = method;
    if (m == "IDirectInput8::CreateDevice") return g_script.create_device;
    if (m == "IDirectInputDevice8::SetDataFormat") return g_script.set_format;
    if (m == "IDirectInputDevice8::SetCooperativeLevel") return g_script.set_coop;
    if (m == "IDirectInputDevice8::Acquire") return next(g_script.acquire);
    if (m == "IDirectInputDevice8::GetDeviceState") return next(g_script.state);
    ADD_FAILURE() << "unexpected call of " << m;
    return S_OK;
}

qz::test::FakeDirectInputs& fakes = qz::test::fake_direct_input();

HRESULT fake_create(IDirectInput8A** out) {
    g_log.push_back("create input");
    if (FAILED(g_script.create)) return g_script.create;
    *out = qz::test::new_fake_direct_input();
    return S_OK;
}

const qz::input::DirectInputApi kFakeInput{&fake_create};

class MouseLogic : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear(), g_script = Script{};
        fakes = {};
        fakes.calls = &g_log;
        qz::test::g_com_gate = &scripted;
    }
    void TearDown() override {
        mouse.release();  // before the fakes it may hold go away
        fakes = {};
        qz::test::g_com_gate = nullptr;
    }
    static Log take_log() { return std::exchange(g_log, {}); }

    qz::input::Mouse mouse{kFakeInput};
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
};

TEST_F(MouseLogic, ListenConfiguresTheSystemMouseAndDropsTheInputObject) {
    g_script.acquire = {DIERR_OTHERAPPHASPRIO};  // not acquirable now: left to the next read
    EXPECT_EQ(mouse.listen(window), S_OK);
    EXPECT_EQ(take_log(), (Log{"create input", "create device", "release input", "format#1", "coop#1", "acquire#1"}));
    ASSERT_EQ(fakes.devices.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(fakes.inputs[0]->asked, GUID_SysMouse));
    EXPECT_EQ(fakes.inputs[0]->refs, 0u);
    EXPECT_EQ(fakes.devices[0]->format, &c_dfDIMouse2);
    EXPECT_EQ(fakes.devices[0]->window, window);
    EXPECT_EQ(fakes.devices[0]->level, 5u);
    EXPECT_EQ(fakes.devices[0]->refs, 1u);
    EXPECT_TRUE(mouse.has_device());
}

TEST_F(MouseLogic, FailedListenReturnsTheStepsResultAndKeepsAPartlyConfiguredDevice) {
    const struct { HRESULT Script::*step; HRESULT hr; Log log; bool kept; } rows[] = {
        {&Script::create, DIERR_OLDDIRECTINPUTVERSION, {"create input"}, false},
        {&Script::create_device, DIERR_DEVICENOTREG, {"create input", "create device", "release input"}, false},
        {&Script::set_format, DIERR_ACQUIRED, {"create input", "create device", "release input", "format#1"}, true},
        {&Script::set_coop, E_HANDLE,
         {"create input", "create device", "release input", "format#1", "coop#1"}, true},
    };
    for (const auto& r : rows) {
        g_script = Script{};
        g_script.*r.step = r.hr;
        qz::input::Mouse fresh{kFakeInput};
        EXPECT_EQ(fresh.listen(window), r.hr);
        EXPECT_EQ(take_log(), r.log);
        for (auto& in : fakes.inputs) EXPECT_EQ(in->refs, 0u) << "the input object is never kept";
        EXPECT_EQ(fresh.has_device(), r.kept);
        fresh.release();
        if (r.kept) {
            EXPECT_EQ(take_log(), (Log{"unacquire#1", "release#1"}));
        }
        for (auto& d : fakes.devices) EXPECT_EQ(d->refs, 0u);
        fakes.devices.clear();
    }
}

TEST_F(MouseLogic, ListenAgainReleasesTheEarlierDeviceFirst) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    ASSERT_EQ(mouse.listen(window), S_OK);
    EXPECT_EQ(take_log(), (Log{"unacquire#1", "release#1", "create input", "create device", "release input",
                               "format#2", "coop#2", "acquire#2"}));
    EXPECT_EQ(fakes.devices[0]->refs, 0u);
    EXPECT_EQ(fakes.devices[1]->refs, 1u);
    // A failing third listen leaves no device at all, not the second one.
    g_script.create = E_OUTOFMEMORY;
    EXPECT_EQ(mouse.listen(window), E_OUTOFMEMORY);
    EXPECT_EQ(fakes.devices[1]->refs, 0u);
    EXPECT_FALSE(mouse.has_device());
}

TEST_F(MouseLogic, ReadReacquiresOnceAndRetriesOnceAndWritesOnlyOnSuccess) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    fakes.motion_x = -17, fakes.motion_y = 42;
    // state results, acquire results, result, calls made
    const struct { std::vector<HRESULT> state, acquire; HRESULT hr; Log log; } rows[] = {
        {{}, {}, S_OK, {"state:20#1"}},
        {{DIERR_INPUTLOST}, {}, S_OK, {"state:20#1", "acquire#1", "state:20#1"}},
        {{DIERR_NOTACQUIRED}, {DIERR_OTHERAPPHASPRIO}, E_FAIL, {"state:20#1", "acquire#1"}},
        {{DIERR_INPUTLOST, DIERR_INPUTLOST, S_OK}, {}, E_FAIL, {"state:20#1", "acquire#1", "state:20#1"}},
    };
    for (const auto& r : rows) {
        take_log();
        g_script.state = r.state, g_script.acquire = r.acquire;
        std::int32_t x = 99, y = 99;
        EXPECT_EQ(mouse.read(&x, &y), r.hr);
        EXPECT_EQ(take_log(), r.log);
        EXPECT_EQ(x, r.hr == S_OK ? -17 : 99);
        EXPECT_EQ(y, r.hr == S_OK ? 42 : 99);
    }
}

TEST_F(MouseLogic, ReadWithANullOutputTouchesNeitherOutputNorDevice) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    std::int32_t x = 5, y = 6;
    EXPECT_EQ(mouse.read(&x, nullptr), E_FAIL);
    EXPECT_EQ(mouse.read(nullptr, &y), E_FAIL);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_TRUE(take_log().empty());
}

}  // namespace
