#include "testhost/fault/dinput.h"

#include <cstring>
#include <utility>

#include "testhost/dinput_unused.h"
#include "testhost/fault/gate.h"

namespace qz::test::fault {
namespace {

LONG g_live = 0;

// Reference counting shared by both stand-ins.
template <class Interface>
class Counted : public Interface {
public:
    Counted() { InterlockedIncrement(&g_live); }
    virtual ~Counted() { InterlockedDecrement(&g_live); }
    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

private:
    LONG refs_ = 1;
};

#define QZ_NI(name, ...) STDMETHOD(name)(__VA_ARGS__) override { return E_NOTIMPL; }

class Mouse final : public Counted<IDirectInputDevice8A> {
public:
    STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT) override {
        return com_gate("IDirectInputDevice8::SetDataFormat", DIERR_OUTOFMEMORY);
    }
    STDMETHOD(SetCooperativeLevel)(HWND, DWORD) override {
        return com_gate("IDirectInputDevice8::SetCooperativeLevel", E_HANDLE);
    }
    STDMETHOD(Acquire)() override {
        const HRESULT hr = com_gate("IDirectInputDevice8::Acquire", DIERR_OTHERAPPHASPRIO);
        acquired_ = SUCCEEDED(hr);
        return hr;
    }
    // Giving back cannot fail: at worst there was nothing to give back.
    STDMETHOD(Unacquire)() override { return std::exchange(acquired_, false) ? DI_OK : DI_NOEFFECT; }
    STDMETHOD(GetDeviceState)(DWORD size, LPVOID data) override {
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (const HRESULT hr = com_gate("IDirectInputDevice8::GetDeviceState", DIERR_INPUTLOST); FAILED(hr)) {
            acquired_ = false;
            return hr;
        }
        if (size != sizeof(DIMOUSESTATE2)) return DIERR_INVALIDPARAM;
        DIMOUSESTATE2 state{};
        state.lX = 3;
        state.lY = -2;
        std::memcpy(data, &state, sizeof state);
        return DI_OK;
    }
    QZ_DINPUT_UNUSED_DEVICE_METHODS(QZ_NI)

private:
    bool acquired_ = false;
};

class DirectInput final : public Counted<IDirectInput8A> {
public:
    STDMETHOD(CreateDevice)(REFGUID guid, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN) override {
        *out = nullptr;
        if (const HRESULT hr = com_gate("IDirectInput8::CreateDevice", DIERR_OUTOFMEMORY); FAILED(hr)) return hr;
        if (guid != GUID_SysMouse) return DIERR_DEVICENOTREG;
        *out = new Mouse;
        return DI_OK;
    }
    QZ_NI(EnumDevices, DWORD, LPDIENUMDEVICESCALLBACKA, LPVOID, DWORD) QZ_NI(GetDeviceStatus, REFGUID)
    QZ_NI(RunControlPanel, HWND, DWORD) QZ_NI(Initialize, HINSTANCE, DWORD) QZ_NI(FindDevice, REFGUID, LPCSTR, LPGUID)
    QZ_NI(EnumDevicesBySemantics, LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID, DWORD)
    QZ_NI(ConfigureDevices, LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID)
};

#undef QZ_NI

}  // namespace

IDirectInput8A* new_direct_input() { return new DirectInput; }

int live_direct_input_objects() { return static_cast<int>(g_live); }

}  // namespace qz::test::fault
