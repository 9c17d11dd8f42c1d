// The rotating log, black box: each scenario runs the log exports in a fresh
// process (log_driver) inside a scratch folder and reads the files it leaves.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "testhost/test_support.h"

using qz::test::TempDir;

namespace {

constexpr size_t kRotation = 10485760;
constexpr size_t kPrefix = 17;  // "HH:MM:SS: info - "

qz::test::ChildResult drive(const TempDir& dir, const std::vector<std::string>& steps,
                            const std::vector<std::pair<std::string, std::string>>& env = {}) {
    return qz::test::run_child(qz::test::exe_dir() + "\\log_driver.exe", steps, dir.path(), env, 120000);
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
// formatted text would reach 10,485,760.
TEST(Log, SizeRotationAtTheExactBoundary) {
    const size_t first = kRotation - 100 - kPrefix - 1;  // leaves exactly 100 characters
    {
        TempDir dir;  // formatted text of 99 characters: still fits
        expect_ran(drive(dir, {"init", "big:0:" + std::to_string(first), "big:0:" + std::to_string(99 - kPrefix)}));
        EXPECT_EQ(log_files(dir), std::vector<std::string>{"qzlog_0.txt"});
        EXPECT_EQ(contents(dir, "qzlog_0.txt").size(), kRotation - 100 + 1 + 99 + 2);
    }
    {
        TempDir dir;  // 100 characters would reach the limit: next file, the full one untouched
        expect_ran(drive(dir, {"init", "big:0:" + std::to_string(first), "big:0:" + std::to_string(100 - kPrefix)}));
        EXPECT_EQ(log_files(dir), (std::vector<std::string>{"qzlog_0.txt", "qzlog_1.txt"}));
        const std::string full = contents(dir, "qzlog_0.txt");
        EXPECT_EQ(full.size(), kPrefix + first + 2);
        EXPECT_EQ(full.substr(full.size() - 3), "x\r\n");
        EXPECT_EQ(contents(dir, "qzlog_1.txt").size(), 100u + 2);
    }
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

TEST(Log, MessageLargerThanTheRotationSizeIsWrittenAndReturns) {
    TempDir dir;
    const std::string big = std::to_string(11 * 1024 * 1024);
    expect_ran(drive(dir, {"init", "big:0:" + big, "big:1:" + big, "log:2:small"}));
    // Each oversized record fills a file of its own; nothing else is created.
    EXPECT_EQ(log_files(dir), (std::vector<std::string>{"qzlog_0.txt", "qzlog_1.txt", "qzlog_2.txt"}));
    EXPECT_EQ(contents(dir, "qzlog_0.txt").size(), kPrefix + 11 * 1024 * 1024 + 2);
    EXPECT_EQ(contents(dir, "qzlog_1.txt").size(), kPrefix + 3 + 11 * 1024 * 1024 + 2);
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
