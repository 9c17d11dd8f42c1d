// Process and module diagnostics, black box: the exports of the loaded DLL
// against real processes under names no other process has.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "diag_support.h"
#include "testhost/engine_host.h"

using qz::test::EngineHost;
using qz::test::Library;
using qz::test::diag::Child;
using qz::test::diag::ModuleInfo;
using qz::test::diag::upper;

namespace {

using Query = std::int32_t(__cdecl*)(const char* const*, std::int32_t, std::int32_t);
using DiagProcess = void(__cdecl*)();
using DiagModule = void(__cdecl*)(const char*);

Query is_process() { return Library::get().fn<Query>("QZ_IsProcess"); }
Query is_module() { return Library::get().fn<Query>("QZ_IsModule"); }
DiagProcess diag_process() { return Library::get().fn<DiagProcess>("QZ_DiagProcess"); }
DiagModule diag_module() { return Library::get().fn<DiagModule>("QZ_DiagModule"); }

const std::string kSeparator = "\n" + std::string(78, '-');
const std::string kBegin = "\n" + std::string(29, '-') + "MODULES BEGIN" + std::string(36, '-');
const std::string kEnd = "\n" + std::string(29, '-') + "MODULES END" + std::string(38, '-');

// A name table of fixed-width records, laid out as a script would hold it.
class Table {
public:
    Table(const std::vector<std::string>& names, std::size_t stride) : bytes_(names.size() * stride + 1, '\0') {
        for (std::size_t i = 0; i < names.size(); ++i) std::memcpy(&bytes_[i * stride], names[i].data(), names[i].size());
        first_ = bytes_.data();
    }
    const char* const* ref() const { return &first_; }
    char* at(std::size_t offset) { return &bytes_[offset]; }

private:
    std::vector<char> bytes_;
    const char* first_;
};

std::int32_t ask(Query q, const std::vector<std::string>& names, std::int32_t stride = 64) {
    Table t(names, static_cast<std::size_t>(stride));
    return q(t.ref(), static_cast<std::int32_t>(names.size()), stride);
}

// Readable memory that ends at a page nobody may touch: a name placed so its
// terminator is the last readable byte proves the library stops there.
class GuardedPage {
public:
    GuardedPage() {
        base_ = static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_) VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
    }
    ~GuardedPage() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool ok() const { return base_ != nullptr; }
    // Writes `name` and its terminator so that the terminator is the last readable byte.
    const char* place_at_end(const std::string& name) {
        char* p = base_ + kPage - name.size() - 1;
        std::memcpy(p, name.c_str(), name.size() + 1);
        return p;
    }
    char* base() { return base_; }

private:
    static constexpr std::size_t kPage = 4096;
    char* base_ = nullptr;
};

// The texts one dumped module gives, with the caller's path given.
std::vector<std::string> entry_texts(const ModuleInfo& m, const std::string& caller_path) {
    return {"\nmodule: ", m.name, "\npath: ", m.path, "\nsize: " + std::to_string(m.size) + " bytes",
            "\ngetmodule file name : ", caller_path};
}

std::vector<std::string> framed(const std::vector<std::string>& entries) {
    std::vector<std::string> all = {"\nQZ_DiagModule basladi", kSeparator, kBegin, kSeparator};
    all.insert(all.end(), entries.begin(), entries.end());
    for (const auto& s : {kSeparator, kEnd, kSeparator, std::string("\nQZ_DiagModule bitti")}) all.push_back(s);
    return all;
}

}  // namespace

// --- QZ_IsProcess -----------------------------------------------------------

TEST(IsProcess, FindsTheChildByFileNameInAnyLetterCase) {
    Child child;
    ASSERT_TRUE(child.ready());
    EXPECT_EQ(ask(is_process(), {child.exe_name()}), 1);
    EXPECT_EQ(ask(is_process(), {upper(child.exe_name())}), 1);
    EXPECT_EQ(ask(is_process(), {"qz_no_such_process.exe", upper(child.exe_name())}), 1);
    // A prefix or a longer name is another name.
    const std::string name = child.exe_name();
    EXPECT_EQ(ask(is_process(), {name.substr(0, name.size() - 1)}), 0);
    EXPECT_EQ(ask(is_process(), {name + "x"}), 0);
    // A name with a folder never matches: processes are known by file name.
    EXPECT_EQ(ask(is_process(), {".\\" + name}), 0);
    EXPECT_EQ(ask(is_process(), {"C:\\" + name}), 0);
    child.kill();
    EXPECT_EQ(ask(is_process(), {name}), 0);
}

TEST(IsProcess, RecordsAreAddressedByStrideNotByNameLength) {
    Child child;
    ASSERT_TRUE(child.ready());
    const std::string name = child.exe_name();
    // Record 0 is short; record 1 begins 32 bytes in; the bytes right after
    // record 0's terminator hold another name that must not be taken as record 1.
    Table t({"a.exe", name}, 32);
    std::memcpy(t.at(6), "zz.exe", 7);
    EXPECT_EQ(is_process()(t.ref(), 2, 32), 1);
    EXPECT_EQ(is_process()(t.ref(), 1, 32), 0) << "record 1 read although the count is 1";
    // The same bytes read with a stride of 6 give "a.exe" and "zz.exe": no match.
    EXPECT_EQ(is_process()(t.ref(), 2, 6), 0);
}

TEST(IsProcess, CountZeroOrNegativeGivesZero) {
    Child child;
    ASSERT_TRUE(child.ready());
    Table t({child.exe_name()}, 64);
    EXPECT_EQ(is_process()(t.ref(), 1, 64), 1);
    EXPECT_EQ(is_process()(t.ref(), 0, 64), 0);
    EXPECT_EQ(is_process()(t.ref(), -1, 64), 0);
    EXPECT_EQ(is_process()(t.ref(), INT32_MIN, 64), 0);
    EXPECT_EQ(is_module()(t.ref(), 0, 64), 0);
    EXPECT_EQ(is_module()(t.ref(), -5, 64), 0);
    // With no records the table reference is not even read.
    EXPECT_EQ(is_process()(nullptr, 0, 64), 0);
    EXPECT_EQ(is_module()(nullptr, -1, 64), 0);
}

TEST(IsProcess, NullTableGivesZeroInsteadOfCrashing) {
    EXPECT_EQ(is_process()(nullptr, 3, 64), 0);
    EXPECT_EQ(is_module()(nullptr, 3, 64), 0);
    const char* none = nullptr;
    EXPECT_EQ(is_process()(&none, 3, 64), 0);
    EXPECT_EQ(is_module()(&none, 3, 64), 0);
}

// --- QZ_IsModule ------------------------------------------------------------

TEST(IsModule, FindsAModuleThatOnlyTheChildHasLoaded) {
    Child child;
    ASSERT_TRUE(child.ready());
    const std::string dll = child.dll_names()[0];
    ASSERT_EQ(GetModuleHandleA(dll.c_str()), nullptr) << "the test process must not have the DLL";
    EXPECT_EQ(ask(is_module(), {dll}), 1);
    EXPECT_EQ(ask(is_module(), {"qz_absent.dll", upper(dll)}), 1);
    EXPECT_EQ(ask(is_module(), {"C:\\" + dll}), 0) << "module names carry no folder";
    // The executable image is a module of the child too.
    EXPECT_EQ(ask(is_module(), {upper(child.exe_name())}), 1);
    child.kill();
    EXPECT_EQ(ask(is_module(), {dll}), 0);
}

TEST(IsModule, FindsTheCallersOwnModulesAndNothingForUnknownNames) {
    EXPECT_EQ(ask(is_module(), {"KERNEL32.DLL"}), 1);
    EXPECT_EQ(ask(is_module(), {"qzutilities.dll"}), 1);
    EXPECT_EQ(ask(is_module(), {qz::test::diag::unique_name("qz_absent_", ".dll")}), 0);
}

// --- Bad input --------------------------------------------------------------

TEST(BadInput, LongNamesEndingAtUnreadableMemoryAreReadOnlyToTheirTerminator) {
    GuardedPage page;
    ASSERT_TRUE(page.ok());
    for (std::size_t length : {259u, 260u, 300u}) {
        std::string name(length - 4, 'q');
        name += ".exe";
        const char* first = page.place_at_end(name);
        for (Query q : {is_process(), is_module()}) {
            EXPECT_EQ(q(&first, 1, 64), 0) << length;
            EXPECT_EQ(q(&first, 1, static_cast<std::int32_t>(length + 1)), 0) << length;
        }
    }
}

TEST(BadInput, NameRunningPastItsStrideIsReadToItsTerminator) {
    Child child;
    ASSERT_TRUE(child.ready());
    GuardedPage page;
    ASSERT_TRUE(page.ok());
    // Record 0 holds the child's name with no terminator within its 4-byte
    // stride; the name runs on to the last readable byte.
    const char* first = page.place_at_end(child.exe_name());
    EXPECT_EQ(is_process()(&first, 1, 4), 1);
    // Records 1.. start inside that name: each is a tail of it, none matches,
    // and record n-1 is the lone terminator at the page's end.
    const char* second = first + 4;
    EXPECT_EQ(is_process()(&second, static_cast<std::int32_t>(child.exe_name().size() - 4 + 1), 1), 0);
    EXPECT_EQ(is_module()(&second, static_cast<std::int32_t>(child.exe_name().size() - 4 + 1), 1), 0);
}

// --- QZ_DiagProcess ---------------------------------------------------------

TEST(DiagProcess, WritesTwoTextsPerProcessInSnapshotOrder) {
    Child child;
    ASSERT_TRUE(child.ready());
    // Processes may come and go meanwhile: a run counts when the snapshots
    // taken before and after agree.
    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
        EngineHost host;
        host.bind();
        const auto before = qz::test::diag::process_names();
        diag_process()();
        const auto after = qz::test::diag::process_names();
        if (before != after) continue;
        compared = true;
        const auto& calls = host.diag_calls();
        ASSERT_EQ(calls.size(), 2 * before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(calls[2 * i], "\nprocName: ");
            EXPECT_EQ(calls[2 * i + 1], before[i]);
        }
        EXPECT_NE(std::find(calls.begin(), calls.end(), child.exe_name()), calls.end());
        EXPECT_TRUE(host.diag_var_calls().empty());
    }
    EXPECT_TRUE(compared) << "the process list never held still";
}

// --- QZ_DiagModule ----------------------------------------------------------

TEST(DiagModule, DumpsTheChildsModulesWithTheExactTexts) {
    Child child;
    ASSERT_TRUE(child.ready());
    bool compared = false;
    for (int attempt = 0; attempt < 10 && !compared; ++attempt) {
        EngineHost host;
        host.bind();
        const auto mods = qz::test::diag::modules_of(child.pid());
        diag_module()(child.exe_name().c_str());
        if (mods.empty() || mods.size() != qz::test::diag::modules_of(child.pid()).size()) continue;
        compared = true;
        const auto& calls = host.diag_calls();
        ASSERT_EQ(calls.size(), 8 + 7 * mods.size());
        std::vector<std::string> entries;
        bool saw_dll = false;
        for (std::size_t i = 0; i < mods.size(); ++i) {
            const auto& m = mods[i];
            // The caller's path at that handle: whatever this process has there.
            char caller[MAX_PATH] = {};
            HMODULE mine = nullptr;
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCSTR>(m.handle), &mine);
            if (mine == m.handle) GetModuleFileNameA(mine, caller, MAX_PATH);
            const auto want = entry_texts(m, caller);
            entries.insert(entries.end(), want.begin(), want.end());
            if (m.name == child.dll_names()[0]) {
                saw_dll = true;
                // The caller has no module at the child-only DLL's handle.
                EXPECT_EQ(calls[4 + 7 * i + 6], "");
                EXPECT_EQ(calls[4 + 7 * i + 3].substr(calls[4 + 7 * i + 3].size() - m.name.size()), m.name);
            }
        }
        EXPECT_TRUE(saw_dll);
        EXPECT_EQ(calls, framed(entries));
    }
    EXPECT_TRUE(compared) << "the child's module list never held still";
}

TEST(DiagModule, DumpingTheCallerItselfRepeatsEachPath) {
    // A copy of the child under a fresh name loads the library, dumps its own
    // modules and hands back what it got; the name is its alone, so the dump
    // is of that process and no other.
    qz::test::TempDir dir;
    const std::string exe = dir.file(qz::test::diag::unique_name("qzds", ".exe"));
    ASSERT_TRUE(CopyFileA((qz::test::exe_dir() + "\\diag_child.exe").c_str(), exe.c_str(), FALSE));
    bool compared = false;
    for (int attempt = 0; attempt < 5 && !compared; ++attempt) {
        const auto r = qz::test::run_child(exe, {"--dump-self", qz::test::exe_dir() + "\\qzutilities.dll",
                                                 dir.file("dump.bin")});
        ASSERT_TRUE(r.finished);
        if (r.exit_code == 3) continue;  // its module list moved while it dumped
        ASSERT_EQ(r.exit_code, 0u);
        compared = true;
        std::string bytes;
        ASSERT_TRUE(qz::test::read_file(dir.file("dump.bin"), bytes));
        std::vector<std::string> parts;
        for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos; at = end + 1)
            parts.push_back(bytes.substr(at, end - at));
        const auto split = std::find(parts.begin(), parts.end(), "--");
        ASSERT_NE(split, parts.end());
        const std::vector<std::string> calls(parts.begin(), split);
        const std::vector<std::string> mods(split + 1, parts.end());
        ASSERT_EQ(mods.size() % 3, 0u);
        ASSERT_GE(mods.size(), 3u * 3) << "the child, ntdll, kernel32 at least";
        std::vector<std::string> entries;
        for (std::size_t i = 0; i < mods.size(); i += 3) {
            ModuleInfo m{mods[i], mods[i + 1], static_cast<std::uint32_t>(std::stoul(mods[i + 2])), nullptr};
            const auto want = entry_texts(m, m.path);  // the caller's own path at each handle
            entries.insert(entries.end(), want.begin(), want.end());
        }
        EXPECT_EQ(calls, framed(entries));
    }
    EXPECT_TRUE(compared) << "the child's module list never held still";
}

TEST(DiagModule, NameDifferingOnlyInCaseWritesOnlyOpeningAndClosing) {
    Child child;
    ASSERT_TRUE(child.ready());
    EngineHost host;
    host.bind();
    diag_module()(upper(child.exe_name()).c_str());
    const std::vector<std::string> want = {"\nQZ_DiagModule basladi", "\nQZ_DiagModule bitti"};
    EXPECT_EQ(host.diag_calls(), want);
    host.clear_records();
    diag_module()("qz_no_such_process.exe");
    EXPECT_EQ(host.diag_calls(), want);
    host.clear_records();
    diag_module()(nullptr);
    EXPECT_EQ(host.diag_calls(), want);
}

TEST(DiagModule, TwoProcessesOfOneNameDumpOnlyTheFirstInSnapshotOrder) {
    Child a;
    ASSERT_TRUE(a.ready());
    Child b(1, a.exe_name());
    ASSERT_TRUE(b.ready());
    const auto ids = qz::test::diag::process_ids(a.exe_name());
    ASSERT_EQ(ids.size(), 2u);
    const Child& first = ids[0] == a.pid() ? a : b;
    const Child& second = ids[0] == a.pid() ? b : a;
    ASSERT_EQ(ids[1], second.pid());

    EngineHost host;
    host.bind();
    diag_module()(a.exe_name().c_str());
    const auto& calls = host.diag_calls();
    auto count = [&](const std::string& s) { return std::count(calls.begin(), calls.end(), s); };
    EXPECT_EQ(count(first.dll_names()[0]), 1);
    EXPECT_EQ(count(second.dll_names()[0]), 0);
    EXPECT_EQ(count(kBegin), 1);
    EXPECT_EQ(count(kEnd), 1);
}

TEST(DiagModule, HostWithoutADiagFunctionGetsNothingAndNoCrash) {
    // The host answers null for every lookup: the dumps run through to the
    // end with nowhere to write.
    EngineHost silent(EngineHost::Lookup::null_for_all);
    silent.bind();
    diag_module()("qz_no_such_process.exe");
    diag_process()();
    EXPECT_TRUE(silent.diag_calls().empty());
}

// --- Handles ----------------------------------------------------------------

namespace {

// This process's handles as far as the platform tells. Windows counts them
// (GetProcessHandleCount); Wine reports 0 there, so the probe adds the value
// of a fresh handle: handle slots are reused lowest first, so a handle left
// open in between moves the probe to another slot.
struct HandleState {
    DWORD count = 0;
    HANDLE probe = nullptr;
    bool operator==(const HandleState& o) const { return count == o.count && probe == o.probe; }
};

HandleState handle_state() {
    HandleState s;
    GetProcessHandleCount(GetCurrentProcess(), &s.count);
    s.probe = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (s.probe) CloseHandle(s.probe);
    return s;
}

std::ostream& operator<<(std::ostream& os, const HandleState& s) {
    return os << "{count " << s.count << ", probe " << s.probe << "}";
}

}  // namespace

TEST(Handles, TheHandleCheckSeesAHandleLeftOpen) {
    const HandleState before = handle_state();
    ASSERT_NE(before.probe, nullptr);
    HANDLE leaked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    const HandleState during = handle_state();
    CloseHandle(leaked);
    EXPECT_FALSE(during == before);
    EXPECT_EQ(handle_state(), before);
}

TEST(Handles, NoHandleLeaksOverAThousandCallsOfEachExport) {
    Child child;
    ASSERT_TRUE(child.ready());
    EngineHost host;
    host.bind();
    Table proc({child.exe_name()}, 64), dll({child.dll_names()[0]}, 64), miss({"qz_absent_name.dll"}, 64);
    // Every export 1,000 times: the queries both finding nothing (a full walk,
    // every snapshot opened and closed) and, every tenth round, finding their
    // name; the dumps of the child and of a name no process has.
    auto round = [&](int i) {
        EXPECT_EQ(is_process()(miss.ref(), 1, 64), 0);
        EXPECT_EQ(is_module()(miss.ref(), 1, 64), 0);
        if (i % 10 == 0) {
            EXPECT_EQ(is_process()(proc.ref(), 1, 64), 1);
            EXPECT_EQ(is_module()(dll.ref(), 1, 64), 1);
        }
        diag_process()();
        diag_module()(i % 2 ? child.exe_name().c_str() : "qz_absent_name.exe");
        host.clear_records();
    };
    round(0);  // the runtime may open handles once, on first use
    const HandleState before = handle_state();
    ASSERT_NE(before.probe, nullptr);
    for (int i = 1; i <= 1000 && !HasFailure(); ++i) round(i);
    EXPECT_EQ(handle_state(), before);
}
