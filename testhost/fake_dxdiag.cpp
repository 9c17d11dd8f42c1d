#include "testhost/fake_dxdiag.h"

#include <algorithm>
#include <cwchar>

#include "testhost/fault/gate.h"

namespace qz::test {

namespace {

int g_live_containers = 0;

template <class T>
T* find(std::vector<std::pair<std::wstring, T>>& list, const wchar_t* name) {
    for (auto& [n, v] : list)
        if (n == name) return &v;
    return nullptr;
}

class FakeContainer final : public IDxDiagContainer {
public:
    FakeContainer(FakeDxDiagProvider& owner, DxNode& node) : owner_(owner), node_(node) { ++g_live_containers; }

    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs_); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = --refs_;
        if (left == 0) {
            --g_live_containers;
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    STDMETHOD(GetNumberOfChildContainers)(DWORD* count) override {
        if (const HRESULT hr = com_gate("IDxDiagContainer::GetNumberOfChildContainers", E_FAIL); FAILED(hr)) return hr;
        if (SUCCEEDED(node_.count_result)) *count = static_cast<DWORD>(node_.children.size());
        return node_.count_result;
    }
    // Like the service: a name that does not fit leaves the buffer empty.
    STDMETHOD(EnumChildContainerNames)(DWORD index, LPWSTR name, DWORD size) override {
        if (const HRESULT hr = com_gate("IDxDiagContainer::EnumChildContainerNames", E_FAIL); FAILED(hr)) return hr;
        if (FAILED(node_.enum_result)) return node_.enum_result;
        if (index >= node_.children.size()) return E_INVALIDARG;
        const std::wstring& n = node_.children[index].first;
        name[0] = L'\0';
        if (n.size() >= size) return DXDIAG_E_INSUFFICIENT_BUFFER;
        std::wmemcpy(name, n.c_str(), n.size() + 1);
        return S_OK;
    }
    STDMETHOD(GetChildContainer)(LPCWSTR name, IDxDiagContainer** out) override {
        *out = nullptr;
        if (const HRESULT hr = com_gate("IDxDiagContainer::GetChildContainer", E_OUTOFMEMORY); FAILED(hr)) return hr;
        DxNode* child = find(node_.children, name);
        if (!child) return E_INVALIDARG;
        if (!child->opens_as_null) *out = new FakeContainer(owner_, *child);
        return S_OK;
    }
    STDMETHOD(GetNumberOfProps)(DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(EnumPropNames)(DWORD, LPWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHOD(GetProp)(LPCWSTR name, VARIANT* out) override {
        owner_.prop_reads.emplace_back(name);
        if (const HRESULT hr = com_gate("IDxDiagContainer::GetProp", E_OUTOFMEMORY); FAILED(hr)) return hr;
        const PropValue* p = find(node_.props, name);
        if (!p) return E_INVALIDARG;
        VariantClear(out);
        V_VT(out) = p->type;
        switch (p->type) {
        case VT_BSTR: V_BSTR(out) = p->null_text ? nullptr : SysAllocString(p->text.c_str()); break;
        case VT_UI4: V_UI4(out) = p->number; break;
        case VT_BOOL: V_BOOL(out) = p->number ? VARIANT_TRUE : VARIANT_FALSE; break;
        case VT_UNKNOWN: (V_UNKNOWN(out) = p->object)->AddRef(); break;
        default: break;
        }
        return S_OK;
    }

private:
    ~FakeContainer() = default;
    FakeDxDiagProvider& owner_;
    DxNode& node_;
    LONG refs_ = 1;
};

}  // namespace

DxNode& DxNode::set(const std::wstring& name, PropValue value) {
    if (PropValue* v = find(props, name.c_str())) *v = std::move(value);
    else props.emplace_back(name, std::move(value));
    return *this;
}

DxNode& DxNode::erase(const std::wstring& name) {
    const auto named = [&](const auto& p) { return p.first == name; };
    props.erase(std::remove_if(props.begin(), props.end(), named), props.end());
    return *this;
}

DxNode& DxNode::child(const std::wstring& name) {
    if (DxNode* c = find(children, name.c_str())) return *c;
    return children.emplace_back(name, DxNode{}).second;
}

int FakeDxDiagProvider::live_containers() { return g_live_containers; }

HRESULT FakeDxDiagProvider::Initialize(DXDIAG_INIT_PARAMS* params) {
    init_params = *params;
    if (const HRESULT hr = com_gate("IDxDiagProvider::Initialize", E_OUTOFMEMORY); FAILED(hr)) return hr;
    return initialize_result;
}

HRESULT FakeDxDiagProvider::GetRootContainer(IDxDiagContainer** out) {
    *out = nullptr;
    if (const HRESULT hr = com_gate("IDxDiagProvider::GetRootContainer", E_OUTOFMEMORY); FAILED(hr)) return hr;
    if (SUCCEEDED(root_result) && !root_is_null) *out = new FakeContainer(*this, root);
    return root_result;
}

DxNode complete_root(int devices) {
    DxNode root;
    root.child(L"DxDiag_SystemInfo")
        .set(L"dwOSMajorVersion", u32(6)).set(L"dwOSMinorVersion", u32(1)).set(L"dwOSBuildNumber", u32(7601))
        .set(L"dwOSPlatformID", u32(2)).set(L"dwDirectXVersionMajor", u32(9)).set(L"dwDirectXVersionMinor", u32(3))
        .set(L"szDirectXVersionLetter", str(L"c")).set(L"bDebug", flag(true))
        .set(L"ullPhysicalMemory", str(L"8589934592")).set(L"szProcessorEnglish", str(L"Test CPU"))
        .set(L"szSystemManufacturerEnglish", str(L"Test Maker")).set(L"szSystemModelEnglish", str(L"Test Model"))
        .set(L"szCSDVersion", str(L"Service Pack 1")).set(L"szOSEnglish", str(L"Windows 7 Ultimate 64-bit"))
        .set(L"szLanguagesEnglish", str(L"English (Regional Setting: English)"));
    DxNode& displays = root.child(L"DxDiag_DisplayDevices");
    for (int i = 0; i < devices; ++i) {
        const std::wstring tag = L" " + std::to_wstring(i);
        DxNode& d = displays.child(std::to_wstring(i));
        for (const wchar_t* name : {L"szDescription", L"szKeyDeviceID", L"szKeyDeviceKey", L"szManufacturer",
                                    L"szChipType", L"szDACType", L"szRevision", L"szDisplayMemoryEnglish",
                                    L"szMonitorName", L"szDriverName", L"szDriverVersion", L"szDriverAttributes",
                                    L"szVendorId", L"szDeviceId", L"szSubSysId", L"szRevisionId"})
            d.set(name, str(name + tag));
        d.set(L"dwWidth", u32(1024)).set(L"dwHeight", u32(768)).set(L"dwBpp", u32(32)).set(L"dwRefreshRate", u32(60));
        d.set(L"dwWHQLLevel", u32(1)).set(L"bDDAccelerationEnabled", flag(true))
            .set(L"b3DAccelerationExists", flag(true)).set(L"b3DAccelerationEnabled", flag(false))
            .set(L"bAGPEnabled", flag(true));
    }
    DxNode& disks = root.child(L"DxDiag_LogicalDisks");
    disks.child(L"0").set(L"szFreeSpace", str(L"1000000")).set(L"szMaxSpace", str(L"5000000"));
    disks.child(L"1").set(L"szFreeSpace", str(L"7")).set(L"szMaxSpace", str(L"9"));
    return root;
}

}  // namespace qz::test
