#include <cstdint>

#include "host/shim.h"
#include "sysinfo/report.h"

namespace {
// The process-wide report: zero at load, rewritten in place by each prepare
// that reaches the service's root container, never freed.
qz::sysinfo::SysInfoReport g_report{};
}  // namespace

QZ_API void QZ_SysInfo_Hazirla() {
    qz::guarded([] { qz::sysinfo::prepare_from_system(g_report); });
}

QZ_API const char* QZ_SysInfo_GetDeviceName() { return g_report.displayDevices[0].szDescription; }

QZ_API const char* QZ_SysInfo_GetVRam() { return g_report.displayDevices[0].szDisplayMemoryEnglish; }

QZ_API const char* QZ_SysInfo_GetOSName() { return g_report.szOSName; }

QZ_API std::uint32_t QZ_GetRamMB() {
    return qz::guarded(std::uint32_t{0}, [] { return qz::sysinfo::installed_ram_mb(); });
}
