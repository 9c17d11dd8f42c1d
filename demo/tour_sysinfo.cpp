#include <objbase.h>

#include <cstdint>
#include <cstdio>

#include "demo/demo.h"
#include "sysinfo/report.h"

namespace {

// The host, not the library, joins a COM apartment before asking for the report.
struct Apartment {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
};

void print_getters(qz::demo::Context& ctx) {
    std::printf("QZ_SysInfo_GetDeviceName() = \"%s\"\n", QZ_FN(ctx.lib, QZ_SysInfo_GetDeviceName)());
    std::printf("QZ_SysInfo_GetVRam()       = \"%s\"\n", QZ_FN(ctx.lib, QZ_SysInfo_GetVRam)());
    std::printf("QZ_SysInfo_GetOSName()     = \"%s\"\n", QZ_FN(ctx.lib, QZ_SysInfo_GetOSName)());
}

void tour(qz::demo::Context& ctx) {
    Apartment com;
    QZ_FN(ctx.lib, QZ_SysInfo_Hazirla)();
    print_getters(ctx);
    std::printf("QZ_GetRamMB()              = %u\n", QZ_FN(ctx.lib, QZ_GetRamMB)());
}

void print_record(const qz::sysinfo::SysInfoReport& r) {
    std::printf("  OS %u.%u build %u, platform %u\n", r.dwOSMajorVersion, r.dwOSMinorVersion, r.dwOSBuildNumber,
                r.dwOSPlatformID);
    std::printf("  szOSEnglish \"%s\", szCSDVersion \"%s\"\n", r.szOSEnglish, r.szCSDVersion);
    std::printf("  szLanguagesEnglish \"%s\"\n  szOSName \"%s\"\n", r.szLanguagesEnglish, r.szOSName);
    std::printf("  DirectX %u.%u%s, debug %u\n", r.dwDirectXVersionMajor, r.dwDirectXVersionMinor,
                r.szDirectXVersionLetter, r.bDebug);
    std::printf("  first disk: %llu of %llu bytes free\n", static_cast<unsigned long long>(r.ullFreeSpace),
                static_cast<unsigned long long>(r.ullMaxSpace));
    std::printf("  physical memory %llu bytes\n", static_cast<unsigned long long>(r.ullPhysicalMemory));
    std::printf("  processor \"%s\"; maker \"%s\", model \"%s\"\n", r.szProcessorEnglish,
                r.szSystemManufacturerEnglish, r.szSystemModelEnglish);
    std::printf("  architecture %u, %u processors, type %u, level %u, revision 0x%04x\n", r.wProcessorArchitecture,
                r.dwNumberOfProcessors, r.dwProcessorType, r.wProcessorLevel, r.wProcessorRevision);
    // The count is set only by a walk that ran to its end; devices read by a
    // walk that stopped early are shown too.
    std::printf("  display devices: %u\n", r.dwDisplayDeviceCount);
    for (std::uint32_t i = 0; i < qz::sysinfo::kMaxDisplayDevices; ++i) {
        if (i >= r.dwDisplayDeviceCount && !r.displayDevices[i].szDescription[0]) break;
        const auto& d = r.displayDevices[i];
        std::printf("  [%u] \"%s\" by \"%s\", chip \"%s\", DAC \"%s\", memory \"%s\"\n", i, d.szDescription,
                    d.szManufacturer, d.szChipType, d.szDACType, d.szDisplayMemoryEnglish);
        std::printf("      key \"%s\", monitor \"%s\", %ux%u, %u bpp, %u Hz\n", d.szKeyDeviceKey, d.szMonitorName,
                    d.dwWidth, d.dwHeight, d.dwBpp, d.dwRefreshRate);
        std::printf("      driver \"%s\" \"%s\" \"%s\", WHQL %u\n", d.szDriverName, d.szDriverVersion,
                    d.szDriverAttributes, d.dwWHQLLevel);
        std::printf("      vendor \"%s\" device \"%s\" subsys \"%s\" revision \"%s\"\n", d.szVendorId, d.szDeviceId,
                    d.szSubSysId, d.szRevisionId);
        std::printf("      DirectDraw acceleration %u, 3D exists %u, 3D enabled %u, AGP %u\n",
                    d.bDDAccelerationEnabled, d.b3DAccelerationExists, d.b3DAccelerationEnabled, d.bAGPEnabled);
    }
}

int command_sysinfo(qz::demo::Context& ctx, int, char**) {
    Apartment com;
    if (FAILED(com.hr)) std::printf("(COM could not be initialised: the report stays empty)\n");
    QZ_FN(ctx.lib, QZ_SysInfo_Hazirla)();
    print_getters(ctx);
    // The library hands out three texts of its record; the whole record is
    // shown by running the library's report code here, on the same service.
    static qz::sysinfo::SysInfoReport record{};
    const bool built = qz::sysinfo::prepare_from_system(record);
    std::printf("the whole report record%s:\n", built ? "" : " (the service was not available)");
    print_record(record);
    std::printf("QZ_GetRamMB() = %u MiB installed\n", QZ_FN(ctx.lib, QZ_GetRamMB)());
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(70, "System information: QZ_SysInfo_Hazirla and its getters, QZ_GetRamMB", tour);
QZ_DEMO_COMMAND("sysinfo", "   the hardware and system report: the getters, the whole record, installed memory",
                command_sysinfo);
