// The report exports through the loaded library against the system's own
// diagnostic service, and the installed memory against the same machine.
#include <gtest/gtest.h>

#include <windows.h>
#include <dxdiag.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "win/com_ref.h"
#include "testhost/engine_host.h"

namespace {

using qz::ComRef;
using qz::test::Library;
using Getter = decltype(&::QZ_SysInfo_GetDeviceName);  // the other getters' type too

// The test's own reading of one service property, as text.
std::string prop(IDxDiagContainer* c, const wchar_t* name) {
    VARIANT v;
    VariantInit(&v);
    char buf[512] = "(missing)";
    if (SUCCEEDED(c->GetProp(name, &v)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR)))
        WideCharToMultiByte(CP_ACP, 0, V_BSTR(&v) ? V_BSTR(&v) : L"", -1, buf, sizeof buf - 1, nullptr, nullptr);
    VariantClear(&v);
    return buf;
}

TEST(SysInfo, ReportFromTheSystemService) {
    auto prepare = QZ_FN(Library::get(), QZ_SysInfo_Hazirla);
    const Getter getters[3] = {QZ_FN(Library::get(), QZ_SysInfo_GetDeviceName),
                               QZ_FN(Library::get(), QZ_SysInfo_GetVRam),
                               QZ_FN(Library::get(), QZ_SysInfo_GetOSName)};
    const char* const addresses[3] = {getters[0](), getters[1](), getters[2]()};
    const auto expect_texts = [&](const std::string (&want)[3]) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(getters[i](), addresses[i]) << "the getters always give the same address";
            EXPECT_EQ(std::string(getters[i]()), want[i]) << i;
        }
    };

    // Before any report, and with no COM on the thread (no thread of this
    // process has joined an apartment yet): empty, never null.
    prepare();
    expect_texts({"", "", ""});

    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    std::string want[3];
    {
        ComRef<IDxDiagProvider> provider;
        ComRef<IDxDiagContainer> root, sys, displays, first;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IDxDiagProvider, reinterpret_cast<void**>(provider.put()))));
        DXDIAG_INIT_PARAMS p{sizeof p, DXDIAG_DX9_SDK_VERSION, TRUE, nullptr};
        ASSERT_TRUE(SUCCEEDED(provider->Initialize(&p)));
        ASSERT_TRUE(SUCCEEDED(provider->GetRootContainer(root.put())));
        ASSERT_TRUE(SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", sys.put())));
        IDxDiagContainer* c = sys.get();
        want[2] = (prop(c, L"szOSEnglish") + " " + prop(c, L"dwOSMajorVersion") + "." + prop(c, L"dwOSMinorVersion") +
                   " " + prop(c, L"szCSDVersion") + " " + prop(c, L"dwOSBuildNumber")).substr(0, 127);
        ASSERT_TRUE(SUCCEEDED(root->GetChildContainer(L"DxDiag_DisplayDevices", displays.put())));
        wchar_t name[256] = {};
        ASSERT_TRUE(SUCCEEDED(displays->EnumChildContainerNames(0, name, 256))) << "the system lists a display device";
        ASSERT_TRUE(SUCCEEDED(displays->GetChildContainer(name, first.put())));
        want[0] = prop(first.get(), L"szDescription").substr(0, 127);
        want[1] = prop(first.get(), L"szDisplayMemoryEnglish").substr(0, 127);
    }
    ASSERT_FALSE(want[0].empty() || want[1].empty());

    prepare();
    expect_texts(want);
    std::printf("device \"%s\", video memory \"%s\", OS \"%s\"\n", getters[0](), getters[1](), getters[2]());

    // Without COM on the calling thread the previous report stays.
    CoUninitialize();
    std::thread([&] { prepare(); }).join();
    prepare();
    expect_texts(want);
}

TEST(SysInfo, InstalledMemoryMatchesTheSystem) {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    ASSERT_TRUE(GlobalMemoryStatusEx(&m));
    EXPECT_EQ(QZ_FN(Library::get(), QZ_GetRamMB)(), m.ullTotalPhys >> 20);
}

}  // namespace
