#include "sysinfo/report.h"

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "win/com_ref.h"
#include "win/variant.h"

namespace qz::sysinfo {

namespace {

using Container = IDxDiagContainer;

bool get_prop(Container* c, const wchar_t* name, VARTYPE type, Variant& value) {
    return SUCCEEDED(c->GetProp(name, value.put())) && V_VT(value.get()) == type;
}

bool read_text(Container* c, const wchar_t* name, char* out, std::size_t size) {
    Variant v;
    if (!get_prop(c, name, VT_BSTR, v)) return false;
    to_narrow(V_BSTR(v.get()), out, size);
    return true;
}

template <std::size_t N>
bool read_text(Container* c, const wchar_t* name, char (&out)[N]) {
    return read_text(c, name, out, N);
}

bool read_u32(Container* c, const wchar_t* name, std::uint32_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_UI4, v)) return false;
    out = V_UI4(v.get());
    return true;
}

bool read_flag(Container* c, const wchar_t* name, std::uint32_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_BOOL, v)) return false;
    out = V_BOOL(v.get()) != 0 ? 1 : 0;
    return true;
}

// A decimal number carried as wide text, read the way _wtoi64 reads it.
bool read_wide_number(Container* c, const wchar_t* name, std::uint64_t& out) {
    Variant v;
    if (!get_prop(c, name, VT_BSTR, v)) return false;
    const wchar_t* text = V_BSTR(v.get());
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

// How a property is read: the type the service gives it and what the record
// keeps of it.
enum class Kind {
    text,         // VT_BSTR, kept as narrow text
    unused_text,  // VT_BSTR that must be there, though the record has no field for it
    u32,          // VT_UI4
    flag,         // VT_BOOL, kept as 1 or 0
    wide_number,  // VT_BSTR holding a decimal number, kept in 64 bits
};

// One property of a section and the field of the record it fills.
template <class Record>
struct Prop {
    const wchar_t* name;
    Kind kind;
    std::size_t offset;
    std::size_t size;
};

// A table entry whose field has the wrong size for its kind does not compile.
template <class Record>
constexpr Prop<Record> checked(const wchar_t* name, Kind kind, std::size_t offset, std::size_t size) {
    const bool fits = kind == Kind::text || size == (kind == Kind::wide_number ? 8u : 4u);
    return fits ? Prop<Record>{name, kind, offset, size} : throw "the field does not fit the property's kind";
}

// A property read into the record field of the same name.
#define QZ_PROP(Record, kind, field) \
    checked<Record>(L## #field, Kind::kind, offsetof(Record, field), sizeof(Record::field))

bool read_prop(Container* c, const wchar_t* name, Kind kind, char* field, std::size_t size) {
    switch (kind) {
        case Kind::text: return read_text(c, name, field, size);
        case Kind::unused_text: {
            char unused[kTextSize];
            return read_text(c, name, unused);
        }
        case Kind::u32: return read_u32(c, name, *reinterpret_cast<std::uint32_t*>(field));
        case Kind::flag: return read_flag(c, name, *reinterpret_cast<std::uint32_t*>(field));
        case Kind::wide_number: return read_wide_number(c, name, *reinterpret_cast<std::uint64_t*>(field));
    }
    return false;
}

// Reads the properties in their order into `record`, up to the first that is
// missing or of another type: the fields before it are filled, it and the
// later ones are left as they were.
template <class Record, std::size_t N>
bool read_props(Container* c, const Prop<Record> (&props)[N], Record& record) {
    for (const Prop<Record>& p : props) {
        if (!read_prop(c, p.name, p.kind, reinterpret_cast<char*>(&record) + p.offset, p.size)) return false;
    }
    return true;
}

using Device = DisplayDeviceInfo;
constexpr Prop<Device> kDeviceProps[] = {
    QZ_PROP(Device, text, szDescription),
    {L"szKeyDeviceID", Kind::unused_text, 0, 0},
    QZ_PROP(Device, text, szKeyDeviceKey),
    QZ_PROP(Device, text, szManufacturer),
    QZ_PROP(Device, text, szChipType),
    QZ_PROP(Device, text, szDACType),
    {L"szRevision", Kind::unused_text, 0, 0},
    QZ_PROP(Device, text, szDisplayMemoryEnglish),
    QZ_PROP(Device, u32, dwWidth),
    QZ_PROP(Device, u32, dwHeight),
    QZ_PROP(Device, u32, dwBpp),
    QZ_PROP(Device, u32, dwRefreshRate),
    QZ_PROP(Device, text, szMonitorName),
    QZ_PROP(Device, text, szDriverName),
    QZ_PROP(Device, text, szDriverVersion),
    QZ_PROP(Device, text, szDriverAttributes),
    QZ_PROP(Device, text, szVendorId),
    QZ_PROP(Device, text, szDeviceId),
    QZ_PROP(Device, text, szSubSysId),
    QZ_PROP(Device, text, szRevisionId),
    QZ_PROP(Device, u32, dwWHQLLevel),
    QZ_PROP(Device, flag, bDDAccelerationEnabled),
    QZ_PROP(Device, flag, b3DAccelerationExists),
    QZ_PROP(Device, flag, b3DAccelerationEnabled),
    QZ_PROP(Device, flag, bAGPEnabled),
};

using System = SysInfoReport;
constexpr Prop<System> kSystemProps[] = {
    QZ_PROP(System, u32, dwOSMajorVersion),
    QZ_PROP(System, u32, dwOSMinorVersion),
    QZ_PROP(System, u32, dwOSBuildNumber),
    QZ_PROP(System, u32, dwOSPlatformID),
    QZ_PROP(System, u32, dwDirectXVersionMajor),
    QZ_PROP(System, u32, dwDirectXVersionMinor),
    QZ_PROP(System, text, szDirectXVersionLetter),
    QZ_PROP(System, flag, bDebug),
    QZ_PROP(System, wide_number, ullPhysicalMemory),
    QZ_PROP(System, text, szProcessorEnglish),
    QZ_PROP(System, text, szSystemManufacturerEnglish),
    QZ_PROP(System, text, szSystemModelEnglish),
    QZ_PROP(System, text, szCSDVersion),
    QZ_PROP(System, text, szOSEnglish),
    QZ_PROP(System, text, szLanguagesEnglish),
};

#undef QZ_PROP

bool open_child(Container* parent, const wchar_t* name, ComRef<Container>& child) {
    return SUCCEEDED(parent->GetChildContainer(name, child.put())) && child;
}

// Child `index` of `parent`, opened under the name the service gives it;
// false when the service refuses the name (for instance one that does not
// fit the buffer) or the child.
bool open_child_at(Container* parent, DWORD index, ComRef<Container>& child) {
    wchar_t name[kChildNameSize];
    name[0] = L'\0';
    const HRESULT hr = parent->EnumChildContainerNames(index, name, kChildNameSize);
    name[kChildNameSize - 1] = L'\0';
    return SUCCEEDED(hr) && open_child(parent, name, child);
}

// Opens the list `name` of the root and gives its number of entries: 0 when
// it is missing or cannot count them.
DWORD open_list(Container* root, const wchar_t* name, ComRef<Container>& list) {
    DWORD n = 0;
    if (!open_child(root, name, list) || FAILED(list->GetNumberOfChildContainers(&n))) return 0;
    return n;
}

// The count is set only when the walk gets to its end; a failure on the way
// leaves it 0 and the device being read as far as it got.
void display_walk(Container* root, SysInfoReport& r) {
    ComRef<Container> devices;
    const DWORD n = open_list(root, L"DxDiag_DisplayDevices", devices);
    for (DWORD i = 0; i < n; ++i) {
        if (i == kMaxDisplayDevices) {
            r.dwDisplayDeviceCount = kMaxDisplayDevices;
            return;
        }
        ComRef<Container> device;
        if (!open_child_at(devices.get(), i, device) || !read_props(device.get(), kDeviceProps, r.displayDevices[i]))
            return;
    }
    r.dwDisplayDeviceCount = n;
}

void first_disk(Container* root, SysInfoReport& r) {
    ComRef<Container> disks;
    ComRef<Container> disk;
    if (open_list(root, L"DxDiag_LogicalDisks", disks) == 0 || !open_child_at(disks.get(), 0, disk)) return;
    read_narrow_number(disk.get(), L"szFreeSpace", r.ullFreeSpace) &&
        read_narrow_number(disk.get(), L"szMaxSpace", r.ullMaxSpace);
}

void system_section(Container* root, SysInfoReport& r) {
    ComRef<Container> sys;
    if (!open_child(root, L"DxDiag_SystemInfo", sys)) return;
    if (!read_props(sys.get(), kSystemProps, r)) return;
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
