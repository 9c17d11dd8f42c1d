// The walks, queries and dumps, white box: the library's diagnostics sources
// run against a stand-in for the Toolhelp calls that steers every failure
// path and counts each snapshot opened and closed.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "diag/dumps.h"
#include "diag/queries.h"
#include "diag/toolhelp.h"
#include "host/binding.h"
#include "testhost/engine_host.h"

using namespace qz::diag;

namespace {

struct FakeModule {
    std::string name;
    std::string path;
    DWORD size;
    HMODULE handle;
};

struct FakeProcess {
    DWORD pid;
    std::string exe;
    std::vector<FakeModule> modules;
    bool refuse_modules = false;  // access denied, or ended since the process snapshot
    int bad_length = 0;           // refusals with ERROR_BAD_LENGTH before it lists
};

struct Cursor {
    bool modules;
    DWORD pid;
    std::size_t next;
};

// The stand-in machine. One test at a time owns it.
struct FakeSystem {
    std::vector<FakeProcess> procs;
    bool refuse_process_snapshot = false;
    std::map<HANDLE, Cursor> open;
    std::uintptr_t next_handle = 0x100;
    int creates = 0, closes = 0, bad_closes = 0, wrong_sizes = 0;
    std::vector<DWORD> module_snapshots;  // pids asked for, in order
    int process_records = 0;              // records handed out
    DWORD error = 0;

    FakeProcess* find(DWORD pid) {
        for (auto& p : procs)
            if (p.pid == pid) return &p;
        return nullptr;
    }
};
FakeSystem* g_fake = nullptr;

void put(char* field, std::size_t capacity, const std::string& s) {
    std::memset(field, 0, capacity);
    std::memcpy(field, s.data(), std::min(s.size(), capacity));
}

HANDLE WINAPI fake_create(DWORD flags, DWORD pid) {
    FakeSystem& f = *g_fake;
    ++f.creates;
    if (flags == TH32CS_SNAPPROCESS) {
        if (f.refuse_process_snapshot) return f.error = ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE;
    } else if (flags == TH32CS_SNAPMODULE) {
        f.module_snapshots.push_back(pid);
        FakeProcess* p = f.find(pid);
        if (!p) return f.error = ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE;
        if (p->bad_length > 0) return --p->bad_length, f.error = ERROR_BAD_LENGTH, INVALID_HANDLE_VALUE;
        if (p->refuse_modules) return f.error = ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE;
    } else {
        ADD_FAILURE() << "unexpected snapshot flags " << flags;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = reinterpret_cast<HANDLE>(f.next_handle += 4);
    f.open[h] = {flags == TH32CS_SNAPMODULE, pid, 0};
    return h;
}

BOOL WINAPI fake_process(HANDLE h, ProcessRecord* r, bool first) {
    FakeSystem& f = *g_fake;
    auto it = f.open.find(h);
    if (it == f.open.end() || it->second.modules) return ADD_FAILURE() << "bad process snapshot", FALSE;
    if (r->dwSize != sizeof *r) ++f.wrong_sizes;
    if (first) it->second.next = 0;
    if (it->second.next >= f.procs.size()) return FALSE;
    const FakeProcess& p = f.procs[it->second.next++];
    ++f.process_records;
    r->th32ProcessID = p.pid;
    put(r->szExeFile, sizeof r->szExeFile, p.exe);
    return TRUE;
}
BOOL WINAPI fake_process_first(HANDLE h, ProcessRecord* r) { return fake_process(h, r, true); }
BOOL WINAPI fake_process_next(HANDLE h, ProcessRecord* r) { return fake_process(h, r, false); }

BOOL WINAPI fake_module(HANDLE h, ModuleRecord* r, bool first) {
    FakeSystem& f = *g_fake;
    auto it = f.open.find(h);
    if (it == f.open.end() || !it->second.modules) return ADD_FAILURE() << "bad module snapshot", FALSE;
    if (r->dwSize != sizeof *r) ++f.wrong_sizes;
    if (first) it->second.next = 0;
    const FakeProcess* p = f.find(it->second.pid);
    if (!p || it->second.next >= p->modules.size()) return FALSE;
    const FakeModule& m = p->modules[it->second.next++];
    put(r->szModule, sizeof r->szModule, m.name);
    put(r->szExePath, sizeof r->szExePath, m.path);
    r->modBaseSize = m.size;
    r->hModule = m.handle;
    r->th32ProcessID = p->pid;
    return TRUE;
}
BOOL WINAPI fake_module_first(HANDLE h, ModuleRecord* r) { return fake_module(h, r, true); }
BOOL WINAPI fake_module_next(HANDLE h, ModuleRecord* r) { return fake_module(h, r, false); }

BOOL WINAPI fake_close(HANDLE h) {
    FakeSystem& f = *g_fake;
    if (f.open.erase(h) == 0) return ++f.bad_closes, FALSE;
    ++f.closes;
    return TRUE;
}
DWORD WINAPI fake_last_error() { return g_fake->error; }

constexpr ToolhelpApi kFake{fake_create,       fake_process_first, fake_process_next, fake_module_first,
                            fake_module_next,  fake_close,         fake_last_error};

// An unused address: no module of this process lives at it.
HMODULE nowhere(std::uintptr_t n) { return reinterpret_cast<HMODULE>(0x7ff0'0000'0000ull / 2 + n * 0x10000); }

class Fake : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &sys;
        sys.procs = {
            {0, "[System Process]", {}, true},
            {4, "alpha.exe", {{"alpha.exe", "C:\\a\\alpha.exe", 0x3000, nowhere(1)},
                              {"ntdll.dll", "C:\\windows\\system32\\ntdll.dll", 0x1000, nowhere(2)}}},
            {8, "beta.exe", {{"beta.exe", "C:\\b\\beta.exe", 0x2000, nowhere(3)},
                             {"Target.dll", "C:\\b\\Target.dll", 1048576, nowhere(4)}}},
            {12, "gamma.exe", {{"gamma.exe", "C:\\g\\gamma.exe", 0x4000, nowhere(5)},
                               {"target.dll", "C:\\g\\target.dll", 0x5000, nowhere(6)}}},
        };
        qz::host::bind(host.engine_interface());
    }
    void TearDown() override {
        // Every path closes what it opened, exactly once.
        EXPECT_TRUE(sys.open.empty()) << sys.open.size() << " snapshot(s) left open";
        EXPECT_EQ(sys.bad_closes, 0);
        EXPECT_EQ(sys.wrong_sizes, 0);
        g_fake = nullptr;
    }

    // A table of 64-byte records.
    bool query(bool modules, const std::vector<std::string>& names, std::int32_t stride = 64) {
        table_.assign(names.size() * stride + 1, '\0');
        for (std::size_t i = 0; i < names.size(); ++i) std::memcpy(&table_[i * stride], names[i].data(), names[i].size());
        const NameTable t{table_.data(), static_cast<std::int32_t>(names.size()), stride};
        return modules ? is_module(t, kFake) : is_process(t, kFake);
    }
    int open_count() const { return sys.creates - (sys.refuse_process_snapshot ? 1 : 0); }

    FakeSystem sys;
    qz::test::EngineHost host;
    std::vector<char> table_;
};

const std::string kSep = "\n" + std::string(78, '-');
const std::string kBegin = "\n-----------------------------MODULES BEGIN------------------------------------";
const std::string kEnd = "\n-----------------------------MODULES END--------------------------------------";

std::vector<std::string> frame(std::vector<std::string> inside) {
    std::vector<std::string> all = {kSep, kBegin, kSep};
    all.insert(all.end(), inside.begin(), inside.end());
    all.insert(all.end(), {kSep, kEnd, kSep});
    return all;
}

}  // namespace

// --- Name matching ----------------------------------------------------------

TEST(SameName, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(same_name("Explorer.EXE", 260, "explorer.exe"));
    EXPECT_TRUE(same_name("a-Z_09.dll", 260, "A-z_09.DLL"));
    EXPECT_FALSE(same_name("a[b", 260, "a{b")) << "'[' and '{' are not letters";
    EXPECT_FALSE(same_name("a@b", 260, "a`b"));
    EXPECT_FALSE(same_name("\xc4.exe", 260, "\xe4.exe")) << "bytes above 127 compare unchanged";
    EXPECT_TRUE(same_name("\xc4.exe", 260, "\xc4.EXE"));
    EXPECT_FALSE(same_name("abc", 260, "ab"));
    EXPECT_FALSE(same_name("ab", 260, "abc"));
    EXPECT_TRUE(same_name("", 260, ""));
    EXPECT_FALSE(same_name("", 260, "a"));
}

TEST(SameName, FieldEndCountsAsTerminator) {
    char field[8];
    std::memcpy(field, "ABCDEFGH", 8);  // no terminator inside the field
    EXPECT_TRUE(same_name(field, 8, "abcdefgh"));
    EXPECT_FALSE(same_name(field, 8, "abcdefghi"));
    EXPECT_FALSE(same_name(field, 8, "abcdefg"));
}

TEST(TableMatch, WalksRecordsByStrideInOrder) {
    std::vector<char> buf(3 * 16, '\0');
    std::memcpy(&buf[0], "one", 3);
    std::memcpy(&buf[4], "hidden", 6);  // after record 0's terminator: never a record of its own
    std::memcpy(&buf[16], "two", 3);
    std::memcpy(&buf[32], "three", 5);
    const NameTable t{buf.data(), 3, 16};
    EXPECT_TRUE(table_matches(t, "THREE", 260));
    EXPECT_TRUE(table_matches(t, "two", 260));
    EXPECT_FALSE(table_matches(t, "hidden", 260));
    EXPECT_FALSE(table_matches({buf.data(), 2, 16}, "three", 260));
    EXPECT_FALSE(table_matches({buf.data(), 0, 16}, "one", 260));
    EXPECT_FALSE(table_matches({buf.data(), -1, 16}, "one", 260));
    // A negative stride walks backwards from the first record.
    const NameTable back{&buf[32], 3, -16};
    EXPECT_TRUE(table_matches(back, "one", 260));
    EXPECT_FALSE(table_matches({&buf[32], 2, -16}, "one", 260));
    // A stride of 0 reads record 0 every time.
    EXPECT_TRUE(table_matches({buf.data(), 5, 0}, "one", 260));
    EXPECT_FALSE(table_matches({buf.data(), 5, 0}, "two", 260));
}

// --- Queries over the stand-in machine ---------------------------------------

TEST_F(Fake, IsProcessStopsAtTheFirstHit) {
    EXPECT_TRUE(query(false, {"nothing.exe", "BETA.EXE"}));
    EXPECT_EQ(sys.process_records, 3) << "the walk went on past the hit";
    EXPECT_EQ(sys.creates, 1);
    EXPECT_EQ(sys.closes, 1);
    EXPECT_TRUE(sys.module_snapshots.empty());
}

TEST_F(Fake, IsModuleSearchesProcessesInOrderAndStopsAtTheFirstHit) {
    EXPECT_TRUE(query(true, {"TARGET.DLL"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8}));
    EXPECT_EQ(sys.closes, 3) << "process snapshot and two module snapshots";
}

TEST_F(Fake, IsModuleSkipsProcessesWhoseModulesCannotBeListed) {
    sys.procs[2].refuse_modules = true;  // beta.exe, e.g. ended since the process snapshot
    EXPECT_TRUE(query(true, {"target.dll"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8, 12}));
    sys.module_snapshots.clear();
    EXPECT_FALSE(query(true, {"beta.exe"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8, 12}));
}

TEST_F(Fake, IsModuleRetriesAModuleSnapshotRefusedWhileModulesChange) {
    sys.procs[2].bad_length = 2;
    EXPECT_TRUE(query(true, {"Target.dll"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8, 8, 8}));
    // A process that keeps refusing is given up after a bounded number of tries.
    sys.module_snapshots.clear();
    sys.procs[2].bad_length = 1000;
    EXPECT_TRUE(query(true, {"target.dll"}));
    EXPECT_EQ(std::count(sys.module_snapshots.begin(), sys.module_snapshots.end(), 8u), 5);
    EXPECT_EQ(sys.module_snapshots.back(), 12u);
}

TEST_F(Fake, EmptyTableTakesNoSnapshot) {
    EXPECT_FALSE(query(true, {}));
    EXPECT_FALSE(query(false, {}));
    EXPECT_EQ(sys.creates, 0);
}

TEST_F(Fake, RefusedOrEmptyProcessSnapshotAnswersNo) {
    sys.refuse_process_snapshot = true;
    EXPECT_FALSE(query(false, {"alpha.exe"}));
    EXPECT_FALSE(query(true, {"alpha.exe"}));
    EXPECT_EQ(sys.closes, 0);
    sys.refuse_process_snapshot = false;
    sys.procs.clear();
    EXPECT_FALSE(query(false, {"alpha.exe"}));
    EXPECT_FALSE(query(true, {"alpha.exe"}));
    EXPECT_EQ(sys.creates, 4);
    EXPECT_EQ(sys.closes, 2) << "an empty snapshot is still closed";
}

TEST_F(Fake, AThrowingVisitorStillClosesBothSnapshots) {
    EXPECT_THROW(walk_processes(kFake,
                                [](const ProcessRecord& p) {
                                    return walk_modules(kFake, p.th32ProcessID,
                                                        [](const ModuleRecord&) -> bool {
                                                            throw std::runtime_error("visitor failed");
                                                        }) == Walk::stopped;
                                }),
                 std::runtime_error);
    EXPECT_EQ(sys.creates, 3) << "system process refused, alpha's module snapshot opened";
    EXPECT_EQ(sys.closes, 2);
}

TEST_F(Fake, FullLengthNamesWithoutTerminatorMatchOnlyTheWholeField) {
    const std::string long_name(sizeof(ProcessRecord::szExeFile), 'l');  // fills the field, no terminator
    sys.procs[1].exe = long_name;
    EXPECT_TRUE(query(false, {long_name}, 300));
    EXPECT_FALSE(query(false, {long_name + "x"}, 300));
    EXPECT_FALSE(query(false, {long_name.substr(1)}, 300));
}

// --- Dumps over the stand-in machine -----------------------------------------

TEST_F(Fake, DiagProcessWritesTwoTextsPerProcess) {
    dump_processes(kFake);
    const std::vector<std::string> want = {"\nprocName: ", "[System Process]", "\nprocName: ", "alpha.exe",
                                           "\nprocName: ", "beta.exe",         "\nprocName: ", "gamma.exe"};
    EXPECT_EQ(host.diag_calls(), want);
    EXPECT_EQ(sys.closes, 1);
}

TEST_F(Fake, DiagProcessWritesNothingWithoutProcesses) {
    sys.refuse_process_snapshot = true;
    dump_processes(kFake);
    sys.refuse_process_snapshot = false;
    sys.procs.clear();
    dump_processes(kFake);
    EXPECT_TRUE(host.diag_calls().empty());
    EXPECT_EQ(sys.closes, 1);
}

TEST_F(Fake, DiagModuleDumpsTheFirstExactMatchOnly) {
    sys.procs.push_back({16, "beta.exe", {{"other.dll", "C:\\o\\other.dll", 1, nowhere(7)}}});
    dump_modules("beta.exe", kFake);
    std::vector<std::string> want = {"\nQZ_DiagModule basladi"};
    for (const auto& s : frame({"\nmodule: ", "beta.exe", "\npath: ", "C:\\b\\beta.exe", "\nsize: 8192 bytes",
                                "\ngetmodule file name : ", "", "\nmodule: ", "Target.dll", "\npath: ",
                                "C:\\b\\Target.dll", "\nsize: 1048576 bytes", "\ngetmodule file name : ", ""}))
        want.push_back(s);
    want.push_back("\nQZ_DiagModule bitti");
    EXPECT_EQ(host.diag_calls(), want);
    EXPECT_EQ(sys.module_snapshots, std::vector<DWORD>{8});
    EXPECT_EQ(sys.closes, 2);
}

TEST_F(Fake, DiagModuleWithoutProcessSnapshot) {
    sys.refuse_process_snapshot = true;
    dump_modules("beta.exe", kFake);
    EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{"\nQZ_DiagModule basladi", "\ninvald handle value!!!"}));
    host.clear_records();
    sys.refuse_process_snapshot = false;
    sys.procs.clear();
    dump_modules("beta.exe", kFake);
    EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{"\nQZ_DiagModule basladi", "\nQZ_DiagModule bitti"}));
}

TEST_F(Fake, DiagModuleOfAnUnlistableProcessWritesAnEmptyFrame) {
    sys.procs[2].refuse_modules = true;
    dump_modules("beta.exe", kFake);
    sys.procs[3].modules.clear();  // a module snapshot with no first module
    dump_modules("gamma.exe", kFake);
    std::vector<std::string> want;
    for (int i = 0; i < 2; ++i) {
        want.push_back("\nQZ_DiagModule basladi");
        for (const auto& s : frame({})) want.push_back(s);
        want.push_back("\nQZ_DiagModule bitti");
    }
    EXPECT_EQ(host.diag_calls(), want);
}

TEST_F(Fake, ModuleEntryTexts) {
    ModuleRecord r{};
    put(r.szModule, sizeof r.szModule, "big.dll");
    put(r.szExePath, sizeof r.szExePath, std::string(sizeof r.szExePath, 'p'));  // full field, no terminator
    r.modBaseSize = 0x80000000u;  // shown as the signed 32-bit number it has always been
    r.hModule = nullptr;          // must not be taken as "the caller's executable"
    dump_module_entry(r);
    const std::vector<std::string> want = {"\nmodule: ", "big.dll", "\npath: ", std::string(sizeof r.szExePath, 'p'),
                                           "\nsize: -2147483648 bytes", "\ngetmodule file name : ", ""};
    EXPECT_EQ(host.diag_calls(), want);
}
