#include "fake_dxdiag.h"

#include <cwchar>

namespace qz::test {

namespace {

int g_live_containers = 0;

class FakeContainer final : public IDxDiagContainer {
public:
    FakeContainer(FakeDxDiagProvider& owner, const DxNode& node) : owner_(owner), node_(node) { ++g_live_containers; }

    STDMETHOD_(HRESULT, QueryInterface)(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDxDiagContainer)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs_); }
    STDMETHOD_(ULONG, Release)() override {
        const LONG left = --refs_;
        if (left == 0) {
            --g_live_containers;
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    STDMETHOD_(HRESULT, GetNumberOfChildContainers)(DWORD* count) override {
        if (!count) return E_INVALIDARG;
        if (FAILED(node_.count_result)) return node_.count_result;
        *count = static_cast<DWORD>(node_.children.size());
        return S_OK;
    }
    // Like the service: a name that does not fit leaves an empty buffer and
    // answers DXDIAG_E_INSUFFICIENT_BUFFER.
    STDMETHOD_(HRESULT, EnumChildContainerNames)(DWORD index, LPWSTR name, DWORD size) override {
        if (!name || size == 0) return E_INVALIDARG;
        if (FAILED(node_.enum_result)) return node_.enum_result;
        if (index >= node_.children.size()) return E_INVALIDARG;
        const std::wstring& n = node_.children[index].first;
        if (n.size() >= size) {
            name[0] = L'\0';
            return DXDIAG_E_INSUFFICIENT_BUFFER;
        }
        std::wmemcpy(name, n.c_str(), n.size() + 1);
        return S_OK;
    }
    STDMETHOD_(HRESULT, GetChildContainer)(LPCWSTR name, IDxDiagContainer** out) override {
        if (!name || !out) return E_INVALIDARG;
        *out = nullptr;
        for (const auto& [child_name, child] : node_.children) {
            if (child_name == name) {
                if (child.opens_as_null) return S_OK;
                *out = new FakeContainer(owner_, child);
                return S_OK;
            }
        }
        return E_INVALIDARG;
    }
    STDMETHOD_(HRESULT, GetNumberOfProps)(DWORD* count) override {
        if (!count) return E_INVALIDARG;
        *count = static_cast<DWORD>(node_.props.size());
        return S_OK;
    }
    STDMETHOD_(HRESULT, EnumPropNames)(DWORD, LPWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHOD_(HRESULT, GetProp)(LPCWSTR name, VARIANT* out) override {
        if (!name || !out) return E_INVALIDARG;
        owner_.prop_reads.emplace_back(name);
        const PropValue* p = node_.find(name);
        if (!p) return E_INVALIDARG;
        VariantClear(out);
        V_VT(out) = p->type;
        switch (p->type) {
        case VT_BSTR: V_BSTR(out) = p->null_text ? nullptr : SysAllocString(p->text.c_str()); break;
        case VT_UI4: V_UI4(out) = p->number; break;
        case VT_I4: V_I4(out) = static_cast<LONG>(p->number); break;
        case VT_BOOL: V_BOOL(out) = p->number ? VARIANT_TRUE : VARIANT_FALSE; break;
        case VT_UNKNOWN:
            V_UNKNOWN(out) = p->object;
            if (p->object) p->object->AddRef();
            break;
        default: break;
        }
        return S_OK;
    }

private:
    ~FakeContainer() = default;
    FakeDxDiagProvider& owner_;
    const DxNode& node_;
    LONG refs_ = 1;
};

}  // namespace

HRESULT CountedUnknown::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown)) {
        *out = this;
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

PropValue PropValue::str(std::wstring t) {
    PropValue v;
    v.type = VT_BSTR;
    v.text = std::move(t);
    return v;
}
PropValue PropValue::null_str() {
    PropValue v;
    v.type = VT_BSTR;
    v.null_text = true;
    return v;
}
PropValue PropValue::u32(std::uint32_t n) {
    PropValue v;
    v.type = VT_UI4;
    v.number = n;
    return v;
}
PropValue PropValue::i32(std::int32_t n) {
    PropValue v;
    v.type = VT_I4;
    v.number = static_cast<std::uint32_t>(n);
    return v;
}
PropValue PropValue::flag(bool b) {
    PropValue v;
    v.type = VT_BOOL;
    v.number = b ? 1 : 0;
    return v;
}
PropValue PropValue::unknown(IUnknown* p) {
    PropValue v;
    v.type = VT_UNKNOWN;
    v.object = p;
    return v;
}

DxNode& DxNode::set(const std::wstring& name, PropValue value) {
    for (auto& [n, v] : props) {
        if (n == name) {
            v = std::move(value);
            return *this;
        }
    }
    props.emplace_back(name, std::move(value));
    return *this;
}

DxNode& DxNode::erase(const std::wstring& name) {
    for (auto it = props.begin(); it != props.end(); ++it) {
        if (it->first == name) {
            props.erase(it);
            break;
        }
    }
    return *this;
}

DxNode& DxNode::child(const std::wstring& name) {
    for (auto& [n, c] : children)
        if (n == name) return c;
    children.emplace_back(name, DxNode{});
    return children.back().second;
}

const PropValue* DxNode::find(const std::wstring& name) const {
    for (const auto& [n, v] : props)
        if (n == name) return &v;
    return nullptr;
}

int FakeDxDiagProvider::live_containers() { return g_live_containers; }

HRESULT FakeDxDiagProvider::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDxDiagProvider)) {
        *out = this;
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

HRESULT FakeDxDiagProvider::Initialize(DXDIAG_INIT_PARAMS* params) {
    ++initialize_calls;
    if (params) init_params = *params;
    return initialize_result;
}

HRESULT FakeDxDiagProvider::GetRootContainer(IDxDiagContainer** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (FAILED(root_result)) return root_result;
    if (!root_is_null) *out = new FakeContainer(*this, root);
    return S_OK;
}

DxNode display_device_node(const std::wstring& tag) {
    DxNode d;
    for (const wchar_t* name :
         {L"szDescription", L"szKeyDeviceID", L"szKeyDeviceKey", L"szManufacturer", L"szChipType", L"szDACType",
          L"szRevision", L"szDisplayMemoryEnglish", L"szMonitorName", L"szDriverName", L"szDriverVersion",
          L"szDriverAttributes", L"szVendorId", L"szDeviceId", L"szSubSysId", L"szRevisionId"})
        d.set(name, PropValue::str(std::wstring(name) + L" " + tag));
    d.set(L"dwWidth", PropValue::u32(1024));
    d.set(L"dwHeight", PropValue::u32(768));
    d.set(L"dwBpp", PropValue::u32(32));
    d.set(L"dwRefreshRate", PropValue::u32(60));
    d.set(L"dwWHQLLevel", PropValue::u32(1));
    d.set(L"bDDAccelerationEnabled", PropValue::flag(true));
    d.set(L"b3DAccelerationExists", PropValue::flag(true));
    d.set(L"b3DAccelerationEnabled", PropValue::flag(false));
    d.set(L"bAGPEnabled", PropValue::flag(true));
    return d;
}

DxNode complete_root(int devices) {
    DxNode root;
    DxNode& sys = root.child(L"DxDiag_SystemInfo");
    sys.set(L"dwOSMajorVersion", PropValue::u32(6))
        .set(L"dwOSMinorVersion", PropValue::u32(1))
        .set(L"dwOSBuildNumber", PropValue::u32(7601))
        .set(L"dwOSPlatformID", PropValue::u32(2))
        .set(L"dwDirectXVersionMajor", PropValue::u32(9))
        .set(L"dwDirectXVersionMinor", PropValue::u32(0))
        .set(L"szDirectXVersionLetter", PropValue::str(L"c"))
        .set(L"bDebug", PropValue::flag(false))
        .set(L"ullPhysicalMemory", PropValue::str(L"8589934592"))
        .set(L"szProcessorEnglish", PropValue::str(L"Test CPU"))
        .set(L"szSystemManufacturerEnglish", PropValue::str(L"Test Maker"))
        .set(L"szSystemModelEnglish", PropValue::str(L"Test Model"))
        .set(L"szCSDVersion", PropValue::str(L"Service Pack 1"))
        .set(L"szOSEnglish", PropValue::str(L"Windows 7 Ultimate 64-bit"))
        .set(L"szLanguagesEnglish", PropValue::str(L"English (Regional Setting: English)"));
    DxNode& displays = root.child(L"DxDiag_DisplayDevices");
    for (int i = 0; i < devices; ++i) displays.child(std::to_wstring(i)) = display_device_node(std::to_wstring(i));
    DxNode& disks = root.child(L"DxDiag_LogicalDisks");
    disks.child(L"0").set(L"szFreeSpace", PropValue::str(L"1000000")).set(L"szMaxSpace", PropValue::str(L"5000000"));
    disks.child(L"1").set(L"szFreeSpace", PropValue::str(L"7")).set(L"szMaxSpace", PropValue::str(L"9"));
    return root;
}

}  // namespace qz::test
