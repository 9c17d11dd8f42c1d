// The test kit's runner: the kit's test list (tests.txt, written by the build
// from the tests as CTest registers them) and one test run as CTest runs it,
// in a process of its own with its environment, working folder and limit.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win/handle.h"

namespace qz::kit {

using ProcessHandle = win::UniqueHandle<win::KernelHandleTraits>;
using ThreadHandle = win::UniqueHandle<win::KernelHandleTraits>;
using JobHandle = win::UniqueHandle<win::KernelHandleTraits>;
using FileHandle = win::UniqueHandle<win::KernelHandleTraits>;

struct TestEntry {
    std::string name;
    std::wstring program;             // relative to the kit's folder
    std::vector<std::wstring> args;   // the files of other programs, relative to the program's folder
    std::vector<std::wstring> env;    // VAR=VALUE, on top of the runner's environment
    int limit_seconds = 0;            // 0: the run's default
};

struct Manifest {
    std::string title;                  // what kit this is (version, commit)
    std::vector<TestEntry> tests;
    std::vector<std::string> left_out;  // "name: why"
};

// The kit's test list: records of "key value" lines ("test NAME" first, then
// program, arg, env, limit), a blank line between them; "kit TITLE" and
// "left-out NAME: WHY" lines stand alone. False, with the line, when a line
// makes no sense.
bool parse_manifest(const std::string& text, Manifest& out, std::string& error);

struct Outcome {
    bool passed = false;
    std::string reason;  // why not
    double seconds = 0;
};

struct RunPlace {
    std::wstring kit_dir;     // where tests.txt and the programs are
    std::wstring report_dir;  // NAME.log, NAME.xml and NAME.work/ go here
    int default_limit = 300;  // seconds, for a test without its own
};

// Runs one test: its program in a job (so that it and every process it starts
// end at its limit), output and errors into report/NAME.log, GoogleTest's XML
// into report/NAME.xml, in a fresh working folder report/NAME.work (removed
// when it passes). A program that is missing, cannot start, crashes, ends
// with another status than 0 or outlives its limit fails, with the reason.
Outcome run_test(const TestEntry& test, const RunPlace& place);

// What an exit status says: "exit status 1", or the exception or loader
// failure it is ("crashed: exception 0xC0000005 (access violation)").
std::string describe_exit(DWORD code);

// The system's message for a Win32 error code, with the code; `insert`
// stands for the message's "%1" (a file's name).
std::string describe_error(DWORD code, const std::string& insert = "it");

std::string narrow(const std::wstring& text);
std::wstring widen(const std::string& text);

}  // namespace qz::kit
