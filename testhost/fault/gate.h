// The fault sweep's say over the stand-in COM objects (fake_d3d9, fake_dxdiag,
// the sweep's DirectInput): each method that can fail asks the gate first,
// naming itself and the failure it would give, and returns that failure when
// the gate says so. Without a sweep the gate is empty and nothing fails.
#pragma once
#include <windows.h>

namespace qz::test {

// Returns S_OK (go on) or the failure the method answers with.
using ComGate = HRESULT (*)(const char* method, HRESULT failure);
inline ComGate g_com_gate = nullptr;

inline HRESULT com_gate(const char* method, HRESULT failure) {
    return g_com_gate ? g_com_gate(method, failure) : S_OK;
}

}  // namespace qz::test
