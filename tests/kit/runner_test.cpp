// The kit's runner (qztest.exe) as a user runs it: copied with a test list
// into a folder of its own, run, and judged by its report. Each fault is one
// failed test with its reason, and the run goes on to the next.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "testhost/test_support.h"

namespace {

using qz::test::TempDir;

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The line of the report that starts with `start`, or "".
std::string line_starting(const std::vector<std::string>& lines, const std::string& start) {
    for (const auto& l : lines)
        if (l.rfind(start, 0) == 0) return l;
    return "";
}

// A kit in `dir`: the runner, the child and the given test list.
void make_kit(const TempDir& dir, const std::string& tests) {
    const std::string here = qz::test::exe_dir();
    ASSERT_TRUE(CreateDirectoryA(dir.file("bin").c_str(), nullptr));
    ASSERT_TRUE(CopyFileA((here + "\\qztest.exe").c_str(), dir.file("qztest.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((here + "\\kit_child.exe").c_str(), dir.file("bin\\kit_child.exe").c_str(), FALSE));
    qz::test::write_file(dir.file("tests.txt"), "kit a test kit\n\nleft-out elsewhere: needs Linux\n\n" + tests);
}

std::string record(const std::string& name, const std::string& program, const std::string& extra = "") {
    return "test " + name + "\nprogram bin/" + program + "\n" + extra + "\n";
}

struct Summary {
    std::string text;
    std::vector<std::string> lines;  // never empty
};

// Runs the kit's runner with `env` on top of this process's environment: the
// summary it leaves at `path`, after it ended with `status`.
Summary run_kit(const TempDir& kit, const std::vector<std::pair<std::string, std::string>>& env, DWORD status,
                const std::string& path) {
    const auto run = qz::test::run_child(kit.file("qztest.exe"), {}, qz::test::ChildOptions(kit.path(), env), 120000);
    EXPECT_TRUE(run.started && run.finished);
    EXPECT_EQ(run.exit_code, status);
    Summary s;
    EXPECT_TRUE(qz::test::read_file(path, s.text)) << path;
    s.lines = lines_of(s.text);
    if (s.lines.empty()) s.lines.push_back("(no summary)");
    return s;
}

bool process_gone(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return true;
    const bool gone = WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

TEST(KitRunner, EachFaultIsOneFailedTestAndTheRunGoesOn) {
    TempDir kit;
    const std::string pids = kit.file("pids.txt");
    make_kit(kit, record("first", "kit_child.exe", "env QZ_KIT_CHILD=pass") +
                      record("crash", "kit_child.exe", "env QZ_KIT_CHILD=crash") +
                      record("hang", "kit_child.exe", "env QZ_KIT_CHILD=hang\nenv QZ_KIT_CHILD_PIDS=" + pids + "\nlimit 3") +
                      record("missing", "absent.exe") + record("not_a_program", "not_a_program.exe") +
                      record("environment", "kit_child.exe", "env QZ_KIT_CHILD=env\nenv QZ_KIT_PROBE=a b=c") +
                      record("last", "kit_child.exe", "env QZ_KIT_CHILD=pass"));
    qz::test::write_file(kit.file("bin\\not_a_program.exe"), "text, not a program\r\n");
    // The runner's own GoogleTest settings must not reach its tests.
    const auto [text, lines] = run_kit(kit, {{"GTEST_FILTER", "Nothing.*"}}, 1, kit.file("report\\summary.txt"));
    EXPECT_EQ(lines.back(), "3 passed, 4 failed") << text;
    EXPECT_EQ(lines.front(), "a test kit");
    EXPECT_NE(line_starting(lines, "Windows: "), "") << text;
    EXPECT_NE(line_starting(lines, "left out of the kit: elsewhere: needs Linux"), "") << text;
    EXPECT_NE(line_starting(lines, "pass  first ("), "") << text;
    EXPECT_NE(line_starting(lines, "pass  last ("), "") << text;
    EXPECT_NE(line_starting(lines, "pass  environment ("), "") << text;
    const std::string crash = line_starting(lines, "FAIL  crash (");
    EXPECT_NE(crash.find("crashed: exception 0xC0000005 (access violation)"), std::string::npos) << text;
    EXPECT_NE(line_starting(lines, "FAIL  hang (").find("hung: killed at its limit of 3 s"), std::string::npos) << text;
    EXPECT_NE(line_starting(lines, "FAIL  missing (").find("the program is missing: bin\\absent.exe"), std::string::npos)
        << text;
    EXPECT_NE(line_starting(lines, "FAIL  not_a_program (").find("cannot start bin\\not_a_program.exe: "),
              std::string::npos)
        << text;

    // The hung test's own child ended with it.
    std::string pid;
    ASSERT_TRUE(qz::test::read_file(pids, pid)) << "the hanging child started no child of its own";
    EXPECT_TRUE(process_gone(std::strtoul(pid.c_str(), nullptr, 10))) << "its child outlived the limit";
    // Each test's output in its log; the working folder of a pass removed, of a failure kept.
    std::string log;
    ASSERT_TRUE(qz::test::read_file(kit.file("report\\environment.log"), log));
    EXPECT_NE(log.find("GTEST_OUTPUT=xml:" + kit.file("report\\environment.xml")), std::string::npos) << log;
    EXPECT_FALSE(qz::test::file_exists(kit.file("report\\first.work")));
    EXPECT_TRUE(qz::test::file_exists(kit.file("report\\crash.work")));
}

TEST(KitRunner, AFolderItCannotWriteSendsTheReportToTheTemporaryFolder) {
    TempDir kit, temp;
    make_kit(kit, record("only", "kit_child.exe", "env QZ_KIT_CHILD=pass"));
    // Where the report would go is taken: the kit's folder gives it no place.
    qz::test::write_file(kit.file("report"), "not a folder");
    const auto [text, lines] = run_kit(kit, {{"TMP", temp.path()}, {"TEMP", temp.path()}}, 0,
                                       temp.file("qzutilities-tests-report\\summary.txt"));
    EXPECT_EQ(lines.back(), "1 passed, 0 failed") << text;
    EXPECT_NE(line_starting(lines, kit.file("report") + " cannot be written: "), "") << text;
    EXPECT_NE(line_starting(lines, "Report: " + temp.file("qzutilities-tests-report")), "") << text;
}

}  // namespace
