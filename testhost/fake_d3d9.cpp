#include "fake_d3d9.h"

namespace qz::test {

FakeD3DDevice9::FakeD3DDevice9() = default;

HRESULT FakeD3DDevice9::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, __uuidof(IUnknown)) || IsEqualGUID(riid, __uuidof(IDirect3DDevice9))) {
        *out = static_cast<IDirect3DDevice9*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeD3DDevice9::AddRef() { return static_cast<ULONG>(++refs_); }

// The test owns the object: the count only goes down, nothing is freed.
ULONG FakeD3DDevice9::Release() { return static_cast<ULONG>(--refs_); }

HRESULT FakeD3DDevice9::TestCooperativeLevel() {
    ++test_calls_;
    return cooperative_level;
}

void FakeD3DDevice9::SetGammaRamp(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* r) {
    SetCall call{swap_chain, flags, {}};
    if (r) {
        call.ramp = *r;
        ramp = *r;
    }
    set_calls_.push_back(call);
}

void FakeD3DDevice9::GetGammaRamp(UINT swap_chain, D3DGAMMARAMP* r) {
    get_calls_.push_back(swap_chain);
    if (r) *r = ramp;
}

}  // namespace qz::test
