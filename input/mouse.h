// The DirectInput 8 system mouse: one device, created for a window in
// exclusive foreground mode, read as relative X/Y movement since the last read.
#pragma once
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

#include <cstdint>

#include "host/com_ref.h"

namespace qz::input {

// Makes the DirectInput object (narrow-character interface); tests put their own in.
using CreateDirectInput = HRESULT (*)(IDirectInput8A** out);
HRESULT create_system_direct_input(IDirectInput8A** out);

constexpr DWORD kMouseCooperativeLevel = DISCL_EXCLUSIVE | DISCL_FOREGROUND;  // 5

class Mouse {
public:
    explicit Mouse(CreateDirectInput create = &create_system_direct_input) noexcept : create_(create) {}

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
    CreateDirectInput create_;
    ComRef<IDirectInputDevice8A> device_;
};

// The process's one mouse. It is never destroyed: releasing DirectInput
// objects while the process unloads its DLLs is not safe; the host calls
// QZ_ReleaseMouse.
Mouse& process_mouse();

}  // namespace qz::input
