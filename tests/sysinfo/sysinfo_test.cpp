// The report exports through the loaded library against Wine's own
// diagnostic service, and the installed memory against the same machine.
#include <gtest/gtest.h>

#include <windows.h>
#include <dxdiag.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "testhost/engine_host.h"

namespace {

using qz::test::Library;
using Prepare = void(__cdecl*)();
using Getter = const char*(__cdecl*)();
using RamMB = std::uint32_t(__cdecl*)();

// The test's own reading of one service property, as narrow text or number.
struct Service {
    IDxDiagProvider* provider = nullptr;
    IDxDiagContainer* root = nullptr;
    bool open() {
        if (FAILED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider,
                                    reinterpret_cast<void**>(&provider))))
            return false;
        DXDIAG_INIT_PARAMS p{};
        p.dwSize = sizeof p;
        p.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        p.bAllowWHQLChecks = TRUE;
        return SUCCEEDED(provider->Initialize(&p)) && SUCCEEDED(provider->GetRootContainer(&root));
    }
    ~Service() {
        if (root) root->Release();
        if (provider) provider->Release();
    }
    IDxDiagContainer* child(IDxDiagContainer* parent, const wchar_t* name) {
        IDxDiagContainer* c = nullptr;
        return SUCCEEDED(parent->GetChildContainer(name, &c)) ? c : nullptr;
    }
    static std::string text(IDxDiagContainer* c, const wchar_t* name) {
        VARIANT v;
        VariantInit(&v);
        std::string out = "(missing)";
        if (SUCCEEDED(c->GetProp(name, &v)) && V_VT(&v) == VT_BSTR) {
            char buf[512] = {};
            WideCharToMultiByte(CP_ACP, 0, V_BSTR(&v) ? V_BSTR(&v) : L"", -1, buf, sizeof buf - 1, nullptr, nullptr);
            out = buf;
        }
        VariantClear(&v);
        return out;
    }
    static unsigned number(IDxDiagContainer* c, const wchar_t* name) {
        VARIANT v;
        VariantInit(&v);
        unsigned out = ~0u;
        if (SUCCEEDED(c->GetProp(name, &v)) && V_VT(&v) == VT_UI4) out = V_UI4(&v);
        VariantClear(&v);
        return out;
    }
};

TEST(SysInfo, ReportFromTheSystemService) {
    auto& lib = Library::get();
    auto prepare = lib.fn<Prepare>("QZ_SysInfo_Hazirla");
    auto device = lib.fn<Getter>("QZ_SysInfo_GetDeviceName");
    auto vram = lib.fn<Getter>("QZ_SysInfo_GetVRam");
    auto os = lib.fn<Getter>("QZ_SysInfo_GetOSName");
    const char* const addresses[3] = {device(), vram(), os()};

    // Before any report, and with no COM on the thread: empty, never null.
    // (No thread of this process has joined an apartment yet.)
    for (const char* p : addresses) {
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p, "");
    }
    prepare();
    for (const char* p : addresses) EXPECT_STREQ(p, "");

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    std::string want_device, want_vram, want_os;
    {
        Service s;
        ASSERT_TRUE(s.open()) << "Wine's diagnostic service";
        IDxDiagContainer* sys = s.child(s.root, L"DxDiag_SystemInfo");
        ASSERT_NE(sys, nullptr);
        char line[512];
        std::snprintf(line, sizeof line, "%s %u.%u %s %u", Service::text(sys, L"szOSEnglish").c_str(),
                      Service::number(sys, L"dwOSMajorVersion"), Service::number(sys, L"dwOSMinorVersion"),
                      Service::text(sys, L"szCSDVersion").c_str(), Service::number(sys, L"dwOSBuildNumber"));
        want_os.assign(line, std::min<std::size_t>(std::strlen(line), 127));
        sys->Release();
        IDxDiagContainer* displays = s.child(s.root, L"DxDiag_DisplayDevices");
        ASSERT_NE(displays, nullptr);
        wchar_t name[256] = {};
        ASSERT_TRUE(SUCCEEDED(displays->EnumChildContainerNames(0, name, 256))) << "Wine lists a display device";
        IDxDiagContainer* first = s.child(displays, name);
        ASSERT_NE(first, nullptr);
        want_device = Service::text(first, L"szDescription").substr(0, 127);
        want_vram = Service::text(first, L"szDisplayMemoryEnglish").substr(0, 127);
        first->Release();
        displays->Release();
    }
    ASSERT_FALSE(want_device.empty());
    ASSERT_FALSE(want_vram.empty());

    prepare();
    EXPECT_EQ(device(), addresses[0]);
    EXPECT_EQ(vram(), addresses[1]);
    EXPECT_EQ(os(), addresses[2]);
    EXPECT_EQ(std::string(device()), want_device);
    EXPECT_EQ(std::string(vram()), want_vram);
    EXPECT_EQ(std::string(os()), want_os);
    std::printf("device \"%s\", video memory \"%s\", OS \"%s\"\n", device(), vram(), os());

    // A second report on the same machine gives the same texts at the same places.
    prepare();
    EXPECT_EQ(device(), addresses[0]);
    EXPECT_EQ(std::string(device()), want_device);
    EXPECT_EQ(std::string(vram()), want_vram);
    EXPECT_EQ(std::string(os()), want_os);

    // Without COM on the calling thread the previous report stays.
    CoUninitialize();
    std::thread([&] { prepare(); }).join();
    prepare();
    EXPECT_EQ(std::string(device()), want_device);
    EXPECT_EQ(std::string(vram()), want_vram);
    EXPECT_EQ(std::string(os()), want_os);
}

TEST(SysInfo, InstalledMemoryMatchesTheSystem) {
    auto ram = Library::get().fn<RamMB>("QZ_GetRamMB");
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    ASSERT_TRUE(GlobalMemoryStatusEx(&m));
    EXPECT_EQ(ram(), static_cast<std::uint32_t>(m.ullTotalPhys >> 20));
    EXPECT_GT(ram(), 0u);
}

}  // namespace
