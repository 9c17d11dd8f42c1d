// A stand-in DirectInput 8 (narrow interfaces) and the system mouse it
// creates, for the mouse logic's tests and the fault sweep. Every method that
// can fail asks the COM gate (testhost/fault/gate.h) first, naming itself and
// the failure it would give: the sweep fails them call by call, a test may
// script them; without a gate nothing fails. Between reads the mouse moves by
// the motion the test chose. The objects count their references and stay in
// memory after their last Release (refs 0), so that a test can still look at
// them, until fake_direct_input() is reset.
#pragma once
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

#include <memory>
#include <string>
#include <vector>

namespace qz::test {

class FakeMouseDevice;
class FakeDirectInput;

// Everything the stand-ins made and saw, for the whole process.
struct FakeDirectInputs {
    std::vector<std::unique_ptr<FakeDirectInput>> inputs;
    std::vector<std::unique_ptr<FakeMouseDevice>> devices;  // devices[i] has id i + 1
    std::vector<std::string>* calls = nullptr;  // when set: each call, in order ("acquire#1", "release input")
    LONG motion_x = 3, motion_y = -2;           // what each successful read reports

    int live() const;  // objects still referenced
};
FakeDirectInputs& fake_direct_input();

// A new DirectInput object (one reference, the caller's).
FakeDirectInput* new_fake_direct_input();

class FakeMouseDevice final : public IDirectInputDevice8A {
public:
    explicit FakeMouseDevice(int id) : id(id) {}
    const int id;
    ULONG refs = 1;
    const DIDATAFORMAT* format = nullptr;
    HWND window = nullptr;
    DWORD level = 0;
    bool acquired = false;

    STDMETHOD(QueryInterface)(REFIID, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT format) override;
    STDMETHOD(SetCooperativeLevel)(HWND window, DWORD level) override;
    STDMETHOD(Acquire)() override;
    STDMETHOD(Unacquire)() override;
    STDMETHOD(GetDeviceState)(DWORD size, LPVOID data) override;
#define QZ_DI_NI(name, ...) STDMETHOD(name)(__VA_ARGS__) override { return E_NOTIMPL; }
    QZ_DI_NI(GetCapabilities, LPDIDEVCAPS) QZ_DI_NI(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD)
    QZ_DI_NI(GetProperty, REFGUID, LPDIPROPHEADER) QZ_DI_NI(SetProperty, REFGUID, LPCDIPROPHEADER)
    QZ_DI_NI(GetDeviceData, DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) QZ_DI_NI(SetEventNotification, HANDLE)
    QZ_DI_NI(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) QZ_DI_NI(GetDeviceInfo, LPDIDEVICEINSTANCEA)
    QZ_DI_NI(RunControlPanel, HWND, DWORD) QZ_DI_NI(Initialize, HINSTANCE, DWORD, REFGUID)
    QZ_DI_NI(CreateEffect, REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN)
    QZ_DI_NI(EnumEffects, LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) QZ_DI_NI(GetEffectInfo, LPDIEFFECTINFOA, REFGUID)
    QZ_DI_NI(GetForceFeedbackState, LPDWORD) QZ_DI_NI(SendForceFeedbackCommand, DWORD)
    QZ_DI_NI(EnumCreatedEffectObjects, LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)
    QZ_DI_NI(Escape, LPDIEFFESCAPE) QZ_DI_NI(Poll) QZ_DI_NI(SendDeviceData, DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD)
    QZ_DI_NI(EnumEffectsInFile, LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)
    QZ_DI_NI(WriteEffectToFile, LPCSTR, DWORD, LPDIFILEEFFECT, DWORD)
    QZ_DI_NI(BuildActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD) QZ_DI_NI(SetActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD)
    QZ_DI_NI(GetImageInfo, LPDIDEVICEIMAGEINFOHEADERA)
};

class FakeDirectInput final : public IDirectInput8A {
public:
    ULONG refs = 1;
    GUID asked{};  // what CreateDevice was last asked for

    STDMETHOD(QueryInterface)(REFIID, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(CreateDevice)(REFGUID guid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) override;
    QZ_DI_NI(EnumDevices, DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) QZ_DI_NI(GetDeviceStatus, REFGUID)
    QZ_DI_NI(RunControlPanel, HWND, DWORD) QZ_DI_NI(Initialize, HINSTANCE, DWORD) QZ_DI_NI(FindDevice, REFGUID, LPCSTR, LPGUID)
    QZ_DI_NI(EnumDevicesBySemantics, LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD)
    QZ_DI_NI(ConfigureDevices, LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID)
#undef QZ_DI_NI
};

}  // namespace qz::test
