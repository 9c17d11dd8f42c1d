// The DirectInput 8 system mouse: one device, created for a window in
// exclusive foreground mode, read as relative X/Y movement since the last read.
#pragma once
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

#include <cstdint>

#include "win/com_ref.h"

namespace qz::input {

// The platform call the mouse makes: creating the DirectInput object
// (narrow-character interface). Everything after that goes through the COM
// interfaces it hands out, which tests replace with their own objects.
struct DirectInputApi {
    HRESULT (*create)(IDirectInput8A** out);
};

// DirectInput8Create for this process's module.
const DirectInputApi& system_direct_input() noexcept;

constexpr DWORD kMouseCooperativeLevel = DISCL_EXCLUSIVE | DISCL_FOREGROUND;  // 5

class Mouse {
public:
    explicit Mouse(const DirectInputApi& api) noexcept : api_(api) {}
    // Gives the mouse back before the device goes.
    ~Mouse() { release(); }
    Mouse(const Mouse&) = delete;
    Mouse& operator=(const Mouse&) = delete;

    // Creates the mouse device for `window`, sets the DIMOUSESTATE2 format and
    // cooperative level 5 and tries to acquire it (a device that cannot be
    // acquired now is acquired by the next read). A device made by an earlier
    // listen is unacquired and released first. Returns 0, or the failing
    // step's result unchanged; a device that was created before a later step
    // failed is kept, configured as far as the steps got.
    HRESULT listen(HWND window);

    // Stores the movement since the last read through x and y and returns 0.
    // A failed read is followed by one acquire and one more read. Every
    // failure (no device, cannot read, a null out pointer) returns E_FAIL and
    // writes nothing.
    HRESULT read(std::int32_t* x, std::int32_t* y);

    // Gives the mouse back to the system; the next read acquires it again.
    void unacquire();
    // Gives the mouse back and destroys the device.
    void release();

    bool has_device() const noexcept { return static_cast<bool>(device_); }

private:
    DirectInputApi api_;
    ComRef<IDirectInputDevice8A> device_;
};

}  // namespace qz::input
