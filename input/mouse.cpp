#include "input/mouse.h"

namespace qz::input {

static_assert(sizeof(DIMOUSESTATE2) == 20, "the state read is the 20-byte DIMOUSESTATE2");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(DIDATAFORMAT) == 24 && sizeof(DIOBJECTDATAFORMAT) == 16,
              "the 32-bit DirectInput data format records");
static_assert(sizeof(HWND) == 4 && sizeof(HRESULT) == 4, "32-bit window handles and results");
#endif

namespace {

HRESULT create_direct_input(IDirectInput8A** out) {
    return DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                              reinterpret_cast<void**>(out), nullptr);
}

constexpr DirectInputApi kSystem{create_direct_input};

}  // namespace

const DirectInputApi& system_direct_input() noexcept { return kSystem; }

HRESULT Mouse::listen(HWND window) {
    // An earlier device may hold the mouse exclusively: let it go first.
    release();

    ComRef<IDirectInput8A> input;
    HRESULT hr = api_.create(input.put());
    if (FAILED(hr)) return hr;
    if (!input) return E_FAIL;

    ComRef<IDirectInputDevice8A> device;
    hr = input->CreateDevice(GUID_SysMouse, device.put(), nullptr);
    if (FAILED(hr)) return hr;
    if (!device) return E_FAIL;
    device_ = std::move(device);
    // The DirectInput object served only to create the device.
    input.reset();

    hr = device_->SetDataFormat(&c_dfDIMouse2);
    if (FAILED(hr)) return hr;
    hr = device_->SetCooperativeLevel(window, kMouseCooperativeLevel);
    if (FAILED(hr)) return hr;
    // Not acquirable now (window in the background): the next read acquires it.
    device_->Acquire();
    return S_OK;
}

HRESULT Mouse::read(std::int32_t* x, std::int32_t* y) {
    if (!device_ || !x || !y) return E_FAIL;
    DIMOUSESTATE2 state{};
    if (FAILED(device_->GetDeviceState(sizeof state, &state))) {
        if (FAILED(device_->Acquire())) return E_FAIL;
        state = DIMOUSESTATE2{};
        if (FAILED(device_->GetDeviceState(sizeof state, &state))) return E_FAIL;
    }
    *x = state.lX;
    *y = state.lY;
    return S_OK;
}

void Mouse::unacquire() {
    if (device_) device_->Unacquire();
}

void Mouse::release() {
    if (!device_) return;
    device_->Unacquire();
    device_.reset();
}

}  // namespace qz::input
