// A stand-in for the DirectX diagnostic service: a tree of containers whose
// properties (value and variant type), child names and failures a test
// chooses. Containers handed out are counted so a test can prove each one
// was released; the provider counts its own references.
#pragma once
#include <windows.h>
#include <dxdiag.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qz::test {

// One property value: VT_BSTR (text, or a null BSTR), VT_UI4, VT_BOOL or VT_UNKNOWN.
struct PropValue {
    VARTYPE type = VT_EMPTY;
    std::wstring text;
    bool null_text = false;
    std::uint32_t number = 0;
    IUnknown* object = nullptr;
};
inline PropValue str(std::wstring t) { return {VT_BSTR, std::move(t)}; }
inline PropValue null_str() { return {VT_BSTR, {}, true}; }
inline PropValue u32(std::uint32_t n) { return {VT_UI4, {}, false, n}; }
inline PropValue flag(bool b) { return {VT_BOOL, {}, false, b ? 1u : 0u}; }
inline PropValue unknown(IUnknown* p) { return {VT_UNKNOWN, {}, false, 0, p}; }

// One container: named properties and named children, in order.
struct DxNode {
    std::vector<std::pair<std::wstring, PropValue>> props;
    std::vector<std::pair<std::wstring, DxNode>> children;
    HRESULT count_result = S_OK;  // GetNumberOfChildContainers fails with this
    HRESULT enum_result = S_OK;   // EnumChildContainerNames fails with this
    bool opens_as_null = false;   // opening this node answers S_OK with no object

    DxNode& set(const std::wstring& name, PropValue value);  // sets or replaces
    DxNode& erase(const std::wstring& name);
    DxNode& child(const std::wstring& name);  // appended if missing
};

// Also the object to put in a property of the wrong type, to see that the reader releases it.
struct FakeDxDiagProvider final : IDxDiagProvider {
    LONG refs = 1;  // owned by the test: Release never frees
    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
    DxNode root;
    HRESULT initialize_result = S_OK;
    HRESULT root_result = S_OK;
    bool root_is_null = false;            // GetRootContainer: S_OK with no object
    DXDIAG_INIT_PARAMS init_params{};     // what Initialize was given
    std::vector<std::wstring> prop_reads;  // every GetProp name, in order

    static int live_containers();  // handed out and not yet released
    STDMETHOD(Initialize)(DXDIAG_INIT_PARAMS* params) override;
    STDMETHOD(GetRootContainer)(IDxDiagContainer** out) override;
};

// A root with a complete "DxDiag_SystemInfo", `devices` display devices whose
// texts are "<property> <index>", and two logical disks.
DxNode complete_root(int devices = 1);

}  // namespace qz::test
