// The rotating log, black box: each scenario runs the log exports in a fresh
// process (log_driver) inside a scratch folder and reads the files it leaves.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <regex>
#include <set>

#include "testhost/test_support.h"

using qz::test::TempDir;

namespace {

constexpr size_t kRotation = 10485760;
constexpr size_t kPrefix = 17;  // "HH:MM:SS: info - "

qz::test::ChildResult drive(const TempDir& dir, const std::vector<std::string>& steps,
                            const std::vector<std::pair<std::string, std::string>>& env = {}) {
    return qz::test::run_child(qz::test::exe_dir() + "\\log_driver.exe", steps, {dir.path(), env}, 120000);
}

void expect_ran(const qz::test::ChildResult& r) {
    ASSERT_TRUE(r.started);
    ASSERT_TRUE(r.finished) << "the driver did not finish in time";
    ASSERT_EQ(r.exit_code, 0u);
}

std::string contents(const TempDir& dir, const std::string& name) {
    std::string s;
    EXPECT_TRUE(qz::test::read_file(dir.file(name), s)) << name << " missing";
    return s;
}

// Size and last bytes of a log file, without reading megabytes into the test.
std::uint64_t file_size(const TempDir& dir, const std::string& name) {
    WIN32_FILE_ATTRIBUTE_DATA a{};
    EXPECT_TRUE(GetFileAttributesExA(dir.file(name).c_str(), GetFileExInfoStandard, &a)) << name << " missing";
    return std::uint64_t{a.nFileSizeHigh} << 32 | a.nFileSizeLow;
}

std::string tail(const TempDir& dir, const std::string& name, size_t n) {
    std::ifstream in(dir.file(name), std::ios::binary | std::ios::ate);
    if (!in || static_cast<size_t>(in.tellg()) < n) return {};
    in.seekg(-static_cast<std::streamoff>(n), std::ios::end);
    std::string s(n, '\0');
    in.read(&s[0], static_cast<std::streamsize>(n));
    return s;
}

std::vector<std::string> log_files(const TempDir& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(dir.file("qzlog_*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(Log, LevelsMapToSeveritiesInTheExactLineFormat) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "log:0:zero", "log:1:Door open", "log:2:two", "log:3:three", "log:-1:minus"}));
    const std::string text = contents(dir, "qzlog_0.txt");
    const std::regex line("\\d\\d:\\d\\d:\\d\\d: (\\w+) - (.*)\r\n");
    std::vector<std::pair<std::string, std::string>> got;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
        got.emplace_back((*it)[1], (*it)[2]);
    const std::vector<std::pair<std::string, std::string>> want = {
        {"info", "zero"}, {"warning", "Door open"}, {"error", "two"}, {"info", "three"}, {"info", "minus"}};
    EXPECT_EQ(got, want);
    EXPECT_TRUE(std::regex_match(text, std::regex("(\\d\\d:\\d\\d:\\d\\d: \\w+ - \\w+( \\w+)?\r\n){5}")));
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"qzlog_0.txt"});
}

TEST(Log, NullMessageWritesNothingAndCreatesNoFile) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "null"}));
    EXPECT_TRUE(log_files(dir).empty());

    TempDir dir2;
    expect_ran(drive(dir2, {"init", "null", "log:0:only", "null"}));
    EXPECT_TRUE(std::regex_match(contents(dir2, "qzlog_0.txt"), std::regex("\\d\\d:\\d\\d:\\d\\d: info - only\r\n")));
}

TEST(Log, PercentSignsAndLineBreaksAreWrittenVerbatim) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "log:0:100% %s %d %n\\nsecond line"}));
    // The file is written in text mode: the message's line break becomes CR LF too.
    EXPECT_TRUE(std::regex_match(contents(dir, "qzlog_0.txt"),
                                 std::regex("\\d\\d:\\d\\d:\\d\\d: info - 100% %s %d %n\r\nsecond line\r\n")));
}

TEST(Log, LogBeforeInitWritesNoFile) {
    TempDir dir;
    expect_ran(drive(dir, {"log:0:early", "log:2:early too"}));
    EXPECT_TRUE(log_files(dir).empty());
}

TEST(Log, RestartEmptiesTheFirstFileAndLeavesTheOthers) {
    TempDir dir;
    qz::test::write_file(dir.file("qzlog_0.txt"), "old run, line one\r\nold run, line two\r\n");
    qz::test::write_file(dir.file("qzlog_1.txt"), "older file\r\n");
    expect_ran(drive(dir, {"init", "log:0:fresh"}));
    EXPECT_TRUE(std::regex_match(contents(dir, "qzlog_0.txt"), std::regex("\\d\\d:\\d\\d:\\d\\d: info - fresh\r\n")));
    EXPECT_EQ(contents(dir, "qzlog_1.txt"), "older file\r\n");
}

// Rotation counts characters: each record's formatted text plus one for its
// line break. A record goes to the next file when the count so far plus its
// formatted text would reach 10,485,760. Both sides of that boundary in one
// run: a file filled to leave exactly 100 characters takes a record of 99, and
// the next file, filled the same way, passes one of 100 on to a third.
TEST(Log, SizeRotationAtTheExactBoundary) {
    const size_t fill = kRotation - 100 - kPrefix - 1;  // leaves exactly 100 characters
    TempDir dir;
    expect_ran(drive(dir, {"init", "big:0:" + std::to_string(fill), "big:0:" + std::to_string(99 - kPrefix),
                           "big:0:" + std::to_string(fill), "big:0:" + std::to_string(100 - kPrefix)}));
    EXPECT_EQ(log_files(dir), (std::vector<std::string>{"qzlog_0.txt", "qzlog_1.txt", "qzlog_2.txt"}));
    EXPECT_EQ(file_size(dir, "qzlog_0.txt"), kRotation - 100 + 1 + 99 + 2);  // 99 still fits
    EXPECT_EQ(file_size(dir, "qzlog_1.txt"), kPrefix + fill + 2);            // 100 would reach the limit:
    EXPECT_EQ(tail(dir, "qzlog_1.txt", 3), "x\r\n");                       // the full file untouched,
    EXPECT_EQ(file_size(dir, "qzlog_2.txt"), 100u + 2);                      // the record in the next one
}

// The midnight rule is asked again once the clock's second has changed; on
// the same local date it must answer no, or every second would begin a file.
TEST(Log, RecordsSecondsApartOnOneDateShareOneFile) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    TempDir dir;
    expect_ran(drive(dir, {"init", "log:0:first", "sleep:1100", "log:1:a second later", "log:2:third"}));
    GetLocalTime(&after);
    if (after.wDay != before.wDay) GTEST_SKIP() << "the local date changed during the run";
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"qzlog_0.txt"});
    const std::string text = contents(dir, "qzlog_0.txt");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, std::regex("(\\d\\d:\\d\\d:\\d\\d): info - first\r\n"
                                                     "(\\d\\d:\\d\\d:\\d\\d): warning - a second later\r\n"
                                                     "\\d\\d:\\d\\d:\\d\\d: error - third\r\n")))
        << text;
    EXPECT_NE(m[1].str(), m[2].str()) << "the records were not a second apart";
}

TEST(Log, SecondInitKeepsOneSinkAndTheWrittenLog) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "log:0:before", "init", "log:1:after", "init", "init", "log:2:last"}));
    const std::string text = contents(dir, "qzlog_0.txt");
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d\\d:\\d\\d:\\d\\d: info - before\r\n"
                                                  "\\d\\d:\\d\\d:\\d\\d: warning - after\r\n"
                                                  "\\d\\d:\\d\\d:\\d\\d: error - last\r\n")))
        << text;
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"qzlog_0.txt"});
}

TEST(Log, MessageOfTheRotationSizeOrLargerIsWrittenAndReturns) {
    // Formatted texts of exactly the rotation size and one more: the smallest
    // records that no file can take within the limit.
    TempDir dir;
    const size_t at_limit = kRotation - kPrefix, above = kRotation + 1 - (kPrefix + 3);
    expect_ran(drive(dir, {"init", "big:0:" + std::to_string(at_limit), "big:1:" + std::to_string(above), "log:2:small"}));
    // Each oversized record fills a file of its own; nothing else is created.
    EXPECT_EQ(log_files(dir), (std::vector<std::string>{"qzlog_0.txt", "qzlog_1.txt", "qzlog_2.txt"}));
    EXPECT_EQ(file_size(dir, "qzlog_0.txt"), kRotation + 2);
    EXPECT_EQ(file_size(dir, "qzlog_1.txt"), kRotation + 1 + 2);
    EXPECT_EQ(tail(dir, "qzlog_1.txt", 3), "x\r\n");
    EXPECT_TRUE(std::regex_match(contents(dir, "qzlog_2.txt"), std::regex("\\d\\d:\\d\\d:\\d\\d: error - small\r\n")));
}

TEST(Log, FileThatCannotBeOpenedDoesNotReachTheHost) {
    {
        TempDir dir;  // another process holds the file without sharing it
        HANDLE held = CreateFileA(dir.file("qzlog_0.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        expect_ran(drive(dir, {"init", "log:0:lost", "log:1:lost too"}));
        CloseHandle(held);
        EXPECT_EQ(contents(dir, "qzlog_0.txt"), "");
    }
    {
        TempDir dir;  // a folder stands where the file should be
        ASSERT_TRUE(CreateDirectoryA(dir.file("qzlog_0.txt").c_str(), nullptr));
        expect_ran(drive(dir, {"init", "log:0:lost", "log:2:lost too"}));
        EXPECT_EQ(GetFileAttributesA(dir.file("qzlog_0.txt").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
                  static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    }
}

TEST(Log, DeletedLogFileDoesNotStopTheCaller) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "log:0:one", "delete", "log:0:two"}));
}

TEST(Log, RecordsFromManyThreadsAreWholeLinesEachWrittenOnce) {
    TempDir dir;
    expect_ran(drive(dir, {"init", "threads:8:250"}));
    const std::string text = contents(dir, "qzlog_0.txt");
    const std::regex line("\\d\\d:\\d\\d:\\d\\d: (info|warning|error) - thread (\\d) record (\\d+) ([a-z])\\4{199}\r\n");
    std::set<std::pair<int, int>> seen;
    size_t pos = 0, lines = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it, ++lines) {
        ASSERT_EQ(static_cast<size_t>(it->position()), pos) << "damaged text before line " << lines;
        pos += it->length();
        seen.insert({std::stoi((*it)[2]), std::stoi((*it)[3])});
    }
    EXPECT_EQ(pos, text.size());
    EXPECT_EQ(lines, 2000u);
    EXPECT_EQ(seen.size(), 2000u);
}

// The platform saying no, for real. Each failure costs the line whose call met
// it and no other: the lines after it reach the file again.
TEST(LogFailures, AFileThatCannotBeOpenedCostsOnlyTheLineThatMetIt) {
    TempDir dir;
    // A folder holds qzlog_0.txt's name while the first line is written.
    expect_ran(drive(dir, {"folder:qzlog_0.txt", "init", "log:0:one", "unfolder:qzlog_0.txt", "log:1:two",
                           "log:2:three"}));
    EXPECT_TRUE(std::regex_match(contents(dir, "qzlog_0.txt"), std::regex("\\d\\d:\\d\\d:\\d\\d: warning - two\r\n"
                                                                          "\\d\\d:\\d\\d:\\d\\d: error - three\r\n")));
    EXPECT_EQ(log_files(dir), std::vector<std::string>{"qzlog_0.txt"});  // the same name, not the next
}

TEST(LogFailures, ALineOnAThreadWithoutATlsIndexReturnsAndTheLogGoesOn) {
    TempDir dir;
    // Taken before the log's set-up. (Taken before the library loads, they
    // make LoadLibrary fail: the library's own thread-local data needs one.)
    expect_ran(drive(dir, {"tls-exhaust", "init", "thread-log:0:no index", "log:0:no index either", "tls-free",
                           "thread-log:1:new thread", "log:2:first thread"}));
    EXPECT_TRUE(std::regex_match(contents(dir, "qzlog_0.txt"), std::regex("\\d\\d:\\d\\d:\\d\\d: warning - new thread\r\n"
                                                                          "\\d\\d:\\d\\d:\\d\\d: error - first thread\r\n")));
}

// Out of memory in a 32-bit process: every free address reserved. The
// conversions return their result or their documented failure (the driver
// checks: status 4 otherwise), a log line returns, and once the space is
// back the log writes again.
TEST(LogFailures, NoAddressSpaceLeftEndsNothing) {
    if (sizeof(void*) == 8) GTEST_SKIP() << "a 64-bit address space cannot be used up";
    TempDir dir;
    // (The first conversion also sizes the driver's own buffers for the second.)
    expect_ran(drive(dir, {"init", "log:0:before", "convert:1000000", "reserve", "convert:1000000", "log:0:during",
                           "unreserve", "log:0:after", "convert:1000000"}));
    const std::string text = contents(dir, "qzlog_0.txt");
    EXPECT_TRUE(std::regex_match(text, std::regex("\\d\\d:\\d\\d:\\d\\d: info - before\r\n"
                                                  "(\\d\\d:\\d\\d:\\d\\d: info - during\r\n)?"
                                                  "\\d\\d:\\d\\d:\\d\\d: info - after\r\n")))
        << text;
}
