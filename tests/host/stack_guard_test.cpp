// Black box, on a program of the shipped binaries' build (stack_smash_probe):
// a stack overrun in code built with the project's flags ends the process by
// fast fail, 0xC0000409, with none of the process's own exception handlers
// run: nothing dispatches an exception through a chain the overrun may have
// overwritten, and the overwritten return address is never used.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "testhost/test_support.h"

namespace {

using qz::test::exe_dir;
using qz::test::run_child;

struct Probe {
    qz::test::ChildResult result;
    std::string notes;   // what the probe wrote: "returned", "handler ran: ..."
    std::string output;  // its standard output and error
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

Probe run_probe(const std::vector<std::string>& how) {
    qz::test::TempDir dir;
    const std::string file = dir.file("notes.txt");
    std::vector<std::string> args{file};
    args.insert(args.end(), how.begin(), how.end());
    qz::test::ChildOptions options;
    options.cwd = dir.path();
    options.output = dir.file("output.txt");
    Probe p;
    p.result = run_child(exe_dir() + "\\stack_smash_probe.exe", args, options, 60000);
    p.notes = read_file(file);
    p.output = read_file(options.output);
    return p;
}

TEST(StackGuard, AnOverrunEndsTheProcessByFastFailBeforeAnyHandler) {
    const Probe p = run_probe({"overrun", "64"});
    ASSERT_TRUE(p.result.started);
    ASSERT_TRUE(p.result.finished);
    if (p.notes.find("at the fast-fail interrupt") != std::string::npos) {
        // A system without the fast-fail interrupt (32-bit Wine 8) raises an
        // exception at it: the check still failed before the function
        // returned, and nothing but that one exception reached a handler.
        EXPECT_EQ(p.notes,
                  "handler ran: vectored, code c0000005, at the fast-fail interrupt\n"
                  "handler ran: unhandled filter, code c0000005, at the fast-fail interrupt\n");
        std::printf("this system does not implement the fast-fail interrupt: %s", p.notes.c_str());
    } else {
        EXPECT_EQ(p.result.exit_code, 0xC0000409u) << std::hex << p.result.exit_code;
        EXPECT_EQ(p.notes, "") << "the overrun function returned or a handler ran";
    }
    // mingw-w64's __stack_chk_fail says so before it fails fast.
    EXPECT_NE(p.output.find("*** stack smashing detected ***"), std::string::npos) << p.output;
}

TEST(StackGuard, TheProbeWorksWithoutAnOverrun) {
    // The same copy within the array returns normally, and an ordinary
    // exception does reach the probe's handlers: the test above would see them.
    const Probe fits = run_probe({"overrun", "16"});
    ASSERT_TRUE(fits.result.finished);
    EXPECT_EQ(fits.result.exit_code, 0u);
    EXPECT_EQ(fits.notes, "returned\n");

    const Probe raised = run_probe({"raise"});
    ASSERT_TRUE(raised.result.finished);
    EXPECT_NE(raised.notes.find("handler ran: vectored, code e0000051"), std::string::npos) << raised.notes;
    EXPECT_NE(raised.notes.find("handler ran: unhandled filter, code e0000051"), std::string::npos) << raised.notes;
    EXPECT_EQ(raised.notes.find("returned"), std::string::npos) << raised.notes;
}

}  // namespace
