// QZ_GetLastWriteTime and QZ_GetLastWriteTimeHelper through the loaded DLL,
// with the stand-in engine recording what reaches its diagnostic log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

using qz::test::write_file;

namespace {

auto date_export() { return QZ_FN(qz::test::Library::get(), QZ_GetLastWriteTime); }
auto helper_export() { return QZ_FN(qz::test::Library::get(), QZ_GetLastWriteTimeHelper); }

// Makes a file whose last write was at the given local time of the process's
// zone (Windows' own setting; Wine's from TZ).
bool make_written_at(const std::string& path, WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    write_file(path, "x");
    const SYSTEMTIME local{year, month, 0, day, hour, minute, 0, 0};
    SYSTEMTIME st{};
    FILETIME ft{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &st)) return false;
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const bool ok = h != INVALID_HANDLE_VALUE && SystemTimeToFileTime(&st, &ft) && SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok;
}

class FilesDate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.bind(), 630); }
    qz::test::EngineHost host;
    qz::test::TempDir dir;
};

}  // namespace

// CTest runs this with the process zone at UTC and again at Asia/Tokyo; the
// kit for Windows in the machine's own zone. Half an hour either side of a
// local midnight tells the local date from the UTC one in any zone but UTC.
TEST_F(FilesDate, LocalDayMonthYear) {
    const struct { WORD year, month, day, hour, minute; const char* date; } cases[] = {
        {2017, 3, 5, 12, 0, "05/03/2017"}, {2016, 12, 31, 23, 30, "31/12/2016"}, {2017, 1, 1, 0, 30, "01/01/2017"}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = dir.file("local" + std::to_string(n++));
        ASSERT_TRUE(make_written_at(path, c.year, c.month, c.day, c.hour, c.minute)) << c.date;
        EXPECT_STREQ(date_export()(path.c_str()), c.date);
    }
    EXPECT_TRUE(host.diag_var_calls().empty());
    EXPECT_TRUE(host.diag_calls().empty());
}

TEST_F(FilesDate, FailuresGiveNullAndOneMessageWithTheCode) {
    const std::string missing = dir.file("missing"), locked = dir.file("locked");
    write_file(locked, "x");
    HANDLE writer = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // Codes as host numbers (value << 10); 0: any code but success.
    const struct { const char* path; std::int32_t code; } cases[] = {
        {missing.c_str(), 2 << 10}, {locked.c_str(), 32 << 10}, {dir.path().c_str(), 0}, {nullptr, 0}};
    for (const auto& c : cases) {
        host.clear_records();
        EXPECT_EQ(date_export()(c.path), nullptr) << (c.path ? c.path : "null path");
        ASSERT_EQ(host.diag_var_calls().size(), 1u) << (c.path ? c.path : "null path");
        EXPECT_EQ(host.diag_var_calls()[0].format, "\nCreateFile failed with %f");
        if (c.code) EXPECT_EQ(host.diag_var_calls()[0].value, c.code);
        else EXPECT_NE(host.diag_var_calls()[0].value, 0);
        EXPECT_TRUE(host.diag_calls().empty());
    }
    CloseHandle(writer);
}

TEST_F(FilesDate, HelperWritesTheWholeDateOrLeavesTheBufferAlone) {
    const std::string path = dir.file("h");
    ASSERT_TRUE(make_written_at(path, 2017, 3, 5, 12, 0));
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const struct { HANDLE file; std::int32_t capacity; bool writes; } cases[] = {
        {h, 32, true}, {h, 11, true}, {h, 10, false}, {h, 1, false}, {h, 0, false}, {h, -1, false},
        {nullptr, 32, false}, {INVALID_HANDLE_VALUE, 32, false}, {reinterpret_cast<HANDLE>(0x7ff0), 32, false}};
    for (const auto& c : cases) {
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        const std::string want = c.writes ? std::string("05/03/2017", 11) + std::string(21, '#') : std::string(32, '#');
        EXPECT_EQ(helper_export()(c.file, buf, c.capacity), c.writes ? 1 : 0) << c.file << " " << c.capacity;
        EXPECT_EQ(std::string(buf, sizeof buf), want) << c.file << " " << c.capacity;
    }
    EXPECT_EQ(helper_export()(h, nullptr, 32), 0);
    FILETIME a{}, b{}, c{};
    EXPECT_TRUE(GetFileTime(h, &a, &b, &c));  // the handle is still the caller's, open
    CloseHandle(h);
}
