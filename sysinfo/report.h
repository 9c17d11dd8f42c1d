// The hardware and system report: one process-wide record filled from the
// DirectX diagnostic service in a fixed order, where a failed read ends the
// section that made it. The library never initialises COM; the caller's
// thread must already be in an apartment.
#pragma once
#include <windows.h>
#include <dxdiag.h>

#include <cstddef>
#include <cstdint>

namespace qz::sysinfo {

constexpr std::size_t kTextSize = 128;
constexpr std::size_t kMaxDisplayDevices = 16;
constexpr DWORD kChildNameSize = 256;  // wide characters, terminator included

struct DisplayDeviceInfo {
    char szDescription[kTextSize];
    char szKeyDeviceKey[kTextSize];
    char szManufacturer[kTextSize];
    char szChipType[kTextSize];
    char szDACType[kTextSize];
    char szDisplayMemoryEnglish[kTextSize];
    char szMonitorName[kTextSize];
    std::uint32_t dwWidth;
    std::uint32_t dwHeight;
    std::uint32_t dwBpp;
    std::uint32_t dwRefreshRate;
    char szDriverName[kTextSize];
    char szDriverVersion[kTextSize];
    char szDriverAttributes[kTextSize];
    char szVendorId[kTextSize];
    char szDeviceId[kTextSize];
    char szSubSysId[kTextSize];
    char szRevisionId[kTextSize];
    std::uint32_t dwWHQLLevel;
    std::uint32_t bDDAccelerationEnabled;
    std::uint32_t b3DAccelerationEnabled;
    std::uint32_t b3DAccelerationExists;
    std::uint32_t bAGPEnabled;
};

struct SysInfoReport {
    std::uint32_t dwOSMajorVersion;
    std::uint32_t dwOSMinorVersion;
    std::uint32_t dwOSBuildNumber;
    std::uint32_t dwOSPlatformID;
    char szOSEnglish[kTextSize];
    char szCSDVersion[kTextSize];
    char szLanguagesEnglish[kTextSize];
    char szOSName[kTextSize];
    std::uint32_t dwDirectXVersionMajor;
    std::uint32_t dwDirectXVersionMinor;
    char szDirectXVersionLetter[3];
    std::uint32_t bDebug;
    std::uint64_t ullMaxSpace;
    std::uint64_t ullFreeSpace;
    std::uint64_t ullPhysicalMemory;
    char szProcessorEnglish[kTextSize];
    char szSystemManufacturerEnglish[kTextSize];
    char szSystemModelEnglish[kTextSize];
    std::uint16_t wProcessorArchitecture;
    std::uint32_t dwNumberOfProcessors;
    std::uint32_t dwProcessorType;
    std::uint16_t wProcessorLevel;
    std::uint16_t wProcessorRevision;
    std::uint32_t dwDisplayDeviceCount;
    DisplayDeviceInfo displayDevices[kMaxDisplayDevices];
};

// The service's init block: its size field is sizeof the structure, which is
// 16 bytes in the 32-bit build (24 on x86_64, where 16 is refused).
#if defined(__i386__)
static_assert(sizeof(DXDIAG_INIT_PARAMS) == 16, "DXDIAG_INIT_PARAMS is 16 bytes on 32-bit Windows");
#endif
DXDIAG_INIT_PARAMS init_params() noexcept;

// Builds the report from a provider the caller owns (the provider gets back
// every reference taken here). The provider is this code's seam: the export
// passes the system's, tests their own service. Returns false, with the report untouched, when
// Initialize or GetRootContainer fails; otherwise the report is cleared and
// refilled as far as the service answers, and the processor fields always.
bool prepare(IDxDiagProvider* provider, SysInfoReport& report);

// The same with the system's provider, created with CoCreateInstance; false
// also when it cannot be created (no COM on this thread, not registered).
bool prepare_from_system(SysInfoReport& report);

// Wide text to the record's narrow text in the runtime's current locale: at
// most size - 1 bytes and always terminated, a character the locale cannot
// represent becomes '?', a multibyte character is never split. Null: empty.
void to_narrow(const wchar_t* text, char* out, std::size_t size) noexcept;

// "%s %u.%u %s %u" from the OS fields into szOSName, cut to 127 characters.
void format_os_name(SysInfoReport& report) noexcept;

// Installed memory in MiB, rounded down, low 32 bits.
std::uint32_t mib_from_bytes(std::uint64_t bytes) noexcept;
// GlobalMemoryStatusEx's total physical memory in MiB; 0 if the query fails.
std::uint32_t installed_ram_mb() noexcept;

}  // namespace qz::sysinfo
