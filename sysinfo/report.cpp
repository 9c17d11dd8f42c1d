#include "sysinfo/report.h"

#include <oleauto.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "host/com_ref.h"

namespace qz::sysinfo {

namespace {

using Container = IDxDiagContainer;

// A VARIANT that is initialised before the read and cleared after it, also
// when the read failed or the value had the wrong type.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT& operator*() const { return v_; }

private:
    VARIANT v_;
};

bool get_prop(Container* c, const wchar_t* name, VARTYPE type, Variant& value) {
    return SUCCEEDED(c->GetProp(name, value.get())) && V_VT(&*value) == type;
}

bool read_text(Container* c, const wchar_t* name, char* out, std::size_t size) {
    Variant v;
    if (!get_prop(c, name, VT_BSTR, v)) return false;
    to_narrow(V_BSTR(&*v), out, size);
    return true;
}

template <std::size_t N>
bool read_text(Container* c, const wchar_t* name, char (&out)[N]) {
    return read_text(c, name, out, N);
}

bool read_u32(Container* c, const wchar_t* name, std::uint32_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_UI4, v)) return false;
    out = V_UI4(&*v);
    return true;
}

bool read_flag(Container* c, const wchar_t* name, std::uint32_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_BOOL, v)) return false;
    out = V_BOOL(&*v) != 0 ? 1 : 0;
    return true;
}

// A decimal number carried as wide text, read the way _wtoi64 reads it.
bool read_wide_number(Container* c, const wchar_t* name, std::uint64_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_BSTR, v)) return false;
    const wchar_t* text = V_BSTR(&*v);
    out = static_cast<std::uint64_t>(_wtoi64(text ? text : L""));
    return true;
}

// A disk size: the text as narrow text first, then parsed in base 10.
bool read_narrow_number(Container* c, const wchar_t* name, std::uint64_t& out) {
    char scratch[kTextSize];
    if (!read_text(c, name, scratch)) return false;
    out = _strtoui64(scratch, nullptr, 10);
    return true;
}

bool open_child(Container* parent, const wchar_t* name, ComRef<Container>& child) {
    return SUCCEEDED(parent->GetChildContainer(name, child.put())) && child;
}

// The name of child `index`, always terminated; false when the service
// refuses (for instance a name that does not fit the buffer).
bool child_name(Container* parent, DWORD index, wchar_t (&name)[kChildNameSize]) {
    name[0] = L'\0';
    const HRESULT hr = parent->EnumChildContainerNames(index, name, kChildNameSize);
    name[kChildNameSize - 1] = L'\0';
    return SUCCEEDED(hr);
}

bool read_device(Container* c, DisplayDeviceInfo& d) {
    char unused[kTextSize];
    return read_text(c, L"szDescription", d.szDescription) &&
           read_text(c, L"szKeyDeviceID", unused) &&
           read_text(c, L"szKeyDeviceKey", d.szKeyDeviceKey) &&
           read_text(c, L"szManufacturer", d.szManufacturer) &&
           read_text(c, L"szChipType", d.szChipType) &&
           read_text(c, L"szDACType", d.szDACType) &&
           read_text(c, L"szRevision", unused) &&
           read_text(c, L"szDisplayMemoryEnglish", d.szDisplayMemoryEnglish) &&
           read_u32(c, L"dwWidth", d.dwWidth) &&
           read_u32(c, L"dwHeight", d.dwHeight) &&
           read_u32(c, L"dwBpp", d.dwBpp) &&
           read_u32(c, L"dwRefreshRate", d.dwRefreshRate) &&
           read_text(c, L"szMonitorName", d.szMonitorName) &&
           read_text(c, L"szDriverName", d.szDriverName) &&
           read_text(c, L"szDriverVersion", d.szDriverVersion) &&
           read_text(c, L"szDriverAttributes", d.szDriverAttributes) &&
           read_text(c, L"szVendorId", d.szVendorId) &&
           read_text(c, L"szDeviceId", d.szDeviceId) &&
           read_text(c, L"szSubSysId", d.szSubSysId) &&
           read_text(c, L"szRevisionId", d.szRevisionId) &&
           read_u32(c, L"dwWHQLLevel", d.dwWHQLLevel) &&
           read_flag(c, L"bDDAccelerationEnabled", d.bDDAccelerationEnabled) &&
           read_flag(c, L"b3DAccelerationExists", d.b3DAccelerationExists) &&
           read_flag(c, L"b3DAccelerationEnabled", d.b3DAccelerationEnabled) &&
           read_flag(c, L"bAGPEnabled", d.bAGPEnabled);
}

// The count is set only when the walk gets to its end; a failure on the way
// leaves it 0 and the device being read as far as it got.
void display_walk(Container* root, SysInfoReport& r) {
    ComRef<Container> devices;
    if (!open_child(root, L"DxDiag_DisplayDevices", devices)) return;
    DWORD n = 0;
    if (FAILED(devices->GetNumberOfChildContainers(&n)) || n == 0) {
        r.dwDisplayDeviceCount = 0;
        return;
    }
    for (DWORD i = 0; i < n; ++i) {
        if (i == kMaxDisplayDevices) {
            r.dwDisplayDeviceCount = kMaxDisplayDevices;
            return;
        }
        wchar_t name[kChildNameSize];
        if (!child_name(devices.get(), i, name)) return;
        ComRef<Container> device;
        if (!open_child(devices.get(), name, device)) return;
        if (!read_device(device.get(), r.displayDevices[i])) return;
    }
    r.dwDisplayDeviceCount = n;
}

void first_disk(Container* root, SysInfoReport& r) {
    ComRef<Container> disks;
    if (!open_child(root, L"DxDiag_LogicalDisks", disks)) return;
    DWORD n = 0;
    if (FAILED(disks->GetNumberOfChildContainers(&n)) || n == 0) return;
    wchar_t name[kChildNameSize];
    if (!child_name(disks.get(), 0, name)) return;
    ComRef<Container> disk;
    if (!open_child(disks.get(), name, disk)) return;
    read_narrow_number(disk.get(), L"szFreeSpace", r.ullFreeSpace) &&
        read_narrow_number(disk.get(), L"szMaxSpace", r.ullMaxSpace);
}

void system_section(Container* root, SysInfoReport& r) {
    ComRef<Container> sys;
    if (!open_child(root, L"DxDiag_SystemInfo", sys)) return;
    Container* c = sys.get();
    const bool complete =
        read_u32(c, L"dwOSMajorVersion", r.dwOSMajorVersion) &&
        read_u32(c, L"dwOSMinorVersion", r.dwOSMinorVersion) &&
        read_u32(c, L"dwOSBuildNumber", r.dwOSBuildNumber) &&
        read_u32(c, L"dwOSPlatformID", r.dwOSPlatformID) &&
        read_u32(c, L"dwDirectXVersionMajor", r.dwDirectXVersionMajor) &&
        read_u32(c, L"dwDirectXVersionMinor", r.dwDirectXVersionMinor) &&
        read_text(c, L"szDirectXVersionLetter", r.szDirectXVersionLetter) &&
        read_flag(c, L"bDebug", r.bDebug) &&
        read_wide_number(c, L"ullPhysicalMemory", r.ullPhysicalMemory) &&
        read_text(c, L"szProcessorEnglish", r.szProcessorEnglish) &&
        read_text(c, L"szSystemManufacturerEnglish", r.szSystemManufacturerEnglish) &&
        read_text(c, L"szSystemModelEnglish", r.szSystemModelEnglish) &&
        read_text(c, L"szCSDVersion", r.szCSDVersion) &&
        read_text(c, L"szOSEnglish", r.szOSEnglish) &&
        read_text(c, L"szLanguagesEnglish", r.szLanguagesEnglish);
    if (!complete) return;
    format_os_name(r);
    display_walk(root, r);
    first_disk(root, r);
}

void processor_section(SysInfoReport& r) {
    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof si);
    GetSystemInfo(&si);
    r.wProcessorArchitecture = si.wProcessorArchitecture;
    r.dwNumberOfProcessors = si.dwNumberOfProcessors;
    r.dwProcessorType = si.dwProcessorType;
    r.wProcessorLevel = si.wProcessorLevel;
    r.wProcessorRevision = si.wProcessorRevision;
}

bool high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

DXDIAG_INIT_PARAMS init_params() noexcept {
    DXDIAG_INIT_PARAMS p;
    std::memset(&p, 0, sizeof p);
    p.dwSize = sizeof(DXDIAG_INIT_PARAMS);
    p.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
    p.bAllowWHQLChecks = TRUE;
    p.pReserved = nullptr;
    return p;
}

void to_narrow(const wchar_t* text, char* out, std::size_t size) noexcept {
    if (!out || size == 0) return;
    std::size_t used = 0;
    for (const wchar_t* p = text; p && *p; ++p) {
        char bytes[MB_LEN_MAX];
        std::mbstate_t state{};
        std::size_t n = std::wcrtomb(bytes, *p, &state);
        if (n == static_cast<std::size_t>(-1)) {
            bytes[0] = '?';
            n = 1;
            if (high_surrogate(p[0]) && low_surrogate(p[1])) ++p;  // one character, one '?'
        }
        if (used + n > size - 1) break;
        std::memcpy(out + used, bytes, n);
        used += n;
    }
    out[used] = '\0';
}

void format_os_name(SysInfoReport& r) noexcept {
    // A bounded formatter that cuts an overlong line instead of failing.
    std::snprintf(r.szOSName, sizeof r.szOSName, "%s %u.%u %s %u", r.szOSEnglish,
                  static_cast<unsigned>(r.dwOSMajorVersion), static_cast<unsigned>(r.dwOSMinorVersion),
                  r.szCSDVersion, static_cast<unsigned>(r.dwOSBuildNumber));
}

bool prepare(IDxDiagProvider* provider, SysInfoReport& report) {
    if (!provider) return false;
    DXDIAG_INIT_PARAMS params = init_params();
    if (FAILED(provider->Initialize(&params))) return false;
    ComRef<Container> root;
    if (FAILED(provider->GetRootContainer(root.put())) || !root) return false;
    std::memset(&report, 0, sizeof report);
    system_section(root.get(), report);
    processor_section(report);
    return true;
}

bool prepare_from_system(SysInfoReport& report) {
    ComRef<IDxDiagProvider> provider;
    const HRESULT hr = CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                        reinterpret_cast<void**>(provider.put()));
    if (FAILED(hr) || !provider) return false;
    return prepare(provider.get(), report);
}

std::uint32_t mib_from_bytes(std::uint64_t bytes) noexcept { return static_cast<std::uint32_t>(bytes >> 20); }

std::uint32_t installed_ram_mb() noexcept {
    MEMORYSTATUSEX status;
    std::memset(&status, 0, sizeof status);
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return mib_from_bytes(status.ullTotalPhys);
}

}  // namespace qz::sysinfo
