// A stand-in for the DirectX diagnostic service: a tree of containers whose
// properties (value and variant type), child names and failures a test
// chooses. Every container object handed out is counted, so a test can prove
// that each one was released; the provider counts its own references.
#pragma once
#include <windows.h>
#include <dxdiag.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qz::test {

// An IUnknown that only counts references: put it in a property of the
// wrong type to see that the reader clears (releases) what it was given.
class CountedUnknown final : public IUnknown {
public:
    LONG refs() const { return refs_; }
    STDMETHOD_(HRESULT, QueryInterface)(REFIID riid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs_); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs_); }

private:
    LONG refs_ = 1;
};

// One property value, with its variant type.
struct PropValue {
    VARTYPE type = VT_EMPTY;
    std::wstring text;        // VT_BSTR
    bool null_text = false;   // VT_BSTR holding a null BSTR
    std::uint32_t number = 0; // VT_UI4, VT_I4, VT_BOOL (non-zero: true)
    IUnknown* object = nullptr;  // VT_UNKNOWN

    static PropValue str(std::wstring t);
    static PropValue null_str();
    static PropValue u32(std::uint32_t n);
    static PropValue i32(std::int32_t n);  // the wrong type for a number
    static PropValue flag(bool b);
    static PropValue unknown(IUnknown* p);
};

// One container of the tree: named properties and named children, in order.
struct DxNode {
    std::vector<std::pair<std::wstring, PropValue>> props;
    std::vector<std::pair<std::wstring, DxNode>> children;
    HRESULT count_result = S_OK;     // what GetNumberOfChildContainers answers
    HRESULT enum_result = S_OK;      // forced answer of EnumChildContainerNames (S_OK: normal)
    bool opens_as_null = false;      // GetChildContainer of this node: S_OK with no object

    // Sets (or replaces) a property; removes it with erase().
    DxNode& set(const std::wstring& name, PropValue value);
    DxNode& erase(const std::wstring& name);
    // The child of that name, appended if missing.
    DxNode& child(const std::wstring& name);
    const PropValue* find(const std::wstring& name) const;
};

class FakeDxDiagProvider final : public IDxDiagProvider {
public:
    DxNode root;
    HRESULT initialize_result = S_OK;
    HRESULT root_result = S_OK;
    bool root_is_null = false;  // GetRootContainer: S_OK with no object

    // What Initialize was given, and every GetProp name asked for, in order.
    int initialize_calls = 0;
    DXDIAG_INIT_PARAMS init_params{};
    std::vector<std::wstring> prop_reads;

    LONG refs() const { return refs_; }
    // Containers handed out and not yet released (all providers together).
    static int live_containers();

    STDMETHOD_(HRESULT, QueryInterface)(REFIID riid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs_); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs_); }
    STDMETHOD_(HRESULT, Initialize)(DXDIAG_INIT_PARAMS* params) override;
    STDMETHOD_(HRESULT, GetRootContainer)(IDxDiagContainer** out) override;

private:
    LONG refs_ = 1;
};

// A node filled with every property a display device is read for, each of
// the right type; texts are "<name> <tag>".
DxNode display_device_node(const std::wstring& tag);
// A root with a complete "DxDiag_SystemInfo", `devices` display devices and
// one logical disk.
DxNode complete_root(int devices = 1);

}  // namespace qz::test
