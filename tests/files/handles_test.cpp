// Every export, run a few hundred times on its success and failure paths,
// leaves the process's handle count where it was. The count is the system
// handle table's, which sees every handle each call leaves open (the planted
// leak below proves it), so one leaked handle in any of the calls shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

using qz::test::files::growth_after;

constexpr int kCalls = 200;

TEST(FilesHandles, HundredsOfCallsOfEachExportLeaveNoHandle) {
    auto& lib = qz::test::Library::get();
    qz::test::EngineHost host;
    ASSERT_EQ(host.bind(), 630);
    qz::test::TempDir dir;
    const std::string file = dir.file("digits"), missing = dir.file("missing");
    qz::test::write_file(file, "123456789");
    auto crc = QZ_FN(lib, QZ_Crc_Calculate);
    auto size = QZ_FN(lib, QZ_Crc_Filesize);
    auto date = QZ_FN(lib, QZ_GetLastWriteTime);
    auto helper = QZ_FN(lib, QZ_GetLastWriteTimeHelper);
    auto exec = QZ_FN(lib, QZ_Exec);
    std::vector<HANDLE> leaked;  // the count must see a leak, or the checks below prove nothing
    EXPECT_EQ(growth_after(20, [&] { leaked.push_back(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                                  OPEN_EXISTING, 0, nullptr)); }), 20u);
    for (HANDLE h : leaked) CloseHandle(h);

    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(crc(file.c_str()), -873187034); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(crc(missing.c_str()), 0); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(size(file.c_str()), 9); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(size(missing.c_str()), 0); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_NE(date(file.c_str()), nullptr); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(date(missing.c_str()), nullptr); }), 0u);
    EXPECT_EQ(host.diag_var_calls().size(), kCalls + 1u);

    HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[32];
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(helper(h, buf, sizeof buf), 1); }), 0u);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(helper(h, buf, 4), 0); }), 0u);
    CloseHandle(h);
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(helper(INVALID_HANDLE_VALUE, buf, sizeof buf), 0); }), 0u);
    // The shell's failure path; its success path starts a program per call
    // and is counted in the launch tests.
    EXPECT_EQ(growth_after(kCalls, [&] { EXPECT_EQ(exec(nullptr, missing.c_str()), 2); }), 0u);
}
