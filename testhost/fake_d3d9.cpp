#include "testhost/fake_d3d9.h"

#include "testhost/fault/gate.h"

namespace qz::test {

HRESULT FakeD3DDevice9::TestCooperativeLevel() {
    ++test_calls;
    if (const HRESULT hr = com_gate("IDirect3DDevice9::TestCooperativeLevel", D3DERR_DEVICELOST); FAILED(hr)) return hr;
    return cooperative_level;
}

void FakeD3DDevice9::SetGammaRamp(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* r) {
    if (r) ramp = *r;
    set_calls.push_back({swap_chain, flags, ramp});
}

void FakeD3DDevice9::GetGammaRamp(UINT swap_chain, D3DGAMMARAMP* r) {
    get_calls.push_back(swap_chain);
    if (r) *r = ramp;
}

}  // namespace qz::test
