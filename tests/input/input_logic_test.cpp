// The translation and mouse logic, compiled in, against recording fakes of
// user32 and of the DirectInput interfaces: what is called, with what, in
// which order, and what reaches the caller.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "input/keyboard.h"
#include "input/mouse.h"

namespace {

// ---- keyboard -------------------------------------------------------------

struct KeyboardFake {
    bool state_ok = true;
    int state_calls = 0, unicode_calls = 0, name_calls = 0;
    BYTE* state_given = nullptr;
    UINT vk = 0, scan = 0, flags = 99;
    int capacity = 0;
    const BYTE* state_seen = nullptr;
    bool buffer_was_clear = false;
    std::wstring produce;  // written by to_unicode (without terminator)
    int result = 0;
    LONG name_param = 0;
    int name_capacity = 0;
};
KeyboardFake* g_kb = nullptr;

BOOL WINAPI fake_get_state(PBYTE state) {
    ++g_kb->state_calls;
    g_kb->state_given = state;
    for (int i = 0; i < 256; ++i) state[i] = static_cast<BYTE>(i ^ 0x5A);
    return g_kb->state_ok;
}

int WINAPI fake_to_unicode(UINT vk, UINT scan, const BYTE* state, LPWSTR buf, int cap, UINT flags) {
    ++g_kb->unicode_calls;
    g_kb->vk = vk;
    g_kb->scan = scan;
    g_kb->flags = flags;
    g_kb->capacity = cap;
    g_kb->state_seen = state;
    g_kb->buffer_was_clear = true;
    for (int i = 0; i < cap; ++i)
        if (buf[i] != 0) g_kb->buffer_was_clear = false;
    // Only a state filled by GetKeyboardState in this call counts.
    for (int i = 0; i < 256; ++i)
        if (state[i] != static_cast<BYTE>(i ^ 0x5A)) g_kb->state_seen = nullptr;
    for (size_t i = 0; i < g_kb->produce.size() && static_cast<int>(i) < cap; ++i) buf[i] = g_kb->produce[i];
    return g_kb->result;
}

int WINAPI fake_key_name(LONG param, LPWSTR buf, int cap) {
    ++g_kb->name_calls;
    g_kb->name_param = param;
    g_kb->name_capacity = cap;
    if (cap > 0) buf[0] = 0;
    return g_kb->result;
}

class KeyboardLogic : public ::testing::Test {
protected:
    void SetUp() override { g_kb = &fake; }
    void TearDown() override { g_kb = nullptr; }
    KeyboardFake fake;
    const qz::input::KeyboardPlatform platform{&fake_get_state, &fake_to_unicode, &fake_key_name};
};

TEST_F(KeyboardLogic, PassesScanCodeBitsOnlyFlagsZeroAndTheFilledState) {
    fake.produce = L"a";
    fake.result = 1;
    wchar_t buf[6];
    std::fill(std::begin(buf), std::end(buf), L'#');
    EXPECT_EQ(qz::input::key_down(platform, 'A', 0x001E0001, buf, 6), 1);
    EXPECT_EQ(fake.state_calls, 1);
    EXPECT_EQ(fake.unicode_calls, 1);
    EXPECT_EQ(fake.vk, static_cast<UINT>('A'));
    EXPECT_EQ(fake.scan, 0x1Eu);
    EXPECT_EQ(fake.flags, 0u);
    EXPECT_EQ(fake.capacity, 6);
    EXPECT_TRUE(fake.buffer_was_clear) << "the buffer is cleared before the translation";
    EXPECT_NE(fake.state_seen, nullptr) << "ToUnicode must get the state just read";
    EXPECT_EQ(fake.state_seen, fake.state_given);
    EXPECT_EQ(std::wstring(buf), L"a");

    // Key-up, previous-state, context and extended bits never reach the scan code.
    for (std::uint32_t data : {0x801E0001u, 0xC11E0001u, 0xFF1E0000u, 0x011E0001u}) {
        qz::input::key_down(platform, 'A', static_cast<std::int32_t>(data), buf, 6);
        EXPECT_EQ(fake.scan, 0x1Eu) << std::hex << data;
    }
    qz::input::key_down(platform, 'A', 0x00FF0000, buf, 6);
    EXPECT_EQ(fake.scan, 0xFFu);
}

TEST_F(KeyboardLogic, TranslationFillingTheBufferIsCutButCountedInFull) {
    fake.produce = L"abcd";
    fake.result = 4;
    wchar_t buf[5] = {L'#', L'#', L'#', L'#', L'#'};
    EXPECT_EQ(qz::input::key_down(platform, 'X', 0, buf, 4), 4);
    EXPECT_EQ(std::wstring(buf), L"abc");
    EXPECT_EQ(buf[4], L'#') << "wrote past the capacity";

    wchar_t one[2] = {L'#', L'#'};
    fake.produce = L"a";
    fake.result = 1;
    EXPECT_EQ(qz::input::key_down(platform, 'A', 0x001E0001, one, 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(one[1], L'#');
}

TEST_F(KeyboardLogic, DeadKeyAndNoCharacterResultsPassThrough) {
    wchar_t buf[4];
    fake.produce = L"^";
    fake.result = -1;
    EXPECT_EQ(qz::input::key_down(platform, 0xDD, 0x001A0001, buf, 4), -1);
    EXPECT_EQ(std::wstring(buf), L"^");
    fake.produce.clear();
    fake.result = 0;
    EXPECT_EQ(qz::input::key_down(platform, VK_F1, 0x003B0001, buf, 4), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(KeyboardLogic, NullBufferOrZeroCapacityCallsNothing) {
    wchar_t buf[2] = {L'#', L'#'};
    EXPECT_EQ(qz::input::key_down(platform, 'A', 0x001E0001, nullptr, 8), 0);
    EXPECT_EQ(qz::input::key_down(platform, 'A', 0x001E0001, buf, 0), 0);
    EXPECT_EQ(fake.state_calls, 0);
    EXPECT_EQ(fake.unicode_calls, 0);
    EXPECT_EQ(buf[0], L'#');
}

TEST_F(KeyboardLogic, UnreadableKeyboardStateLeavesAClearBuffer) {
    fake.state_ok = false;
    fake.result = 1;
    wchar_t buf[3] = {L'#', L'#', L'#'};
    EXPECT_EQ(qz::input::key_down(platform, 'A', 0x001E0001, buf, 3), 0);
    EXPECT_EQ(fake.unicode_calls, 0);
    for (wchar_t c : buf) EXPECT_EQ(c, 0);
}

TEST_F(KeyboardLogic, KeyNameShiftsTheCodeIntoTheKeyMessageFields) {
    wchar_t buf[16];
    fake.result = 5;
    EXPECT_EQ(qz::input::key_name(platform, 0x1C, buf, 16), 5);
    EXPECT_EQ(fake.name_param, 0x001C0000);
    EXPECT_EQ(fake.name_capacity, 16);
    qz::input::key_name(platform, 0x11C, buf, 16);
    EXPECT_EQ(fake.name_param, 0x011C0000);  // extended flag: bit 24
    qz::input::key_name(platform, 0x21C, buf, 16);
    EXPECT_EQ(fake.name_param, 0x021C0000);  // "don't care" flag: bit 25
    qz::input::key_name(platform, static_cast<std::int32_t>(0xFFFF811Cu), buf, 16);
    EXPECT_EQ(static_cast<std::uint32_t>(fake.name_param), 0x811C0000u);  // high bits shift out
    fake.result = 0;
    EXPECT_EQ(qz::input::key_name(platform, 0x7F, buf, 16), 0);
    EXPECT_EQ(fake.name_calls, 5);

    EXPECT_EQ(qz::input::key_name(platform, 0x1C, nullptr, 16), 0);
    EXPECT_EQ(qz::input::key_name(platform, 0x1C, buf, 0), 0);
    EXPECT_EQ(qz::input::key_name(platform, 0x1C, buf, -1), 0);
    EXPECT_EQ(fake.name_calls, 5);
}

// ---- mouse ----------------------------------------------------------------

// One log for every fake call, in order.
std::vector<std::string> g_log;

// The failure a named step returns, or S_OK.
struct Script {
    HRESULT create = S_OK, create_device = S_OK, set_format = S_OK, set_coop = S_OK;
    std::vector<HRESULT> acquire;  // results in order; S_OK once used up
    std::vector<HRESULT> state;    // results of GetDeviceState in order; S_OK once used up
    LONG x = 0, y = 0;
} g_script;

HRESULT next(std::vector<HRESULT>& v) {
    if (v.empty()) return S_OK;
    HRESULT hr = v.front();
    v.erase(v.begin());
    return hr;
}

#define NOT_USED(...) \
    { return E_NOTIMPL; }

class FakeDevice final : public IDirectInputDevice8A {
public:
    explicit FakeDevice(int id) : id_(id) {}
    ULONG refs = 1;
    int id_;
    const DIDATAFORMAT* format = nullptr;
    HWND window = nullptr;
    DWORD level = 0;

    std::string tag(const char* what) const { return std::string(what) + "#" + std::to_string(id_); }

    STDMETHOD(QueryInterface)(REFIID, void**) NOT_USED()
    STDMETHOD_(ULONG, AddRef)() { return ++refs; }
    STDMETHOD_(ULONG, Release)() {
        g_log.push_back(tag("release"));
        return --refs;
    }
    STDMETHOD(GetCapabilities)(LPDIDEVCAPS) NOT_USED()
    STDMETHOD(EnumObjects)(LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) NOT_USED()
    STDMETHOD(GetProperty)(REFGUID, LPDIPROPHEADER) NOT_USED()
    STDMETHOD(SetProperty)(REFGUID, LPCDIPROPHEADER) NOT_USED()
    STDMETHOD(Acquire)() {
        g_log.push_back(tag("acquire"));
        return next(g_script.acquire);
    }
    STDMETHOD(Unacquire)() {
        g_log.push_back(tag("unacquire"));
        return S_OK;
    }
    STDMETHOD(GetDeviceState)(DWORD size, LPVOID data) {
        g_log.push_back(tag("state") + ":" + std::to_string(size));
        // The caller's state must come in cleared.
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (DWORD i = 0; i < size; ++i)
            if (bytes[i] != 0) g_log.push_back("state not cleared");
        const HRESULT hr = next(g_script.state);
        auto* s = static_cast<DIMOUSESTATE2*>(data);
        if (FAILED(hr)) {
            s->lX = 777;  // a failed read may scribble; it must not reach the caller
            s->lY = 777;
            return hr;
        }
        s->lX = g_script.x;
        s->lY = g_script.y;
        s->lZ = 120;
        s->rgbButtons[0] = 0x80;
        return hr;
    }
    STDMETHOD(GetDeviceData)(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) NOT_USED()
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT f) {
        g_log.push_back(tag("format"));
        format = f;
        return g_script.set_format;
    }
    STDMETHOD(SetEventNotification)(HANDLE) NOT_USED()
    STDMETHOD(SetCooperativeLevel)(HWND w, DWORD l) {
        g_log.push_back(tag("coop"));
        window = w;
        level = l;
        return g_script.set_coop;
    }
    STDMETHOD(GetObjectInfo)(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) NOT_USED()
    STDMETHOD(GetDeviceInfo)(LPDIDEVICEINSTANCEA) NOT_USED()
    STDMETHOD(RunControlPanel)(HWND, DWORD) NOT_USED()
    STDMETHOD(Initialize)(HINSTANCE, DWORD, REFGUID) NOT_USED()
    STDMETHOD(CreateEffect)(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN) NOT_USED()
    STDMETHOD(EnumEffects)(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) NOT_USED()
    STDMETHOD(GetEffectInfo)(LPDIEFFECTINFOA, REFGUID) NOT_USED()
    STDMETHOD(GetForceFeedbackState)(LPDWORD) NOT_USED()
    STDMETHOD(SendForceFeedbackCommand)(DWORD) NOT_USED()
    STDMETHOD(EnumCreatedEffectObjects)(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) NOT_USED()
    STDMETHOD(Escape)(LPDIEFFESCAPE) NOT_USED()
    STDMETHOD(Poll)() NOT_USED()
    STDMETHOD(SendDeviceData)(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) NOT_USED()
    STDMETHOD(EnumEffectsInFile)(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) NOT_USED()
    STDMETHOD(WriteEffectToFile)(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) NOT_USED()
    STDMETHOD(BuildActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) NOT_USED()
    STDMETHOD(SetActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) NOT_USED()
    STDMETHOD(GetImageInfo)(LPDIDEVICEIMAGEINFOHEADERA) NOT_USED()
};

std::vector<FakeDevice*> g_devices;  // every device made, kept to check references

class FakeInput final : public IDirectInput8A {
public:
    ULONG refs = 1;
    GUID asked{};

    STDMETHOD(QueryInterface)(REFIID, void**) NOT_USED()
    STDMETHOD_(ULONG, AddRef)() { return ++refs; }
    STDMETHOD_(ULONG, Release)() {
        g_log.push_back("release input");
        return --refs;
    }
    STDMETHOD(CreateDevice)(REFGUID guid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) {
        g_log.push_back(outer ? "create device (aggregated)" : "create device");
        asked = guid;
        if (FAILED(g_script.create_device)) {
            *out = nullptr;
            return g_script.create_device;
        }
        auto* d = new FakeDevice(static_cast<int>(g_devices.size()) + 1);
        g_devices.push_back(d);
        *out = d;
        return S_OK;
    }
    STDMETHOD(EnumDevices)(DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) NOT_USED()
    STDMETHOD(GetDeviceStatus)(REFGUID) NOT_USED()
    STDMETHOD(RunControlPanel)(HWND, DWORD) NOT_USED()
    STDMETHOD(Initialize)(HINSTANCE, DWORD) NOT_USED()
    STDMETHOD(FindDevice)(REFGUID, LPCSTR, LPGUID) NOT_USED()
    STDMETHOD(EnumDevicesBySemantics)(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD) NOT_USED()
    STDMETHOD(ConfigureDevices)(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID) NOT_USED()
};

std::vector<FakeInput*> g_inputs;

HRESULT fake_create(IDirectInput8A** out) {
    g_log.push_back("create input");
    if (FAILED(g_script.create)) return g_script.create;
    auto* in = new FakeInput;
    g_inputs.push_back(in);
    *out = in;
    return S_OK;
}

class MouseLogic : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        g_script = Script{};
    }
    void TearDown() override {
        mouse.release();  // before the fakes it may hold go away
        for (auto* d : g_devices) delete d;
        for (auto* i : g_inputs) delete i;
        g_devices.clear();
        g_inputs.clear();
    }
    std::vector<std::string> take_log() { return std::exchange(g_log, {}); }

    qz::input::Mouse mouse{&fake_create};
    const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234));
};

using Log = std::vector<std::string>;

TEST_F(MouseLogic, ListenConfiguresTheSystemMouseAndDropsTheInputObject) {
    EXPECT_EQ(mouse.listen(window), S_OK);
    EXPECT_EQ(take_log(), (Log{"create input", "create device", "release input", "format#1", "coop#1", "acquire#1"}));
    ASSERT_EQ(g_inputs.size(), 1u);
    EXPECT_TRUE(IsEqualGUID(g_inputs[0]->asked, GUID_SysMouse));
    EXPECT_EQ(g_inputs[0]->refs, 0u);
    ASSERT_EQ(g_devices.size(), 1u);
    const FakeDevice& d = *g_devices[0];
    EXPECT_EQ(d.format, &c_dfDIMouse2);
    EXPECT_EQ(d.window, window);
    EXPECT_EQ(d.level, 5u);
    EXPECT_EQ(d.refs, 1u);
    EXPECT_TRUE(mouse.has_device());
}

TEST_F(MouseLogic, FailedAcquireInListenIsNotReported) {
    g_script.acquire = {DIERR_OTHERAPPHASPRIO};
    EXPECT_EQ(mouse.listen(window), S_OK);
    EXPECT_TRUE(mouse.has_device());
}

TEST_F(MouseLogic, ListenStopsAtTheFirstFailingStepWithItsResult) {
    g_script.create = DIERR_OLDDIRECTINPUTVERSION;
    EXPECT_EQ(mouse.listen(window), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(take_log(), Log{"create input"});
    EXPECT_FALSE(mouse.has_device());

    g_script = Script{};
    g_script.create_device = DIERR_DEVICENOTREG;
    EXPECT_EQ(mouse.listen(window), DIERR_DEVICENOTREG);
    EXPECT_EQ(take_log(), (Log{"create input", "create device", "release input"}));
    EXPECT_FALSE(mouse.has_device());
    EXPECT_EQ(g_inputs.back()->refs, 0u);
}

TEST_F(MouseLogic, DeviceConfiguredPartlyIsKeptAndReleasable) {
    g_script.set_format = DIERR_ACQUIRED;
    EXPECT_EQ(mouse.listen(window), DIERR_ACQUIRED);
    EXPECT_EQ(take_log(), (Log{"create input", "create device", "release input", "format#1"}));
    EXPECT_TRUE(mouse.has_device());

    g_script.set_format = S_OK;
    g_script.set_coop = E_HANDLE;
    EXPECT_EQ(mouse.listen(window), E_HANDLE);
    // The first device went before the second was made.
    EXPECT_EQ(take_log(), (Log{"unacquire#1", "release#1", "create input", "create device", "release input",
                               "format#2", "coop#2"}));
    EXPECT_EQ(g_devices[0]->refs, 0u);
    EXPECT_TRUE(mouse.has_device());

    mouse.release();
    EXPECT_EQ(take_log(), (Log{"unacquire#2", "release#2"}));
    EXPECT_EQ(g_devices[1]->refs, 0u);
    EXPECT_FALSE(mouse.has_device());
}

TEST_F(MouseLogic, ListenTwiceReleasesTheEarlierDevice) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    ASSERT_EQ(mouse.listen(window), S_OK);
    ASSERT_EQ(g_devices.size(), 2u);
    EXPECT_EQ(g_devices[0]->refs, 0u);
    EXPECT_EQ(g_devices[1]->refs, 1u);
    // A failing third listen leaves no device at all, not the second one.
    g_script.create = E_OUTOFMEMORY;
    EXPECT_EQ(mouse.listen(window), E_OUTOFMEMORY);
    EXPECT_EQ(g_devices[1]->refs, 0u);
    EXPECT_FALSE(mouse.has_device());
}

TEST_F(MouseLogic, ReadGivesOnlyXAndYOfTheTwentyByteState) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    g_script.x = -17;
    g_script.y = 42;
    std::int32_t x = 1, y = 1;
    EXPECT_EQ(mouse.read(&x, &y), S_OK);
    EXPECT_EQ(x, -17);
    EXPECT_EQ(y, 42);
    EXPECT_EQ(take_log(), Log{"state#1:20"});
}

TEST_F(MouseLogic, FailedReadReacquiresOnceAndRetriesOnce) {
    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    g_script.x = 3;
    g_script.y = -4;
    g_script.state = {DIERR_INPUTLOST};
    std::int32_t x = 1, y = 1;
    EXPECT_EQ(mouse.read(&x, &y), S_OK);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, -4);
    EXPECT_EQ(take_log(), (Log{"state#1:20", "acquire#1", "state#1:20"}));

    // Acquire refused: E_FAIL, whatever DirectInput said, and nothing written.
    g_script.state = {DIERR_NOTACQUIRED};
    g_script.acquire = {DIERR_OTHERAPPHASPRIO};
    x = y = 99;
    EXPECT_EQ(mouse.read(&x, &y), E_FAIL);
    EXPECT_EQ(take_log(), (Log{"state#1:20", "acquire#1"}));
    EXPECT_EQ(x, 99);
    EXPECT_EQ(y, 99);

    // Retry fails too: no third read.
    g_script.state = {DIERR_INPUTLOST, DIERR_INPUTLOST, S_OK};
    EXPECT_EQ(mouse.read(&x, &y), E_FAIL);
    EXPECT_EQ(take_log(), (Log{"state#1:20", "acquire#1", "state#1:20"}));
    EXPECT_EQ(x, 99);
    EXPECT_EQ(y, 99);
}

TEST_F(MouseLogic, ReadWithoutDeviceOrWithNullOutputsWritesNothing) {
    std::int32_t x = 5, y = 6;
    EXPECT_EQ(mouse.read(&x, &y), E_FAIL);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_TRUE(take_log().empty());

    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    EXPECT_EQ(mouse.read(&x, nullptr), E_FAIL);
    EXPECT_EQ(mouse.read(nullptr, &y), E_FAIL);
    EXPECT_EQ(mouse.read(nullptr, nullptr), E_FAIL);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_TRUE(take_log().empty()) << "the device is not read for a call that cannot store the result";
}

TEST_F(MouseLogic, UnacquireKeepsTheDeviceReleaseDropsIt) {
    mouse.unacquire();
    mouse.release();
    EXPECT_TRUE(take_log().empty());

    ASSERT_EQ(mouse.listen(window), S_OK);
    take_log();
    mouse.unacquire();
    EXPECT_EQ(take_log(), Log{"unacquire#1"});
    EXPECT_TRUE(mouse.has_device());
    mouse.release();
    EXPECT_EQ(take_log(), (Log{"unacquire#1", "release#1"}));
    mouse.release();
    mouse.unacquire();
    EXPECT_TRUE(take_log().empty());
    EXPECT_EQ(g_devices[0]->refs, 0u);
}

TEST(MouseFormat, TheDataFormatIsTheTwentyByteMouseState) {
    // 24 and 16 bytes in the 32-bit DLL (pinned there by static assertions).
    EXPECT_EQ(c_dfDIMouse2.dwSize, sizeof(DIDATAFORMAT));
    EXPECT_EQ(c_dfDIMouse2.dwObjSize, sizeof(DIOBJECTDATAFORMAT));
    EXPECT_EQ(c_dfDIMouse2.dwFlags, static_cast<DWORD>(DIDF_RELAXIS));
    EXPECT_EQ(c_dfDIMouse2.dwDataSize, 20u);
    EXPECT_EQ(c_dfDIMouse2.dwNumObjs, 11u);
    EXPECT_EQ(c_dfDIMouse2.rgodf[0].dwOfs, 0u);
    EXPECT_EQ(c_dfDIMouse2.rgodf[1].dwOfs, 4u);
    EXPECT_EQ(c_dfDIMouse2.rgodf[2].dwOfs, 8u);
    EXPECT_EQ(c_dfDIMouse2.rgodf[10].dwOfs, 19u);
    const GUID sys_mouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    EXPECT_TRUE(IsEqualGUID(GUID_SysMouse, sys_mouse));
}

}  // namespace
