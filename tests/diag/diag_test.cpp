// Process and module diagnostics, black box: the exports of the loaded DLL
// against real processes under names no other process has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/diag/diag_support.h"
#include "testhost/engine_host.h"

using namespace qz::test;
using namespace qz::test::diag;

namespace {

using Query = decltype(&::QZ_IsProcess);  // QZ_IsModule's type too
Query is_process() { return QZ_FN(Library::get(), QZ_IsProcess); }
Query is_module() { return QZ_FN(Library::get(), QZ_IsModule); }
void diag_process() { QZ_FN(Library::get(), QZ_DiagProcess)(); }
void diag_module(const char* name) { QZ_FN(Library::get(), QZ_DiagModule)(name); }

std::int32_t ask(Query q, const std::vector<std::string>& names) {
    Table t(names, 64);
    return q(&t.first, static_cast<std::int32_t>(names.size()), 64);
}

// Readable memory ending at a page nobody may touch: a name placed with its
// terminator on the last readable byte crashes any read past that terminator.
struct GuardedPage {
    static constexpr std::size_t kPage = 4096;
    char* base = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD was = 0;
    bool ok = base && VirtualProtect(base + kPage, kPage, PAGE_NOACCESS, &was);
    ~GuardedPage() { VirtualFree(base, 0, MEM_RELEASE); }
    const char* place_at_end(const std::string& s) {
        return static_cast<char*>(std::memcpy(base + kPage - s.size() - 1, s.c_str(), s.size() + 1));
    }
};

// Calls fn as a cdecl caller does, with `count` word-sized arguments on the
// stack (1, 2, ...; on x86-64 above the four register homes), and returns how
// far the stack pointer stood from the caller's own pops after the call: 0
// unless fn popped arguments itself (a callee-pops export) or lost its place.
// The pointer and the count travel in registers fn must keep (ebx/rbx and
// edi/rdi), so a clobber of those shows too.
__attribute__((noinline)) std::intptr_t stack_left_after(void (*fn)(), std::uintptr_t count) {
    std::intptr_t off;
#if defined(__i386__)
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "movl %%edi, %%ecx\n\t"
        "jecxz 2f\n"
        "1:\n\t"
        "pushl %%ecx\n\t"
        "loop 1b\n"
        "2:\n\t"
        "call *%%ebx\n\t"
        "leal (%%esp,%%edi,4), %%eax\n\t"  // where the caller's pops take esp
        "subl %%esi, %%eax\n\t"
        "movl %%esi, %%esp\n\t"
        : "=&a"(off)
        : "b"(fn), "D"(count)
        : "ecx", "edx", "esi", "memory", "cc");
#elif defined(__x86_64__)
    asm volatile(
        "movq %%rsp, %%r12\n\t"
        "andq $-16, %%rsp\n\t"
        "movq %%rsp, %%r13\n\t"
        "testq $1, %%rdi\n\t"  // 16-byte aligned at the call
        "jz 3f\n\t"
        "subq $8, %%rsp\n"
        "3:\n\t"
        "movq %%rdi, %%rcx\n\t"
        "jrcxz 2f\n"
        "1:\n\t"
        "pushq %%rcx\n\t"
        "loop 1b\n"
        "2:\n\t"
        "subq $32, %%rsp\n\t"
        "call *%%rbx\n\t"
        "movq %%rdi, %%rax\n\t"
        "andq $1, %%rax\n\t"
        "addq %%rdi, %%rax\n\t"
        "leaq 32(%%rsp,%%rax,8), %%rax\n\t"  // where the caller's pops take rsp
        "subq %%r13, %%rax\n\t"
        "movq %%r12, %%rsp\n\t"
        : "=&a"(off)
        : "b"(fn), "D"(count)
        : "rcx", "rdx", "r8", "r9", "r10", "r11", "r12", "r13", "memory", "cc");
#else
#error "an x86 target"
#endif
    return off;
}

}  // namespace

// The scan's empty entry, bound by name as a script binds it, with whatever
// a script pushes: it returns, leaves the arguments to the caller and keeps
// the caller's registers and locals.
TEST(WhiteListScan, TheEmptyEntryLeavesTheCallersStackAsItWas) {
    auto* empty = QZ_FN(Library::get(), QZ_OutsideOfWhiteListModules);
    for (std::uintptr_t count : {0u, 1u, 3u, 8u})
        EXPECT_EQ(stack_left_after(empty, count), 0) << count << " arguments";
    volatile std::uint32_t before = 0x5eed1234u, after = 0x0ddba11u;
    Library::get().fn<void(__cdecl*)(const char*, std::int32_t, void*, double)>("QZ_OutsideOfWhiteListModules")(
        "qz_none.dll", -1, nullptr, 2.5);
    QZ_FN(Library::get(), QZ_OutsideOfWhiteListModules)();
    EXPECT_EQ(before, 0x5eed1234u);
    EXPECT_EQ(after, 0x0ddba11u);
    EXPECT_EQ(GetProcAddress(Library::get().handle(), "QZ_GetListOfSuspiciousDllInfo"), nullptr);
}

TEST(Queries, FindTheChildAndItsOwnDllByFileNameInAnyLetterCase) {
    Child child;
    ASSERT_TRUE(child.ready);
    const std::string exe = child.exe_name, dll = child.dll_name;
    ASSERT_EQ(GetModuleHandleA(dll.c_str()), nullptr) << "the test process must not have the DLL";
    const std::tuple<Query, std::vector<std::string>, int> cases[] = {
        {is_process(), {exe}, 1}, {is_process(), {upper(exe)}, 1}, {is_process(), {"qz_none.exe", upper(exe)}, 1},
        {is_process(), {exe.substr(0, exe.size() - 1)}, 0}, {is_process(), {exe + "x"}, 0},  // other names
        {is_process(), {".\\" + exe}, 0}, {is_process(), {"C:\\" + exe}, 0},  // a folder never matches
        {is_module(), {dll}, 1}, {is_module(), {"qz_none.dll", upper(dll)}, 1}, {is_module(), {"C:\\" + dll}, 0},
    };
    for (const auto& [query, names, found] : cases) EXPECT_EQ(ask(query, names), found) << names.back();
    child.proc.kill();
    EXPECT_EQ(ask(is_process(), {exe}), 0);
    EXPECT_EQ(ask(is_module(), {dll}), 0);
}

TEST(NameTable, IsReadByStrideUpToTheCountAndEachTerminator) {
    Child child;
    ASSERT_TRUE(child.ready);
    // Record 1 begins 32 bytes in, whatever record 0's length; the bytes right
    // after record 0's terminator hold a name that is no record.
    Table t({"a.exe", child.exe_name}, 32);
    std::memcpy(&t.bytes[6], "zz.exe", 7);
    EXPECT_EQ(is_process()(&t.first, 2, 32), 1);
    EXPECT_EQ(is_process()(&t.first, 1, 32), 0) << "record 1 read although the count is 1";
    EXPECT_EQ(is_process()(&t.first, 2, 6), 0) << "a stride of 6 gives a.exe and zz.exe";
    const char* second = t.first + 32;
    for (Query q : {is_process(), is_module()}) {  // the child's image is one of its modules too
        EXPECT_EQ(q(&second, 1, 32), 1);
        for (std::int32_t count : {0, -1, INT32_MIN}) EXPECT_EQ(q(&second, count, 32), 0) << count;
    }
    // Bad input: long names, and names with no terminator within the stride,
    // each ending on the last readable byte.
    GuardedPage page;
    ASSERT_TRUE(page.ok);
    for (std::size_t length : {259u, 260u, 300u}) {
        const char* first = page.place_at_end(std::string(length - 4, 'q') + ".exe");
        for (Query q : {is_process(), is_module()}) {
            EXPECT_EQ(q(&first, 1, 64), 0) << length;
            EXPECT_EQ(q(&first, 1, static_cast<std::int32_t>(length + 1)), 0) << length;
        }
    }
    const char* first = page.place_at_end(child.exe_name);  // runs past a 4-byte stride
    EXPECT_EQ(is_process()(&first, 1, 4), 1);
    // Records 1.. are the name's tails down to its last letter, whose
    // terminator is the page's last byte. (Not the empty tail after it: a
    // process whose name the snapshot gives empty, one starting or ending
    // meanwhile, would match it.)
    const char* tail = first + 4;
    const auto tails = static_cast<std::int32_t>(child.exe_name.size() - 4);
    EXPECT_EQ(is_process()(&tail, tails, 1), 0);
    EXPECT_EQ(is_module()(&tail, tails, 1), 0);
}

// Our choices beyond the caller's guarantees: with no records (a count of 0
// or less) the table reference is not read at all, and a null reference or a
// null first record with a positive count is an empty table, not a crash.
TEST(NameTable, WithoutRecordsTheReferenceIsNotReadAndANullOneIsAnEmptyTable) {
    GuardedPage page;
    ASSERT_TRUE(page.ok);
    const auto* unreadable = reinterpret_cast<const char* const*>(page.base + GuardedPage::kPage);
    const char* none = nullptr;
    for (Query q : {is_process(), is_module()}) {
        for (std::int32_t count : {0, -1, INT32_MIN}) EXPECT_EQ(q(unreadable, count, 64), 0) << count;
        EXPECT_EQ(q(nullptr, 0, 64), 0);
        EXPECT_EQ(q(nullptr, 3, 64), 0);
        EXPECT_EQ(q(&none, 3, 64), 0);
    }
}

TEST(DiagProcess, WritesTwoTextsPerProcessInSnapshotOrder) {
    Child child;
    ASSERT_TRUE(child.ready);
    // A run counts when the snapshots taken before and after agree.
    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
        EngineHost host;
        host.bind();
        const auto before = processes();
        diag_process();
        if (before != processes()) continue;
        compared = true;
        const auto& calls = host.diag_calls();
        ASSERT_EQ(calls.size(), 2 * before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(calls[2 * i], "\nprocName: ");
            EXPECT_EQ(calls[2 * i + 1], before[i].second);
        }
        EXPECT_EQ(std::count(calls.begin(), calls.end(), child.exe_name), 1);
        EXPECT_TRUE(host.diag_var_calls().empty());
    }
    EXPECT_TRUE(compared) << "the process list never held still";
}

TEST(DiagModule, DumpsOnlyTheFirstProcessOfTheNameWithTheExactTexts) {
    Child a;
    ASSERT_TRUE(a.ready);
    Child b(a.exe_name);
    ASSERT_TRUE(b.ready);
    std::vector<DWORD> ids;
    for (const auto& [pid, name] : processes())
        if (name == a.exe_name) ids.push_back(pid);
    ASSERT_EQ(ids.size(), 2u);
    const Child& first = ids[0] == a.pid() ? a : b;
    const Child& second = ids[0] == a.pid() ? b : a;
    ASSERT_EQ(ids[1], second.pid());
    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
        EngineHost host;
        host.bind();
        const auto mods = modules_of(first.pid());
        diag_module(a.exe_name.c_str());
        if (mods.empty() || mods.size() != modules_of(first.pid()).size()) continue;
        compared = true;
        std::vector<std::string> want;
        for (const auto& m : mods) {
            // The caller's path is whatever this process has at that handle;
            // at the child-only DLL's handle it has nothing.
            char caller[MAX_PATH] = {};
            HMODULE mine = nullptr;
            if (m.name != first.dll_name &&
                GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(m.handle), &mine) &&
                mine == m.handle)
                GetModuleFileNameA(mine, caller, MAX_PATH);
            add_entry(want, m, caller);
        }
        const auto& calls = host.diag_calls();
        ASSERT_EQ(calls.size(), 8 + 7 * mods.size());
        EXPECT_EQ(std::count(calls.begin(), calls.end(), first.dll_name), 1);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), second.dll_name), 0);
        EXPECT_EQ(calls, framed(want));
    }
    EXPECT_TRUE(compared) << "the child's module list never held still";
    // Names match exactly here: another letter case is no process.
    const std::string other_case = upper(a.exe_name);
    for (const char* name : {other_case.c_str(), "qz_no_such_process.exe", static_cast<const char*>(nullptr)}) {
        EngineHost host;
        host.bind();
        diag_module(name);
        EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{kOpening, kClosing})) << (name ? name : "null");
    }
}

TEST(DiagModule, DumpingTheCallerItselfRepeatsEachPath) {
    // A copy of the child under a fresh name loads the library, dumps its own
    // modules and hands back the texts it got and those its module list asks for.
    TempDir dir;
    const std::string exe = dir.file(unique_name("qzds", ".exe"));
    ASSERT_TRUE(CopyFileA((exe_dir() + "\\diag_child.exe").c_str(), exe.c_str(), FALSE));
    bool compared = false;
    for (int attempt = 0; attempt < 5 && !compared; ++attempt) {
        const auto r = run_child(exe, {"--dump-self", exe_dir() + "\\qzutilities.dll", dir.file("dump.bin")});
        ASSERT_TRUE(r.finished);
        if (r.exit_code == 3) continue;  // its module list moved while it dumped
        ASSERT_EQ(r.exit_code, 0u);
        compared = true;
        std::string bytes;
        ASSERT_TRUE(read_file(dir.file("dump.bin"), bytes));
        std::vector<std::string> parts;
        for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
            parts.push_back(bytes.substr(at, end - at));
        const auto split = std::find(parts.begin(), parts.end(), "--");
        ASSERT_NE(split, parts.end());
        EXPECT_EQ(std::vector<std::string>(parts.begin(), split), std::vector<std::string>(split + 1, parts.end()));
    }
    EXPECT_TRUE(compared) << "the child's module list never held still";
}

// The count is the system handle table's, which sees each handle a call
// leaves open (the planted leak proves it), so a leak on any path shows after
// the calls that take it. Every export runs on each of its paths: those that
// walk the process snapshot two hundred times, the module walks (a module
// snapshot of every process, seconds each under emulation) five times, each
// of these counted on its own.
TEST(Handles, NoHandleLeaksOverRepeatedCallsOfEachExport) {
    Child child;
    ASSERT_TRUE(child.ready);
    EngineHost host;
    host.bind();
    Table proc({child.exe_name}, 64), dll({child.dll_name}, 64), miss({"qz_absent_name.dll"}, 64);
    // One call that leaves the count where it found it (not checked on the
    // first round, whose first uses may open handles for good).
    bool count_each = false;
    const auto leaves_none = [&](const char* what, const auto& call) {
        const DWORD at = qz::test::handle_count();
        call();
        if (count_each) {
            EXPECT_EQ(qz::test::handle_count(), at) << what;
        }
    };
    // Each round the process query finds nothing (a full walk) and the dumps
    // list the processes and find no process of the name; every tenth round
    // the process query finds the child; every fortieth the module query
    // finds nothing (a full walk) and the child's DLL, and the child's modules
    // are dumped.
    auto round = [&](int i) {
        EXPECT_EQ(is_process()(&miss.first, 1, 64), 0);
        diag_process();
        diag_module("qz_absent_name.exe");
        if (i % 10 == 0) {
            EXPECT_EQ(is_process()(&proc.first, 1, 64), 1);
        }
        if (i % 40 == 0) {
            leaves_none("module query, no match", [&] { EXPECT_EQ(is_module()(&miss.first, 1, 64), 0); });
            leaves_none("module query, the child's DLL", [&] { EXPECT_EQ(is_module()(&dll.first, 1, 64), 1); });
            leaves_none("module dump of the child", [&] { diag_module(child.exe_name.c_str()); });
        }
        host.clear_records();
    };
    round(0);  // the runtime may open handles once, on first use
    const DWORD before = qz::test::handle_count();
    HANDLE leaked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(qz::test::handle_count(), before + 1) << "the check does not see the handle left open";
    CloseHandle(leaked);
    ASSERT_EQ(qz::test::handle_count(), before);
    count_each = true;
    for (int i = 1; i <= 200 && !HasFailure(); ++i) round(i);
    EXPECT_EQ(qz::test::handle_count(), before);
}
