// The report code against the test's own diagnostic service: which fields a
// failed read leaves, how far the display walk and the disk read go, how
// texts are cut and converted, and that every COM object is released.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <iterator>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "sysinfo/report.h"
#include "testhost/fake_dxdiag.h"

namespace {

using qz::sysinfo::DisplayDeviceInfo;
using qz::sysinfo::SysInfoReport;
using namespace qz::test;

const char* const kOsLine = "Windows 7 Ultimate 64-bit 6.1 Service Pack 1 7601";

// A field as a byte range, to ask whether a read wrote it.
struct Field { const wchar_t* name; std::size_t offset, size; };
#define QZ_SYS(f) {L## #f, offsetof(SysInfoReport, f), sizeof(SysInfoReport::f)}
#define QZ_DEV(f) {L## #f, offsetof(DisplayDeviceInfo, f), sizeof(DisplayDeviceInfo::f)}

// The system properties in the order they are read.
const Field kSystem[] = {
    QZ_SYS(dwOSMajorVersion),      QZ_SYS(dwOSMinorVersion),       QZ_SYS(dwOSBuildNumber),
    QZ_SYS(dwOSPlatformID),        QZ_SYS(dwDirectXVersionMajor),  QZ_SYS(dwDirectXVersionMinor),
    QZ_SYS(szDirectXVersionLetter), QZ_SYS(bDebug),                QZ_SYS(ullPhysicalMemory),
    QZ_SYS(szProcessorEnglish),    QZ_SYS(szSystemManufacturerEnglish), QZ_SYS(szSystemModelEnglish),
    QZ_SYS(szCSDVersion),          QZ_SYS(szOSEnglish),            QZ_SYS(szLanguagesEnglish)};

// The properties of one display device, and of the first disk, in the order
// they are read ("szKeyDeviceID" and "szRevision" are read but not kept).
const wchar_t* const kDeviceReads[] = {
    L"szDescription", L"szKeyDeviceID", L"szKeyDeviceKey", L"szManufacturer", L"szChipType", L"szDACType",
    L"szRevision", L"szDisplayMemoryEnglish", L"dwWidth", L"dwHeight", L"dwBpp", L"dwRefreshRate",
    L"szMonitorName", L"szDriverName", L"szDriverVersion", L"szDriverAttributes", L"szVendorId", L"szDeviceId",
    L"szSubSysId", L"szRevisionId", L"dwWHQLLevel", L"bDDAccelerationEnabled", L"b3DAccelerationExists",
    L"b3DAccelerationEnabled", L"bAGPEnabled"};
const wchar_t* const kDiskReads[] = {L"szFreeSpace", L"szMaxSpace"};

using Reads = std::vector<std::wstring>;

// The first `count` reads of a section (all of them by default).
Reads system_reads(std::size_t count = std::size(kSystem)) {
    Reads r;
    for (std::size_t i = 0; i < count; ++i) r.emplace_back(kSystem[i].name);
    return r;
}
Reads device_reads(std::size_t count = std::size(kDeviceReads)) {
    return Reads(std::begin(kDeviceReads), std::begin(kDeviceReads) + count);
}
Reads disk_reads(std::size_t count = std::size(kDiskReads)) {
    return Reads(std::begin(kDiskReads), std::begin(kDiskReads) + count);
}
Reads operator+(Reads a, const Reads& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
// The position of `name` among a device's reads.
std::size_t device_read_index(const wchar_t* name) {
    const auto* it = std::find_if(std::begin(kDeviceReads), std::end(kDeviceReads),
                                  [&](const wchar_t* n) { return std::wcscmp(n, name) == 0; });
    return static_cast<std::size_t>(it - std::begin(kDeviceReads));
}

bool all_zero(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}
bool written(const void* r, const Field& f) { return !all_zero(static_cast<const char*>(r) + f.offset, f.size); }

class Report : public ::testing::Test {
protected:
    void SetUp() override { provider.root = complete_root(); }
    void TearDown() override {
        EXPECT_EQ(provider.refs, 1) << "the provider gets back every reference";
        EXPECT_EQ(FakeDxDiagProvider::live_containers(), 0) << "every container is released";
    }

    DxNode& sys() { return provider.root.child(L"DxDiag_SystemInfo"); }
    DxNode& displays() { return provider.root.child(L"DxDiag_DisplayDevices"); }
    DxNode& disks() { return provider.root.child(L"DxDiag_LogicalDisks"); }
    // A fresh prepare over a record full of junk, so a field it does not write shows.
    void prepare() {
        provider.prop_reads.clear();
        std::memset(&report, 0x5A, sizeof report);
        ASSERT_TRUE(qz::sysinfo::prepare(&provider, report));
        SYSTEM_INFO si{};
        GetSystemInfo(&si);
        EXPECT_TRUE(report.dwNumberOfProcessors == si.dwNumberOfProcessors &&
                    report.wProcessorRevision == si.wProcessorRevision) << "the processor is always read";
    }

    FakeDxDiagProvider provider;
    SysInfoReport report;
};

// Which fields survive a failed read depends on the order of the reads, so
// the whole order is checked: the system section, each device in turn, then
// the first disk.
TEST_F(Report, EverySectionReadsItsPropertiesInOrder) {
    provider.root = complete_root(2);
    prepare();
    EXPECT_EQ(provider.prop_reads, system_reads() + device_reads() + device_reads() + disk_reads());
}

TEST_F(Report, ACompleteServiceFillsTheRecord) {
    prepare();
    EXPECT_EQ(provider.init_params.dwSize, sizeof(DXDIAG_INIT_PARAMS));
    EXPECT_EQ(provider.init_params.dwDxDiagHeaderVersion, 111u);
    EXPECT_EQ(provider.init_params.bAllowWHQLChecks, TRUE);

    const SysInfoReport& r = report;
    EXPECT_EQ((std::vector<std::uint64_t>{r.dwOSPlatformID, r.dwDirectXVersionMajor, r.dwDirectXVersionMinor, r.bDebug,
                                          r.ullPhysicalMemory, r.ullFreeSpace, r.ullMaxSpace}),
              (std::vector<std::uint64_t>{2, 9, 3, 1, 8589934592ull, 1000000, 5000000}));  // the first disk only
    EXPECT_STREQ(r.szOSName, kOsLine);
    EXPECT_EQ((std::vector<std::string>{r.szDirectXVersionLetter, r.szProcessorEnglish, r.szSystemManufacturerEnglish,
                                        r.szSystemModelEnglish, r.szLanguagesEnglish}),
              (std::vector<std::string>{"c", "Test CPU", "Test Maker", "Test Model",
                                        "English (Regional Setting: English)"}));

    ASSERT_EQ(report.dwDisplayDeviceCount, 1u);
    const DisplayDeviceInfo& d = report.displayDevices[0];
    const Field texts[] = {QZ_DEV(szDescription), QZ_DEV(szKeyDeviceKey),     QZ_DEV(szManufacturer),
                           QZ_DEV(szChipType),    QZ_DEV(szDACType),          QZ_DEV(szDisplayMemoryEnglish),
                           QZ_DEV(szMonitorName), QZ_DEV(szDriverName),       QZ_DEV(szDriverVersion),
                           QZ_DEV(szDriverAttributes), QZ_DEV(szVendorId),    QZ_DEV(szDeviceId),
                           QZ_DEV(szSubSysId),    QZ_DEV(szRevisionId)};
    for (const Field& f : texts) {
        const std::wstring want = std::wstring(f.name) + L" 0";
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d) + f.offset), std::string(want.begin(), want.end()));
    }
    EXPECT_EQ((std::vector<std::uint32_t>{d.dwWidth, d.dwHeight, d.dwBpp, d.dwRefreshRate, d.dwWHQLLevel,
                                          d.bDDAccelerationEnabled, d.b3DAccelerationExists, d.b3DAccelerationEnabled,
                                          d.bAGPEnabled}),
              (std::vector<std::uint32_t>{1024, 768, 32, 60, 1, 1, 1, 0, 1}));
    EXPECT_TRUE(all_zero(&report.displayDevices[1], sizeof(DisplayDeviceInfo) * 15)) << "the rest is cleared";
}

// Each system property in turn missing or of the wrong type: the fields before
// it stay, it and all later ones are empty, and nothing that needs a complete
// section (OS line, devices, disk) is filled. No system container at all: the
// same with nothing read.
TEST_F(Report, AFailedSystemReadEndsTheSectionThere) {
    const std::size_t n = std::size(kSystem);
    for (std::size_t k = 0; k <= n; ++k) {
        for (int variant = 0; variant < 2; ++variant) {
            if (k == n && variant) continue;
            SCOPED_TRACE(testing::Message() << "failing read " << k << " variant " << variant);
            provider.root = complete_root(2);
            if (k == n) provider.root.children.erase(provider.root.children.begin());
            else if (variant == 0) sys().erase(kSystem[k].name);
            else if (kSystem[k].name[0] == L's' || k == 8) sys().set(kSystem[k].name, unknown(&provider));
            else sys().set(kSystem[k].name, str(L"1"));
            prepare();
            for (std::size_t j = 0; j < n; ++j) EXPECT_EQ(written(&report, kSystem[j]), j < k && k < n) << j;
            // The reads up to the failing one, and nothing after it.
            EXPECT_EQ(provider.prop_reads, system_reads(k < n ? k + 1 : 0));
            EXPECT_STREQ(report.szOSName, "");
            EXPECT_TRUE(report.ullFreeSpace == 0 && report.ullMaxSpace == 0 && report.dwDisplayDeviceCount == 0);
            EXPECT_TRUE(all_zero(report.displayDevices, sizeof report.displayDevices));
            EXPECT_EQ(provider.refs, 1) << "a value of the wrong type is released";
        }
    }
}

TEST_F(Report, AnUnusableProviderLeavesThePreviousReport) {
    prepare();
    const SysInfoReport before = report;
    sys().set(L"szOSEnglish", str(L"Other"));
    FakeDxDiagProvider refused[3];
    refused[0].initialize_result = E_INVALIDARG;
    refused[1].root_result = E_FAIL;
    refused[2].root_is_null = true;
    for (FakeDxDiagProvider& p : refused) {
        p.root = provider.root;
        EXPECT_FALSE(qz::sysinfo::prepare(&p, report));
        EXPECT_EQ(std::memcmp(&before, &report, sizeof report), 0);
        EXPECT_TRUE(p.refs == 1 && p.prop_reads.empty());
    }
}

TEST_F(Report, AtMostSixteenDisplayDevicesAreRead) {
    provider.root = complete_root(17);
    prepare();
    EXPECT_EQ(report.dwDisplayDeviceCount, 16u);
    EXPECT_STREQ(report.displayDevices[15].szRevisionId, "szRevisionId 15");
    Reads want = system_reads();
    for (int device = 0; device < 16; ++device) want = want + device_reads();
    EXPECT_EQ(provider.prop_reads, want + disk_reads()) << "the disk is read after a walk cut at 16";
}

// A failed read inside device 1 of 3: device 0 and device 1 up to the failure
// stay, the count stays 0, and the disk and OS line are still there. The
// properties that are read but not kept must be text all the same.
TEST_F(Report, AFailedDeviceReadEndsTheWalkThere) {
    struct Case { const wchar_t* spoil; bool erase; Field last_kept, first_empty; };
    const Case cases[] = {
        {L"szKeyDeviceID", false, QZ_DEV(szDescription), QZ_DEV(szKeyDeviceKey)},
        {L"szRevision", true, QZ_DEV(szDACType), QZ_DEV(szDisplayMemoryEnglish)},
        {L"szDisplayMemoryEnglish", true, QZ_DEV(szDACType), QZ_DEV(szDisplayMemoryEnglish)},
        {L"szMonitorName", false, QZ_DEV(dwRefreshRate), QZ_DEV(szMonitorName)},
        {L"bAGPEnabled", false, QZ_DEV(b3DAccelerationEnabled), QZ_DEV(bAGPEnabled)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.spoil);
        provider.root = complete_root(3);
        DxNode& device = displays().children[1].second;
        if (c.erase) device.erase(c.spoil);
        else device.set(c.spoil, c.spoil[0] == L's' ? u32(5) : str(L"1"));
        device.set(L"b3DAccelerationEnabled", flag(true));
        prepare();
        EXPECT_EQ(report.dwDisplayDeviceCount, 0u);
        EXPECT_EQ(report.displayDevices[0].bAGPEnabled, 1u);
        EXPECT_TRUE(written(&report.displayDevices[1], c.last_kept));
        EXPECT_FALSE(written(&report.displayDevices[1], c.first_empty));
        EXPECT_TRUE(all_zero(&report.displayDevices[2], sizeof(DisplayDeviceInfo)));
        EXPECT_EQ(report.ullFreeSpace, 1000000u);
        EXPECT_STREQ(report.szOSName, kOsLine);
        // Device 1 is read up to the spoiled property, device 2 not at all.
        const std::size_t spoiled = device_read_index(c.spoil);
        ASSERT_LT(spoiled, std::size(kDeviceReads));
        EXPECT_EQ(provider.prop_reads, system_reads() + device_reads() + device_reads(spoiled + 1) + disk_reads());
    }
}

// Where the service gives no child, the display walk or the disk read ends
// there with nothing from it, and the other section is read all the same.
TEST_F(Report, ASectionEndsWhereTheServiceGivesNoChild) {
    using Entry = std::pair<std::wstring, DxNode>;
    const std::function<void(Entry&)> spoils[] = {
        [](Entry& e) { e.first = L"gone"; },
        [](Entry& e) { e.second.children.clear(); },
        [](Entry& e) { e.second.count_result = E_FAIL; },
        [](Entry& e) { e.second.enum_result = E_FAIL; },
        [](Entry& e) { e.second.children[0].second.opens_as_null = true; },
        [](Entry& e) { e.second.children[0].first.assign(300, L'n'); },
    };
    for (const bool walk : {true, false}) {
        for (const auto& spoil : spoils) {
            provider.root = complete_root(2);
            spoil(provider.root.children[walk ? 1 : 2]);
            prepare();
            EXPECT_EQ(report.dwDisplayDeviceCount, walk ? 0u : 2u);
            EXPECT_EQ(report.displayDevices[0].szDescription[0] != 0, !walk);
            EXPECT_EQ(report.ullFreeSpace, walk ? 1000000u : 0u);
            EXPECT_EQ(report.ullMaxSpace, walk ? 5000000u : 0u);
        }
    }
    // The second device: the first stays but the count is 0; a name of 255 characters fits.
    const std::tuple<int, bool, std::uint32_t> second[] = {{1, false, 0}, {256, true, 0}, {255, true, 2}};
    for (const auto& [length, opens, count] : second) {
        provider.root = complete_root(2);
        displays().children[1].first.assign(length, L'n');
        displays().children[1].second.opens_as_null = !opens;
        prepare();
        EXPECT_EQ(report.dwDisplayDeviceCount, count) << length;
        EXPECT_STREQ(report.displayDevices[0].szDescription, "szDescription 0") << length;
    }
}

TEST_F(Report, OnlyTheFirstDiskIsReadAndAFailedReadStopsIt) {
    struct Case { const wchar_t* name; PropValue value; std::uint64_t free, max; std::size_t disk_reads; };
    const Case cases[] = {{L"szFreeSpace", str(L"  123456789012345 bytes"), 123456789012345ull, 5000000, 2},
                          {L"szMaxSpace", u32(9), 1000000, 0, 2},
                          {L"szFreeSpace", {}, 0, 0, 1}};
    for (const Case& c : cases) {
        provider.root = complete_root();
        disks().children[0].second.set(c.name, c.value);
        prepare();
        EXPECT_EQ(report.ullFreeSpace, c.free);
        EXPECT_EQ(report.ullMaxSpace, c.max);
        EXPECT_EQ(provider.prop_reads, system_reads() + device_reads() + disk_reads(c.disk_reads)) << c.name;
    }
}

// Texts are cut to their field, a null text is an empty text, and a number
// carried as text is read as far as it is a number.
TEST_F(Report, TextsAndTheOsLine) {
    sys().set(L"ullPhysicalMemory", str(L"  42MB")).set(L"szCSDVersion", str(L""));
    sys().set(L"szDirectXVersionLetter", str(L"abc"));
    displays().children[0].second.set(L"szDescription", str(std::wstring(200, L'D')));
    displays().children[0].second.set(L"szChipType", null_str());
    prepare();
    EXPECT_EQ(report.ullPhysicalMemory, 42u);
    EXPECT_STREQ(report.szOSName, "Windows 7 Ultimate 64-bit 6.1  7601");
    EXPECT_STREQ(report.szDirectXVersionLetter, "ab");
    EXPECT_EQ(std::string(report.displayDevices[0].szDescription), std::string(127, 'D'));
    EXPECT_STREQ(report.displayDevices[0].szChipType, "");
    EXPECT_EQ(report.dwDisplayDeviceCount, 1u) << "a null text is a text";

    // A null number text reads as 0; an OS line longer than its field is cut, not refused.
    sys().set(L"ullPhysicalMemory", null_str()).set(L"szOSEnglish", str(std::wstring(127, L'O')));
    sys().set(L"szCSDVersion", str(std::wstring(127, L'S')));
    prepare();
    EXPECT_EQ(report.ullPhysicalMemory, 0u);
    EXPECT_EQ(std::string(report.szOSName), std::string(127, 'O'));
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
}

}  // namespace
