// The report code against the test's own diagnostic service: which fields a
// failed read leaves, how far the display walk and the disk read go, how
// texts are cut and converted, and that every COM object is released.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sysinfo/report.h"
#include "testhost/fake_dxdiag.h"

namespace {

using qz::sysinfo::SysInfoReport;
using qz::test::CountedUnknown;
using qz::test::DxNode;
using qz::test::FakeDxDiagProvider;
using qz::test::PropValue;

const wchar_t* const kSystemOrder[] = {
    L"dwOSMajorVersion",      L"dwOSMinorVersion",       L"dwOSBuildNumber",
    L"dwOSPlatformID",        L"dwDirectXVersionMajor",  L"dwDirectXVersionMinor",
    L"szDirectXVersionLetter", L"bDebug",                L"ullPhysicalMemory",
    L"szProcessorEnglish",    L"szSystemManufacturerEnglish", L"szSystemModelEnglish",
    L"szCSDVersion",          L"szOSEnglish",            L"szLanguagesEnglish"};

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        provider.root = qz::test::complete_root();
        // Anything the prepare does not write must show up as non-zero.
        std::memset(&report, 0x5A, sizeof report);
    }
    void TearDown() override {
        EXPECT_EQ(provider.refs(), 1) << "the provider gets back every reference";
        EXPECT_EQ(FakeDxDiagProvider::live_containers(), 0) << "every container is released";
    }

    DxNode& sys() { return provider.root.child(L"DxDiag_SystemInfo"); }
    DxNode& displays() { return provider.root.child(L"DxDiag_DisplayDevices"); }
    DxNode& disks() { return provider.root.child(L"DxDiag_LogicalDisks"); }
    bool prepare() { return qz::sysinfo::prepare(&provider, report); }

    void expect_processor_filled() {
        SYSTEM_INFO si{};
        GetSystemInfo(&si);
        EXPECT_EQ(report.wProcessorArchitecture, si.wProcessorArchitecture);
        EXPECT_EQ(report.dwNumberOfProcessors, si.dwNumberOfProcessors);
        EXPECT_EQ(report.dwProcessorType, si.dwProcessorType);
        EXPECT_EQ(report.wProcessorLevel, si.wProcessorLevel);
        EXPECT_EQ(report.wProcessorRevision, si.wProcessorRevision);
        EXPECT_NE(report.dwNumberOfProcessors, 0u);
    }
    bool all_zero(const void* p, std::size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i)
            if (b[i]) return false;
        return true;
    }

    FakeDxDiagProvider provider;
    SysInfoReport report;
};

TEST_F(Report, ACompleteServiceFillsTheRecord) {
    ASSERT_TRUE(prepare());
    EXPECT_EQ(provider.initialize_calls, 1);
    EXPECT_EQ(provider.init_params.dwSize, sizeof(DXDIAG_INIT_PARAMS));
    EXPECT_EQ(provider.init_params.dwDxDiagHeaderVersion, 111u);
    EXPECT_EQ(provider.init_params.bAllowWHQLChecks, TRUE);
    EXPECT_EQ(provider.init_params.pReserved, nullptr);

    EXPECT_EQ(report.dwOSMajorVersion, 6u);
    EXPECT_EQ(report.dwOSMinorVersion, 1u);
    EXPECT_EQ(report.dwOSBuildNumber, 7601u);
    EXPECT_EQ(report.dwOSPlatformID, 2u);
    EXPECT_STREQ(report.szOSEnglish, "Windows 7 Ultimate 64-bit");
    EXPECT_STREQ(report.szCSDVersion, "Service Pack 1");
    EXPECT_STREQ(report.szLanguagesEnglish, "English (Regional Setting: English)");
    EXPECT_STREQ(report.szOSName, "Windows 7 Ultimate 64-bit 6.1 Service Pack 1 7601");
    EXPECT_EQ(report.dwDirectXVersionMajor, 9u);
    EXPECT_STREQ(report.szDirectXVersionLetter, "c");
    EXPECT_EQ(report.bDebug, 0u);
    EXPECT_EQ(report.ullPhysicalMemory, 8589934592ull);
    EXPECT_STREQ(report.szProcessorEnglish, "Test CPU");
    EXPECT_STREQ(report.szSystemManufacturerEnglish, "Test Maker");
    EXPECT_STREQ(report.szSystemModelEnglish, "Test Model");
    // Only the first logical disk is read.
    EXPECT_EQ(report.ullFreeSpace, 1000000u);
    EXPECT_EQ(report.ullMaxSpace, 5000000u);
    expect_processor_filled();

    ASSERT_EQ(report.dwDisplayDeviceCount, 1u);
    const auto& d = report.displayDevices[0];
    EXPECT_STREQ(d.szDescription, "szDescription 0");
    EXPECT_STREQ(d.szKeyDeviceKey, "szKeyDeviceKey 0");
    EXPECT_STREQ(d.szManufacturer, "szManufacturer 0");
    EXPECT_STREQ(d.szChipType, "szChipType 0");
    EXPECT_STREQ(d.szDACType, "szDACType 0");
    EXPECT_STREQ(d.szDisplayMemoryEnglish, "szDisplayMemoryEnglish 0");
    EXPECT_STREQ(d.szMonitorName, "szMonitorName 0");
    EXPECT_EQ(d.dwWidth, 1024u);
    EXPECT_EQ(d.dwHeight, 768u);
    EXPECT_EQ(d.dwBpp, 32u);
    EXPECT_EQ(d.dwRefreshRate, 60u);
    EXPECT_STREQ(d.szDriverName, "szDriverName 0");
    EXPECT_STREQ(d.szDriverVersion, "szDriverVersion 0");
    EXPECT_STREQ(d.szDriverAttributes, "szDriverAttributes 0");
    EXPECT_STREQ(d.szVendorId, "szVendorId 0");
    EXPECT_STREQ(d.szDeviceId, "szDeviceId 0");
    EXPECT_STREQ(d.szSubSysId, "szSubSysId 0");
    EXPECT_STREQ(d.szRevisionId, "szRevisionId 0");
    EXPECT_EQ(d.dwWHQLLevel, 1u);
    EXPECT_EQ(d.bDDAccelerationEnabled, 1u);
    EXPECT_EQ(d.b3DAccelerationExists, 1u);
    EXPECT_EQ(d.b3DAccelerationEnabled, 0u);
    EXPECT_EQ(d.bAGPEnabled, 1u);
    // The rest of the device table was cleared.
    EXPECT_TRUE(all_zero(&report.displayDevices[1], sizeof report.displayDevices[1] * 15));

    // The system properties are asked for in their fixed order, first of all.
    ASSERT_GE(provider.prop_reads.size(), std::size(kSystemOrder));
    for (std::size_t i = 0; i < std::size(kSystemOrder); ++i) EXPECT_EQ(provider.prop_reads[i], kSystemOrder[i]) << i;
}

// Each system property in turn fails (missing, or of the wrong type): the
// fields before it stay, it and all later ones are empty, and nothing that
// depends on a complete section (OS line, devices, disk) is filled.
TEST_F(Report, AFailedSystemReadEndsTheSectionThere) {
    const std::vector<std::function<bool(const SysInfoReport&)>> filled = {
        [](const SysInfoReport& r) { return r.dwOSMajorVersion != 0; },
        [](const SysInfoReport& r) { return r.dwOSMinorVersion != 0; },
        [](const SysInfoReport& r) { return r.dwOSBuildNumber != 0; },
        [](const SysInfoReport& r) { return r.dwOSPlatformID != 0; },
        [](const SysInfoReport& r) { return r.dwDirectXVersionMajor != 0; },
        [](const SysInfoReport& r) { return r.dwDirectXVersionMinor != 0; },
        [](const SysInfoReport& r) { return r.szDirectXVersionLetter[0] != 0; },
        [](const SysInfoReport& r) { return r.bDebug != 0; },
        [](const SysInfoReport& r) { return r.ullPhysicalMemory != 0; },
        [](const SysInfoReport& r) { return r.szProcessorEnglish[0] != 0; },
        [](const SysInfoReport& r) { return r.szSystemManufacturerEnglish[0] != 0; },
        [](const SysInfoReport& r) { return r.szSystemModelEnglish[0] != 0; },
        [](const SysInfoReport& r) { return r.szCSDVersion[0] != 0; },
        [](const SysInfoReport& r) { return r.szOSEnglish[0] != 0; },
        [](const SysInfoReport& r) { return r.szLanguagesEnglish[0] != 0; },
    };
    ASSERT_EQ(filled.size(), std::size(kSystemOrder));
    CountedUnknown object;
    for (std::size_t k = 0; k < filled.size(); ++k) {
        for (int variant = 0; variant < 2; ++variant) {
            provider.root = qz::test::complete_root(2);
            sys().set(L"dwDirectXVersionMinor", PropValue::u32(3)).set(L"bDebug", PropValue::flag(true));
            // Text expected but a number given, a number expected but text, or an object.
            const bool text = kSystemOrder[k][0] == L's' || k == 8;
            if (variant == 0) sys().erase(kSystemOrder[k]);
            else if (text) sys().set(kSystemOrder[k], PropValue::unknown(&object));
            else sys().set(kSystemOrder[k], PropValue::str(L"1"));
            provider.prop_reads.clear();
            std::memset(&report, 0x5A, sizeof report);
            ASSERT_TRUE(prepare());
            SCOPED_TRACE(testing::Message() << "failing read " << k << " variant " << variant);
            for (std::size_t j = 0; j < filled.size(); ++j) EXPECT_EQ(filled[j](report), j < k) << j;
            EXPECT_EQ(provider.prop_reads.back(), kSystemOrder[k]);
            EXPECT_STREQ(report.szOSName, "");
            EXPECT_EQ(report.dwDisplayDeviceCount, 0u);
            EXPECT_TRUE(all_zero(report.displayDevices, sizeof report.displayDevices));
            EXPECT_EQ(report.ullFreeSpace, 0u);
            EXPECT_EQ(report.ullMaxSpace, 0u);
            expect_processor_filled();
            EXPECT_EQ(object.refs(), 1) << "a value of the wrong type is cleared";
        }
    }
}

TEST_F(Report, NoSystemContainerStillClearsAndReadsTheProcessor) {
    provider.root.children.erase(provider.root.children.begin());  // DxDiag_SystemInfo
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwOSMajorVersion, 0u);
    EXPECT_TRUE(all_zero(report.szOSEnglish, sizeof report.szOSEnglish * 4));
    EXPECT_TRUE(all_zero(report.displayDevices, sizeof report.displayDevices));
    EXPECT_EQ(report.ullFreeSpace, 0u);
    expect_processor_filled();
}

TEST_F(Report, AnUnusableProviderLeavesThePreviousReport) {
    ASSERT_TRUE(prepare());
    const SysInfoReport before = report;
    provider.root.child(L"DxDiag_SystemInfo").set(L"szOSEnglish", PropValue::str(L"Other"));
    for (int way = 0; way < 3; ++way) {
        FakeDxDiagProvider p;
        p.root = provider.root;
        if (way == 0) p.initialize_result = E_INVALIDARG;
        if (way == 1) p.root_result = E_FAIL;
        if (way == 2) p.root_is_null = true;
        EXPECT_FALSE(qz::sysinfo::prepare(&p, report)) << way;
        EXPECT_EQ(std::memcmp(&before, &report, sizeof report), 0) << way;
        EXPECT_EQ(p.refs(), 1);
        EXPECT_EQ(p.prop_reads.size(), 0u);
    }
    EXPECT_FALSE(qz::sysinfo::prepare(nullptr, report));
    EXPECT_EQ(std::memcmp(&before, &report, sizeof report), 0);
}

TEST_F(Report, AtMostSixteenDisplayDevicesAreRead) {
    provider.root = qz::test::complete_root(17);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwDisplayDeviceCount, 16u);
    EXPECT_STREQ(report.displayDevices[0].szDescription, "szDescription 0");
    EXPECT_STREQ(report.displayDevices[15].szDescription, "szDescription 15");
    EXPECT_STREQ(report.displayDevices[15].szRevisionId, "szRevisionId 15");
    for (const auto& r : provider.prop_reads) EXPECT_EQ(r.find(L" 16"), std::wstring::npos);
    EXPECT_EQ(report.ullMaxSpace, 5000000u) << "the disk is read after a walk cut at 16";

    provider.root = qz::test::complete_root(16);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwDisplayDeviceCount, 16u);
    provider.root = qz::test::complete_root(3);
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwDisplayDeviceCount, 3u);
    EXPECT_STREQ(report.displayDevices[2].szMonitorName, "szMonitorName 2");
}

TEST_F(Report, AFailureInsideTheWalkKeepsWhatWasReadAndLeavesTheCountZero) {
    provider.root = qz::test::complete_root(3);
    displays().children[1].second.set(L"szMonitorName", PropValue::u32(5));
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwDisplayDeviceCount, 0u);
    EXPECT_STREQ(report.displayDevices[0].szRevisionId, "szRevisionId 0");
    EXPECT_EQ(report.displayDevices[0].bAGPEnabled, 1u);
    const auto& d = report.displayDevices[1];
    EXPECT_STREQ(d.szDisplayMemoryEnglish, "szDisplayMemoryEnglish 1");
    EXPECT_EQ(d.dwRefreshRate, 60u);
    EXPECT_STREQ(d.szMonitorName, "");
    EXPECT_STREQ(d.szDriverName, "");
    EXPECT_EQ(d.bAGPEnabled, 0u);
    EXPECT_TRUE(all_zero(&report.displayDevices[2], sizeof report.displayDevices[2]));
    EXPECT_EQ(report.ullFreeSpace, 1000000u) << "the disk is read whatever the walk gave";
    EXPECT_STREQ(report.szOSName, "Windows 7 Ultimate 64-bit 6.1 Service Pack 1 7601");
}

TEST_F(Report, PropertiesThatAreReadButNotKeptMustStillBeText) {
    displays().children[0].second.set(L"szKeyDeviceID", PropValue::u32(1));
    ASSERT_TRUE(prepare());
    EXPECT_STREQ(report.displayDevices[0].szDescription, "szDescription 0");
    EXPECT_STREQ(report.displayDevices[0].szKeyDeviceKey, "");
    EXPECT_EQ(report.dwDisplayDeviceCount, 0u);

    provider.root = qz::test::complete_root();
    displays().children[0].second.erase(L"szRevision");
    ASSERT_TRUE(prepare());
    EXPECT_STREQ(report.displayDevices[0].szDACType, "szDACType 0");
    EXPECT_STREQ(report.displayDevices[0].szDisplayMemoryEnglish, "");
}

TEST_F(Report, MissingVideoMemoryTextLeavesTheNameFilled) {
    displays().children[0].second.erase(L"szDisplayMemoryEnglish");
    ASSERT_TRUE(prepare());
    EXPECT_STREQ(report.displayDevices[0].szDescription, "szDescription 0");
    EXPECT_STREQ(report.displayDevices[0].szDisplayMemoryEnglish, "");
}

TEST_F(Report, WalkEndsWhereTheServiceGivesNoDevice) {
    struct Case {
        const char* what;
        std::function<void(DxNode&)> spoil;
        std::uint32_t count;
        bool first_read;
    };
    const std::vector<Case> cases = {
        {"no children", [](DxNode& n) { n.children.clear(); }, 0, false},
        {"count refused", [](DxNode& n) { n.count_result = E_FAIL; }, 0, false},
        {"name refused", [](DxNode& n) { n.enum_result = E_FAIL; }, 0, false},
        {"child opens as null", [](DxNode& n) { n.children[1].second.opens_as_null = true; }, 0, true},
        {"name of 256 characters", [](DxNode& n) { n.children[1].first.assign(256, L'n'); }, 0, true},
        {"name of 300 characters", [](DxNode& n) { n.children[0].first.assign(300, L'n'); }, 0, false},
        {"name of 255 characters fits", [](DxNode& n) { n.children[1].first.assign(255, L'n'); }, 2, true},
    };
    for (const auto& c : cases) {
        provider.root = qz::test::complete_root(2);
        c.spoil(displays());
        ASSERT_TRUE(prepare()) << c.what;
        EXPECT_EQ(report.dwDisplayDeviceCount, c.count) << c.what;
        EXPECT_EQ(report.displayDevices[0].szDescription[0] != 0, c.first_read) << c.what;
        EXPECT_EQ(report.ullMaxSpace, 5000000u) << c.what;
        EXPECT_EQ(FakeDxDiagProvider::live_containers(), 0) << c.what;
    }
    provider.root = qz::test::complete_root(2);
    provider.root.children.erase(provider.root.children.begin() + 1);  // no DxDiag_DisplayDevices
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.dwDisplayDeviceCount, 0u);
    EXPECT_EQ(report.ullFreeSpace, 1000000u);
}

TEST_F(Report, OnlyTheFirstDiskIsReadAndAFailedReadStopsIt) {
    disks().children[0].second.set(L"szFreeSpace", PropValue::str(L"  123456789012345 bytes"));
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.ullFreeSpace, 123456789012345ull);
    EXPECT_EQ(report.ullMaxSpace, 5000000u);

    provider.root = qz::test::complete_root();
    disks().children[0].second.set(L"szMaxSpace", PropValue::u32(9));
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.ullFreeSpace, 1000000u) << "a value stored before the failure stays";
    EXPECT_EQ(report.ullMaxSpace, 0u);

    provider.root = qz::test::complete_root();
    disks().children[0].second.erase(L"szFreeSpace");
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.ullFreeSpace, 0u);
    EXPECT_EQ(report.ullMaxSpace, 0u);

    for (auto spoil : {+[](DxNode& n) { n.count_result = E_FAIL; }, +[](DxNode& n) { n.enum_result = E_FAIL; },
                       +[](DxNode& n) { n.children[0].second.opens_as_null = true; },
                       +[](DxNode& n) { n.children.clear(); }}) {
        provider.root = qz::test::complete_root();
        spoil(disks());
        ASSERT_TRUE(prepare());
        EXPECT_EQ(report.ullFreeSpace, 0u);
        EXPECT_EQ(report.ullMaxSpace, 0u);
        EXPECT_EQ(report.dwDisplayDeviceCount, 1u);
    }
}

TEST_F(Report, NumbersInText) {
    for (auto [text, want] : std::vector<std::pair<std::wstring, unsigned long long>>{
             {L"17179869184", 17179869184ull}, {L"  42MB", 42}, {L"", 0}, {L"none", 0}, {L"+7", 7}}) {
        provider.root = qz::test::complete_root();
        sys().set(L"ullPhysicalMemory", PropValue::str(text));
        ASSERT_TRUE(prepare());
        EXPECT_EQ(report.ullPhysicalMemory, want);
        EXPECT_STREQ(report.szProcessorEnglish, "Test CPU") << "a number that is not one still reads";
    }
    sys().set(L"ullPhysicalMemory", PropValue::null_str());
    ASSERT_TRUE(prepare());
    EXPECT_EQ(report.ullPhysicalMemory, 0u);
    EXPECT_STREQ(report.szOSName, "Windows 7 Ultimate 64-bit 6.1 Service Pack 1 7601");
}

TEST_F(Report, TextsAreCutToCapacityAndNullTextIsEmpty) {
    displays().children[0].second.set(L"szDescription", PropValue::str(std::wstring(200, L'D')));
    sys().set(L"szDirectXVersionLetter", PropValue::str(L"abc"));
    displays().children[0].second.set(L"szChipType", PropValue::null_str());
    ASSERT_TRUE(prepare());
    EXPECT_EQ(std::string(report.displayDevices[0].szDescription), std::string(127, 'D'));
    EXPECT_STREQ(report.szDirectXVersionLetter, "ab");
    EXPECT_STREQ(report.displayDevices[0].szChipType, "");
    EXPECT_EQ(report.dwDisplayDeviceCount, 1u) << "a null text is a text";
}

TEST_F(Report, OsLine) {
    sys().set(L"szCSDVersion", PropValue::str(L""));
    ASSERT_TRUE(prepare());
    EXPECT_STREQ(report.szOSName, "Windows 7 Ultimate 64-bit 6.1  7601");

    // A line longer than the field is cut, not refused.
    provider.root = qz::test::complete_root();
    sys().set(L"szOSEnglish", PropValue::str(std::wstring(127, L'O')));
    sys().set(L"szCSDVersion", PropValue::str(std::wstring(127, L'S')));
    sys().set(L"dwOSBuildNumber", PropValue::u32(UINT_MAX));
    ASSERT_TRUE(prepare());
    const std::string full = std::string(127, 'O') + " 6.1 " + std::string(127, 'S') + " 4294967295";
    EXPECT_EQ(std::string(report.szOSName), full.substr(0, 127));
    EXPECT_EQ(report.dwDisplayDeviceCount, 1u) << "the walk still runs";
}

TEST(ReportText, UnrepresentableCharactersBecomeQuestionMarks) {
    // The runtime's "C" locale has no narrow form for these.
    char out[16];
    qz::sysinfo::to_narrow(L"A\u4e2dB\U0001F600C", out, sizeof out);
    EXPECT_STREQ(out, "A?B?C");
    qz::sysinfo::to_narrow(L"\u0416\u0416\u0416\u0416", out, 3);
    EXPECT_STREQ(out, "??");
    std::memset(out, 'x', sizeof out);
    qz::sysinfo::to_narrow(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "");
    std::memset(out, 'x', sizeof out);
    qz::sysinfo::to_narrow(L"abc", out, 1);
    EXPECT_EQ(out[0], '\0');
    EXPECT_EQ(out[1], 'x');
}

TEST(ReportMemory, MegabytesRoundDown) {
    EXPECT_EQ(qz::sysinfo::mib_from_bytes(8ull << 30), 8192u);
    EXPECT_EQ(qz::sysinfo::mib_from_bytes(1610612735ull), 1535u);
    EXPECT_EQ(qz::sysinfo::mib_from_bytes(1048575ull), 0u);
    EXPECT_EQ(qz::sysinfo::mib_from_bytes((1ull << 52) + (5ull << 20)), 5u) << "low 32 bits";
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    ASSERT_TRUE(GlobalMemoryStatusEx(&m));
    EXPECT_EQ(qz::sysinfo::installed_ram_mb(), static_cast<std::uint32_t>(m.ullTotalPhys >> 20));
}

}  // namespace
