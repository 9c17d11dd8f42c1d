// QZ_GetLastWriteTime and QZ_GetLastWriteTimeHelper through the loaded DLL,
// with the stand-in engine recording what reaches its diagnostic log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "files_support.h"
#include "testhost/engine_host.h"

using qz::test::EngineHost;
using qz::test::TempDir;
using qz::test::write_file;
using qz::test::files::set_write_time;
using qz::test::files::utc_filetime;

namespace {

using DateFn = const char*(__cdecl*)(const char*);
using HelperFn = std::int32_t(__cdecl*)(HANDLE, char*, std::int32_t);

DateFn date_export() { return qz::test::Library::get().fn<DateFn>("QZ_GetLastWriteTime"); }
HelperFn helper_export() { return qz::test::Library::get().fn<HelperFn>("QZ_GetLastWriteTimeHelper"); }

std::string date_of(const std::string& path) {
    const char* d = date_export()(path.c_str());
    return d ? d : "(null)";
}

// Minutes the local zone is ahead of UTC now (Tokyo: 540).
long minutes_east_of_utc() {
    TIME_ZONE_INFORMATION tz{};
    const DWORD which = GetTimeZoneInformation(&tz);
    long bias = tz.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
    return -bias;
}

class FilesDate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.bind(), 630); }
    EngineHost host;
    TempDir dir;
};

}  // namespace

TEST_F(FilesDate, DayFirstWithLeadingZeros) {
    const std::string path = dir.file("march");
    write_file(path, "x");
    // Noon UTC is 5 March in every zone from UTC-11 to UTC+11.
    ASSERT_TRUE(set_write_time(path, utc_filetime(2017, 3, 5, 12, 0)));
    EXPECT_EQ(date_of(path), "05/03/2017");
    ASSERT_TRUE(set_write_time(path, utc_filetime(2009, 11, 21, 12, 0)));
    EXPECT_EQ(date_of(path), "21/11/2009");
    EXPECT_TRUE(host.diag_var_calls().empty());
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(FilesDate, ResultBufferIsReusedAndOverwritten) {
    write_file(dir.file("a"), "a");
    write_file(dir.file("b"), "b");
    ASSERT_TRUE(set_write_time(dir.file("a"), utc_filetime(2017, 3, 5, 12, 0)));
    ASSERT_TRUE(set_write_time(dir.file("b"), utc_filetime(2020, 7, 14, 12, 0)));
    const char* first = date_export()(dir.file("a").c_str());
    const char* second = date_export()(dir.file("b").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(second, "14/07/2020");
}

TEST_F(FilesDate, MissingFileGivesNullAndOneMessage) {
    EXPECT_EQ(date_export()(dir.file("missing").c_str()), nullptr);
    ASSERT_EQ(host.diag_var_calls().size(), 1u);
    EXPECT_EQ(host.diag_var_calls()[0].format, "\nCreateFile failed with %f");
    EXPECT_EQ(host.diag_var_calls()[0].value, 2 << 10);
    EXPECT_TRUE(host.diag_calls().empty());

    host.clear_records();
    EXPECT_EQ(date_export()(nullptr), nullptr);
    ASSERT_EQ(host.diag_var_calls().size(), 1u);
    EXPECT_EQ(host.diag_var_calls()[0].format, "\nCreateFile failed with %f");
    EXPECT_NE(host.diag_var_calls()[0].value, 0);
}

TEST_F(FilesDate, FileLockedAgainstReadingGivesSharingViolation) {
    const std::string path = dir.file("locked");
    write_file(path, "x");
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(date_export()(path.c_str()), nullptr);
    CloseHandle(writer);
    ASSERT_EQ(host.diag_var_calls().size(), 1u);
    EXPECT_EQ(host.diag_var_calls()[0].format, "\nCreateFile failed with %f");
    EXPECT_EQ(host.diag_var_calls()[0].value, 32 << 10);
    // Once the writer is gone the date is there again, and the handle the
    // failed call did not get was not left open either.
    EXPECT_NE(date_export()(path.c_str()), nullptr);
    HANDLE exclusive = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE) << "a handle of the library is still open";
    if (exclusive != INVALID_HANDLE_VALUE) CloseHandle(exclusive);
}

TEST_F(FilesDate, DirectoryCannotBeOpened) {
    EXPECT_EQ(date_export()(dir.path().c_str()), nullptr);
    ASSERT_EQ(host.diag_var_calls().size(), 1u);
    EXPECT_EQ(host.diag_var_calls()[0].format, "\nCreateFile failed with %f");
    EXPECT_NE(host.diag_var_calls()[0].value, 0);
}

TEST_F(FilesDate, HelperWritesIntoTheCallersBuffer) {
    const std::string path = dir.file("h");
    write_file(path, "x");
    ASSERT_TRUE(set_write_time(path, utc_filetime(2017, 3, 5, 12, 0)));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buf[32];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(helper_export()(h, buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "05/03/2017");
    EXPECT_EQ(buf[11], '#');  // nothing past the terminator

    // Exactly room for the text and its terminator.
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(helper_export()(h, buf, 11), 1);
    EXPECT_STREQ(buf, "05/03/2017");

    // Too small: nothing written, 0.
    for (std::int32_t cap : {10, 5, 1, 0, -1}) {
        std::memset(buf, '#', sizeof buf);
        SetLastError(0);
        EXPECT_EQ(helper_export()(h, buf, cap), 0) << cap;
        EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '#')) << cap;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << cap;
    }
    EXPECT_EQ(helper_export()(h, nullptr, 32), 0);
    // The handle stays the caller's: still usable after the calls.
    FILETIME a{}, b{}, c{};
    EXPECT_TRUE(GetFileTime(h, &a, &b, &c));
    CloseHandle(h);
}

TEST_F(FilesDate, HelperWithAnUnusableHandleLeavesTheBufferAlone) {
    char buf[16];
    for (HANDLE h : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x7ff0)}) {
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(helper_export()(h, buf, sizeof buf), 0);
        EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '#'));
    }
    // A handle without the right to read attributes: GetFileTime fails.
    const std::string path = dir.file("noattr");
    write_file(path, "x");
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::memset(buf, '#', sizeof buf);
    const std::int32_t r = helper_export()(h, buf, sizeof buf);
    CloseHandle(h);
    if (r == 0) EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, '#'));
    else EXPECT_EQ(std::string(buf), date_of(path));  // the system let the times be read
}

// Run with the process time zone well east of UTC (CTest: TZ=Asia/Tokyo).
TEST_F(FilesDate, EastOfUtcNewYearsEveIsNewYearLocally) {
    ASSERT_GE(minutes_east_of_utc(), 60) << "this test needs a zone at least one hour east of UTC";
    const std::string path = dir.file("eve");
    write_file(path, "x");
    ASSERT_TRUE(set_write_time(path, utc_filetime(2016, 12, 31, 23, 30)));
    EXPECT_EQ(date_of(path), "01/01/2017");
    // Early on 1 January UTC is still 1 January east of UTC.
    ASSERT_TRUE(set_write_time(path, utc_filetime(2017, 1, 1, 0, 30)));
    EXPECT_EQ(date_of(path), "01/01/2017");
}

// In UTC (the default run) the same instant is still the old year.
TEST_F(FilesDate, UtcNewYearsEveIsStillTheOldYear) {
    ASSERT_EQ(minutes_east_of_utc(), 0) << "this test needs the zone UTC";
    const std::string path = dir.file("eve");
    write_file(path, "x");
    ASSERT_TRUE(set_write_time(path, utc_filetime(2016, 12, 31, 23, 30)));
    EXPECT_EQ(date_of(path), "31/12/2016");
}
