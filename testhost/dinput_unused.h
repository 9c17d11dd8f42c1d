// The methods of IDirectInputDevice8A the library never calls, for stand-in
// devices: QZ_DINPUT_UNUSED_DEVICE_METHODS(M) expands M(name, parameter
// types...) once for each; M defines the method (E_NOTIMPL, say).
#pragma once
#include <windows.h>
#include <dinput.h>

#define QZ_DINPUT_UNUSED_DEVICE_METHODS(M)                                                        \
    M(GetCapabilities, LPDIDEVCAPS) M(EnumObjects, LPDIENUMDEVICEOBJECTSCALLBACKA, LPVOID, DWORD) \
    M(GetProperty, REFGUID, LPDIPROPHEADER) M(SetProperty, REFGUID, LPCDIPROPHEADER)              \
    M(GetDeviceData, DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) M(SetEventNotification, HANDLE) \
    M(GetObjectInfo, LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) M(GetDeviceInfo, LPDIDEVICEINSTANCEA) \
    M(RunControlPanel, HWND, DWORD) M(Initialize, HINSTANCE, DWORD, REFGUID)                      \
    M(CreateEffect, REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT*, LPUNKNOWN)                        \
    M(EnumEffects, LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) M(GetEffectInfo, LPDIEFFECTINFOA, REFGUID) \
    M(GetForceFeedbackState, LPDWORD) M(SendForceFeedbackCommand, DWORD)                          \
    M(EnumCreatedEffectObjects, LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD)              \
    M(Escape, LPDIEFFESCAPE) M(Poll) M(SendDeviceData, DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) \
    M(EnumEffectsInFile, LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD)                    \
    M(WriteEffectToFile, LPCSTR, DWORD, LPDIFILEEFFECT, DWORD)                                    \
    M(BuildActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD) M(SetActionMap, LPDIACTIONFORMATA, LPCSTR, DWORD) \
    M(GetImageInfo, LPDIDEVICEIMAGEINFOHEADERA)
