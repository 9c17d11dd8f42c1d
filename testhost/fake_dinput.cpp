#include "testhost/fake_dinput.h"

#include <utility>

#include "testhost/fault/gate.h"

namespace qz::test {
namespace {

void note(const std::string& call) {
    if (auto* calls = fake_direct_input().calls) calls->push_back(call);
}

void note(const char* call, int id) { note(std::string(call) + "#" + std::to_string(id)); }

}  // namespace

FakeDirectInputs& fake_direct_input() {
    static auto* const fakes = new FakeDirectInputs;  // the library may hold its objects until it ends
    return *fakes;
}

int FakeDirectInputs::live() const {
    int n = 0;
    for (const auto& input : inputs) n += input->refs > 0;
    for (const auto& device : devices) n += device->refs > 0;
    return n;
}

FakeDirectInput* new_fake_direct_input() {
    return fake_direct_input().inputs.emplace_back(std::make_unique<FakeDirectInput>()).get();
}

HRESULT FakeMouseDevice::QueryInterface(REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG FakeMouseDevice::AddRef() { return ++refs; }
ULONG FakeMouseDevice::Release() {
    note("release", id);
    return --refs;
}

HRESULT FakeMouseDevice::SetDataFormat(LPCDIDATAFORMAT f) {
    format = f;
    note("format", id);
    return com_gate("IDirectInputDevice8::SetDataFormat", DIERR_OUTOFMEMORY);
}

HRESULT FakeMouseDevice::SetCooperativeLevel(HWND w, DWORD l) {
    window = w, level = l;
    note("coop", id);
    return com_gate("IDirectInputDevice8::SetCooperativeLevel", E_HANDLE);
}

HRESULT FakeMouseDevice::Acquire() {
    note("acquire", id);
    const HRESULT hr = com_gate("IDirectInputDevice8::Acquire", DIERR_OTHERAPPHASPRIO);
    acquired = SUCCEEDED(hr);
    return hr;
}

// Giving back cannot fail: at worst there was nothing to give back.
HRESULT FakeMouseDevice::Unacquire() {
    note("unacquire", id);
    return std::exchange(acquired, false) ? DI_OK : DI_NOEFFECT;
}

HRESULT FakeMouseDevice::GetDeviceState(DWORD size, LPVOID data) {
    note(("state:" + std::to_string(size)).c_str(), id);
    for (DWORD i = 0; i < size; ++i)
        if (static_cast<const unsigned char*>(data)[i] != 0) note("state not cleared");
    if (!acquired) return DIERR_NOTACQUIRED;
    if (size != sizeof(DIMOUSESTATE2)) return DIERR_INVALIDPARAM;
    const HRESULT hr = com_gate("IDirectInputDevice8::GetDeviceState", DIERR_INPUTLOST);
    if (FAILED(hr)) acquired = false;
    // A failed read may scribble on the state; that must not reach the caller.
    auto* state = static_cast<DIMOUSESTATE2*>(data);
    state->lX = FAILED(hr) ? 777 : fake_direct_input().motion_x;
    state->lY = FAILED(hr) ? 777 : fake_direct_input().motion_y;
    return hr;
}

HRESULT FakeDirectInput::QueryInterface(REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG FakeDirectInput::AddRef() { return ++refs; }
ULONG FakeDirectInput::Release() {
    note("release input");
    return --refs;
}

HRESULT FakeDirectInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) {
    note(outer ? "create device (aggregated)" : "create device");
    asked = guid;
    *out = nullptr;
    if (const HRESULT hr = com_gate("IDirectInput8::CreateDevice", DIERR_OUTOFMEMORY); FAILED(hr)) return hr;
    if (guid != GUID_SysMouse) return DIERR_DEVICENOTREG;
    auto& devices = fake_direct_input().devices;
    *out = devices.emplace_back(std::make_unique<FakeMouseDevice>(static_cast<int>(devices.size()) + 1)).get();
    return DI_OK;
}

}  // namespace qz::test
