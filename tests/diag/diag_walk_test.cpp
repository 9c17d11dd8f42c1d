// The walks, queries and dumps, white box: the library's diagnostics sources
// against a stand-in for the Toolhelp calls that steers the failure paths and
// counts every snapshot opened and closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <stdexcept>
#include <tuple>

#include "diag/dumps.h"
#include "diag/names.h"
#include "diag/queries.h"
#include "diag/toolhelp.h"
#include "tests/diag/diag_support.h"
#include "host/binding.h"
#include "testhost/engine_host.h"
#include "testhost/test_support.h"

using namespace qz::diag;
using qz::test::diag::framed, qz::test::diag::kOpening, qz::test::diag::kClosing, qz::test::diag::Table;

namespace {

struct FakeProcess {
    DWORD pid;
    std::string exe;
    std::vector<std::string> modules;
    bool refuse_modules = false;  // access denied, or ended since the process snapshot
    int bad_length = 0;           // refusals with ERROR_BAD_LENGTH before it lists
};

struct Cursor {
    const FakeProcess* modules_of;  // null for the process snapshot
    std::size_t next;
};

// The stand-in machine, reset by each test.
struct FakeSystem {
    std::vector<FakeProcess> procs;
    bool refuse_process_snapshot = false;
    std::map<HANDLE, Cursor> open;
    std::uintptr_t next_handle = 0x100;
    int creates = 0, closes = 0, bad_closes = 0, process_records = 0;
    std::vector<DWORD> module_snapshots;  // pids asked for, in order
    DWORD error = 0;
} sys;

FakeProcess* find(DWORD pid) {
    auto it = std::find_if(sys.procs.begin(), sys.procs.end(), [&](const FakeProcess& p) { return p.pid == pid; });
    return it == sys.procs.end() ? nullptr : &*it;
}

// Fills the field; a name as long as the field gets no terminator.
template <std::size_t N>
void put(char (&field)[N], const std::string& s) { std::memcpy(field, s.c_str(), std::min(s.size() + 1, N)); }

HANDLE WINAPI fake_create(DWORD flags, DWORD pid) {
    ++sys.creates;
    const bool modules = flags == TH32CS_SNAPMODULE;
    EXPECT_TRUE(modules || flags == TH32CS_SNAPPROCESS) << "snapshot flags " << flags;
    FakeProcess* p = modules ? find(pid) : nullptr;
    if (modules) sys.module_snapshots.push_back(pid);
    if (modules && !p) return sys.error = ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE;
    if (modules && p->bad_length > 0) return --p->bad_length, sys.error = ERROR_BAD_LENGTH, INVALID_HANDLE_VALUE;
    if (modules ? p->refuse_modules : sys.refuse_process_snapshot)
        return sys.error = ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE;
    HANDLE h = reinterpret_cast<HANDLE>(sys.next_handle += 4);
    sys.open[h] = {p, 0};
    return h;
}

// The open snapshot `h` of the kind asked for, rewound on `first`.
Cursor* cursor(HANDLE h, bool modules, bool first) {
    auto it = sys.open.find(h);
    if (it == sys.open.end() || !it->second.modules_of != !modules) return ADD_FAILURE() << "bad snapshot", nullptr;
    if (first) it->second.next = 0;
    return &it->second;
}

BOOL fake_process(HANDLE h, ProcessRecord* r, bool first) {
    Cursor* c = cursor(h, false, first);
    if (!c || c->next >= sys.procs.size()) return FALSE;
    const FakeProcess& p = sys.procs[c->next++];
    ++sys.process_records;
    r->th32ProcessID = p.pid;
    put(r->szExeFile, p.exe);
    return TRUE;
}

BOOL fake_module(HANDLE h, ModuleRecord* r, bool first) {
    Cursor* c = cursor(h, true, first);
    if (!c || c->next >= c->modules_of->modules.size()) return FALSE;
    put(r->szModule, c->modules_of->modules[c->next++]);
    return TRUE;
}

#define QZ_FAKE_FIRST_NEXT(kind, Record)                                                     \
    BOOL WINAPI fake_##kind##_first(HANDLE h, Record* r) { return fake_##kind(h, r, true); } \
    BOOL WINAPI fake_##kind##_next(HANDLE h, Record* r) { return fake_##kind(h, r, false); }
QZ_FAKE_FIRST_NEXT(process, ProcessRecord)
QZ_FAKE_FIRST_NEXT(module, ModuleRecord)

// Spoils the thread's last-error code, as the system's close may.
BOOL WINAPI fake_close(HANDLE h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return sys.open.erase(h) ? ++sys.closes, TRUE : (++sys.bad_closes, FALSE);
}
DWORD WINAPI fake_last_error() { return sys.error; }

constexpr ToolhelpApi kFake{fake_create,      fake_process_first, fake_process_next, fake_module_first,
                            fake_module_next, fake_close,         fake_last_error};

class Fake : public ::testing::Test {
protected:
    void SetUp() override {
        sys = {};
        sys.procs = {{0, "[System Process]", {}, true},
                     {4, "alpha.exe", {"alpha.exe", "ntdll.dll"}},
                     {8, "beta.exe", {"beta.exe", "Target.dll"}},
                     {12, "gamma.exe", {"gamma.exe", "target.dll"}}};
        qz::host::bind(host.engine_interface());
    }
    void TearDown() override {  // every path closes what it opened, exactly once
        EXPECT_TRUE(sys.open.empty()) << sys.open.size() << " snapshot(s) left open";
        EXPECT_EQ(sys.bad_closes, 0);
    }
    bool query(bool modules, const std::vector<std::string>& names, std::int32_t stride = 64) {
        const Table table(names, stride);
        const NameTable t{table.first, static_cast<std::int32_t>(names.size()), stride};
        return modules ? is_module(t, kFake) : is_process(t, kFake);
    }

    qz::test::EngineHost host;
};

}  // namespace

TEST(SameName, FoldsOnlyAsciiLettersAndEndsAtTheField) {
    const std::tuple<const char*, std::size_t, const char*, bool> cases[] = {
        {"Explorer.EXE", 260, "explorer.exe", true}, {"a-Z_09.dll", 260, "A-z_09.DLL", true},
        {"a[b", 260, "a{b", false}, {"a@b", 260, "a`b", false},  // no letters, though 32 apart
        {"\xc4.exe", 260, "\xe4.exe", false}, {"\xc4.exe", 260, "\xc4.EXE", true},  // bytes above 127 unchanged
        {"", 260, "", true}, {"", 260, "a", false}, {"a", 260, "", false},
        // The field ends after 8 bytes, terminated or not: the 'X' is not part of it.
        {"ABCDEFGHX", 8, "abcdefgh", true}, {"ABCDEFGHX", 8, "abcdefghx", false}, {"ABCDEFGHX", 8, "abcdefg", false},
    };
    for (const auto& [field, capacity, name, same] : cases)
        EXPECT_EQ(same_name(field, capacity, name, Letters::folded), same) << name;
}

TEST(SameName, ExactCountsTheCaseAndEndsAtTheFieldAlike) {
    const std::tuple<const char*, std::size_t, const char*, bool> cases[] = {
        {"explorer.exe", 260, "explorer.exe", true}, {"Explorer.EXE", 260, "explorer.exe", false},
        {"explorer.exe", 260, "Explorer.exe", false}, {"\xc4.exe", 260, "\xc4.exe", true},
        {"\xc4.exe", 260, "\xe4.exe", false}, {"", 260, "", true}, {"a", 260, "", false}, {"", 260, "a", false},
        {"abcdefghX", 8, "abcdefgh", true}, {"abcdefghX", 8, "abcdefghX", false}, {"ABCDEFGHX", 8, "abcdefgh", false},
    };
    for (const auto& [field, capacity, name, same] : cases)
        EXPECT_EQ(same_name(field, capacity, name, Letters::exact), same) << name;
}

TEST(TableMatch, NegativeOrZeroStrideKeepsTheCallersLayout) {
    char buf[48] = "one";
    std::memcpy(&buf[16], "two", 4);
    std::memcpy(&buf[32], "three", 6);
    EXPECT_TRUE(table_matches({&buf[32], 3, -16}, "one", 260));  // backwards from the first record
    EXPECT_FALSE(table_matches({&buf[32], 2, -16}, "one", 260));
    EXPECT_TRUE(table_matches({buf, 5, 0}, "one", 260));  // record 0 every time
    EXPECT_FALSE(table_matches({buf, 5, 0}, "two", 260));
}

// Index times stride as an address offset, never as a signed product: on a
// 32-bit target 2 x 0x7FFFFFF0 does not fit a signed pointer-sized integer, and
// signed overflow in a constant expression does not compile.
static_assert(record_offset(2, 0x7FFFFFF0) == static_cast<std::uintptr_t>(std::int64_t{2} * 0x7FFFFFF0));
static_assert(record_offset(2, -0x7FFFFFF0) == static_cast<std::uintptr_t>(std::int64_t{2} * -0x7FFFFFF0));
static_assert(record_offset(INT32_MAX, INT32_MIN) ==
              static_cast<std::uintptr_t>(std::int64_t{INT32_MAX} * INT32_MIN));

TEST(TableMatch, StrideWhoseProductOverflowsIsReadAtTheCallersAddresses) {
    // Records 0, 1 and 2 with a stride of +-0x7FFFFFF0 lie two gibibytes apart;
    // on a 32-bit target record 2 wraps around the address space to 32 bytes
    // beside record 0 (the executable is large address aware for this).
    for (const std::int32_t stride : {0x7FFFFFF0, -0x7FFFFFF0}) {
        bool placed = false;
        for (std::uint64_t k = 0; k < 8 && !placed; ++k) {
            const std::uint64_t first = (stride > 0 ? 0x10000040u : 0x190000040u) + (k << 24);
            std::vector<char*> records;
            std::map<std::uintptr_t, void*> blocks;  // 64 KiB reservations at fixed addresses
            for (std::int64_t i = 0; i < 3; ++i) {
                const auto at = static_cast<std::uintptr_t>(first + static_cast<std::uint64_t>(i * stride));
                const std::uintptr_t block = at & ~std::uintptr_t{0xFFFF};
                if (!blocks.count(block))
                    blocks[block] = VirtualAlloc(reinterpret_cast<void*>(block), 0x10000, MEM_RESERVE | MEM_COMMIT,
                                                 PAGE_READWRITE);
                records.push_back(blocks[block] ? reinterpret_cast<char*>(at) : nullptr);
            }
            if (std::count(records.begin(), records.end(), nullptr) == 0) {
                placed = true;
                std::strcpy(records[0], "zero.exe");
                std::strcpy(records[1], "one.exe");
                std::strcpy(records[2], "two.exe");
                EXPECT_TRUE(table_matches({records[0], 3, stride}, "two.exe", 260)) << stride;
                EXPECT_FALSE(table_matches({records[0], 2, stride}, "two.exe", 260)) << stride;
                EXPECT_TRUE(table_matches({records[0], 2, stride}, "ONE.exe", 260)) << stride;
                EXPECT_TRUE(table_matches({records[2], 1, stride}, "two.exe", 260)) << stride;
            }
            for (const auto& [block, mem] : blocks)
                if (mem) VirtualFree(mem, 0, MEM_RELEASE);
        }
        EXPECT_TRUE(placed) << "no free addresses for the records of stride " << stride;
    }
}

TEST_F(Fake, QueriesStopAtTheFirstHit) {
    EXPECT_TRUE(query(false, {"nothing.exe", "BETA.EXE"}));
    EXPECT_EQ(sys.process_records, 3) << "the walk went on past the hit";
    EXPECT_TRUE(sys.module_snapshots.empty());
    EXPECT_TRUE(query(true, {"TARGET.DLL"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8}));
}

TEST_F(Fake, IsModuleSkipsProcessesItCannotListAndRetriesBusyOnes) {
    sys.procs[2].refuse_modules = true;  // beta.exe, e.g. ended since the process snapshot
    EXPECT_TRUE(query(true, {"target.dll"}));
    EXPECT_FALSE(query(true, {"beta.exe"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8, 12, 0, 4, 8, 12}));
    // Refusals while its modules change are retried, a bounded number of times.
    sys.module_snapshots.clear();
    sys.procs[2] = {8, "beta.exe", {"Target.dll"}, false, 2};
    EXPECT_TRUE(query(true, {"Target.dll"}));
    sys.procs[2].bad_length = 1000;
    EXPECT_TRUE(query(true, {"target.dll"}));
    EXPECT_EQ(sys.module_snapshots, (std::vector<DWORD>{0, 4, 8, 8, 8, 0, 4, 8, 8, 8, 8, 8, 12}));
}

TEST_F(Fake, AThrowingVisitorStillClosesBothSnapshots) {
    const auto throwing = [](const ModuleRecord&) -> bool { throw std::runtime_error("visitor failed"); };
    const auto each_process = [&](const ProcessRecord& p) {
        return walk_modules(kFake, p.th32ProcessID, throwing) == Walk::stopped;
    };
    EXPECT_THROW(walk_processes(kFake, each_process), std::runtime_error);
    EXPECT_EQ(sys.creates, 3) << "system process refused, alpha's module snapshot opened";
    EXPECT_EQ(sys.closes, 2);
}

TEST_F(Fake, SnapshotsCloseThroughTheTableAndKeepTheLastErrorCode) {
    constexpr DWORD kPlanted = 0x20005678;
    SetLastError(kPlanted);
    EXPECT_TRUE(query(true, {"target.dll"}));
    EXPECT_EQ(sys.closes, 3) << "the process snapshot and the module snapshots of alpha and beta";
    EXPECT_EQ(GetLastError(), kPlanted);
    {
        Snapshot held(fake_create(TH32CS_SNAPPROCESS, 0), SnapshotTraits(kFake));
        SetLastError(kPlanted + 1);
    }
    EXPECT_EQ(sys.closes, 4);
    EXPECT_EQ(GetLastError(), kPlanted + 1);
}

TEST_F(Fake, FullLengthNamesWithoutTerminatorMatchOnlyTheWholeField) {
    const std::string long_name(sizeof(ProcessRecord::szExeFile), 'l');
    sys.procs[1].exe = long_name;
    EXPECT_TRUE(query(false, {long_name}, 300));
    EXPECT_FALSE(query(false, {long_name + "x"}, 300));
    EXPECT_FALSE(query(false, {long_name.substr(1)}, 300));
}

// Our choice: a table with no records matches nothing, so no snapshot is
// taken at all (rather than a full walk that cannot find anything).
TEST_F(Fake, AnEmptyTableTakesNoSnapshot) {
    const Table table({"alpha.exe"}, 64);
    for (const std::int32_t count : {0, -1, INT32_MIN}) {
        const NameTable t{table.first, count, 64};
        EXPECT_FALSE(is_process(t, kFake)) << count;
        EXPECT_FALSE(is_module(t, kFake)) << count;
    }
    EXPECT_FALSE(query(true, {}) || query(false, {}));
    EXPECT_EQ(sys.creates, 0) << "an empty table takes no snapshot";
}

TEST_F(Fake, WithoutAProcessSnapshotOrProcessesNothingIsFound) {
    sys.refuse_process_snapshot = true;
    EXPECT_FALSE(query(false, {"alpha.exe"}) || query(true, {"alpha.exe"}));
    dump_processes(kFake);
    dump_modules("beta.exe", kFake);
    EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{kOpening, "\ninvald handle value!!!"}));
    host.clear_records();
    sys.refuse_process_snapshot = false;
    sys.procs.clear();  // an empty snapshot, still closed
    EXPECT_FALSE(query(false, {"alpha.exe"}) || query(true, {"alpha.exe"}));
    dump_processes(kFake);
    dump_modules("beta.exe", kFake);
    EXPECT_EQ(host.diag_calls(), (std::vector<std::string>{kOpening, kClosing}));
}

TEST_F(Fake, DiagModuleOfAnUnlistableOrEmptyProcessWritesAnEmptyFrame) {
    sys.procs[2].refuse_modules = true;
    sys.procs[3].modules.clear();  // a module snapshot with no first module
    for (const char* name : {"beta.exe", "gamma.exe"}) {
        host.clear_records();
        dump_modules(name, kFake);
        EXPECT_EQ(host.diag_calls(), framed({})) << name;
    }
}

TEST_F(Fake, ModuleEntryTexts) {
    ModuleRecord r{};
    put(r.szModule, "big.dll");
    const std::string path(sizeof r.szExePath, 'p');
    put(r.szExePath, path);       // full field, no terminator
    r.modBaseSize = 0x80000000u;  // shown as the signed 32-bit number it has always been
    r.hModule = nullptr;          // must not be taken as "the caller's executable"
    dump_module_entry(r);
    const std::vector<std::string> want = {"\nmodule: ", "big.dll", "\npath: ", path,
                                           "\nsize: -2147483648 bytes", "\ngetmodule file name : ", ""};
    EXPECT_EQ(host.diag_calls(), want);
}

namespace {

// The platform's own view of the path under which this process knows `module`.
std::wstring own_module_path(HMODULE module) {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// A copy of diag_child_mod.dll at a path of the test's choosing, loaded into
// this process; unloaded and removed with its folder afterwards. Paths are
// handed to the platform with the \\?\ prefix, so they may exceed MAX_PATH.
struct LoadedCopy {
    LoadedCopy(const std::wstring& folder, const std::wstring& file_name)
        : folder_(L"\\\\?\\" + folder), file_(folder_ + L"\\" + file_name) {
        const std::string source = qz::test::exe_dir() + "\\diag_child_mod.dll";
        if (!CreateDirectoryW(folder_.c_str(), nullptr)) return;
        made_folder_ = true;
        if (!CopyFileW(std::wstring(source.begin(), source.end()).c_str(), file_.c_str(), FALSE)) return;
        copied_ = true;
        module = LoadLibraryW(file_.c_str());
    }
    ~LoadedCopy() {
        if (module) FreeLibrary(module);
        if (copied_) DeleteFileW(file_.c_str());
        if (made_folder_) RemoveDirectoryW(folder_.c_str());
    }
    LoadedCopy(const LoadedCopy&) = delete;
    LoadedCopy& operator=(const LoadedCopy&) = delete;

    HMODULE module = nullptr;

private:
    std::wstring folder_, file_;
    bool made_folder_ = false, copied_ = false;
};

std::wstring wide(const std::string& ansi) {
    std::wstring out(ansi.size(), L'\0');
    out.resize(MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), out.data(),
                                   static_cast<int>(out.size())));
    return out;
}

// The seven texts of a module entry whose handle is `module` in this process.
void entry_for(HMODULE module) {
    ModuleRecord r{};
    r.dwSize = sizeof r;
    put(r.szModule, "copy.dll");
    put(r.szExePath, "C:\\elsewhere\\copy.dll");
    r.modBaseSize = 4096;
    r.hModule = module;
    dump_module_entry(r);
}

}  // namespace

// The path that the calling process gives for the module's handle: in full
// while it fits the 260-byte buffer with its terminator, else empty, never cut.
TEST_F(Fake, CallerPathThatDoesNotFitIsEmptyNeverCut) {
    qz::test::TempDir dir;
    const std::wstring base = wide(dir.path());
    const std::wstring folder = base + L"\\" + std::wstring(100, L'd');
    const std::size_t room = kCallerPathCapacity - 1;  // characters a path may have
    for (const std::size_t length : {room - 1, room, room + 1, room + 40}) {
        SCOPED_TRACE(testing::Message() << "path of " << length << " characters");
        ASSERT_GT(length, folder.size() + 1 + 4);
        LoadedCopy copy(folder, std::wstring(length - folder.size() - 1 - 4, L'f') + L".dll");
        ASSERT_NE(copy.module, nullptr) << "LoadLibraryW failed: " << GetLastError();
        const std::wstring known = own_module_path(copy.module);
        ASSERT_EQ(known.size(), length) << "the platform reports another path than the one loaded";
        host.clear_records();
        entry_for(copy.module);
        const std::string in_full(known.begin(), known.end());  // ASCII throughout
        const std::vector<std::string> want = {"\nmodule: ", "copy.dll", "\npath: ", "C:\\elsewhere\\copy.dll",
                                               "\nsize: 4096 bytes", "\ngetmodule file name : ",
                                               length <= room ? in_full : std::string()};
        EXPECT_EQ(host.diag_calls(), want);
    }
}

// A path with a character that the runtime's current locale (the "C" locale,
// which has no narrow form above U+00FF) cannot hold gives an empty text, not
// the part of the path before that character.
TEST_F(Fake, CallerPathThatCannotBeConvertedIsEmptyNeverCut) {
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    qz::test::TempDir dir;
    const std::wstring base = wide(dir.path());
    for (const wchar_t* name : {L"plain.dll", L"\u4e2d.dll", L"x\u0416y.dll"}) {
        SCOPED_TRACE(testing::Message() << "file " << (name == std::wstring(L"plain.dll") ? "plain" : "wide"));
        LoadedCopy copy(base + L"\\sub", name);
        ASSERT_NE(copy.module, nullptr) << "LoadLibraryW failed: " << GetLastError();
        const std::wstring known = own_module_path(copy.module);
        const bool narrow = std::all_of(known.begin(), known.end(), [](wchar_t c) { return c < 0x80; });
        ASSERT_EQ(narrow, name == std::wstring(L"plain.dll")) << "the platform reports another path";
        host.clear_records();
        entry_for(copy.module);
        ASSERT_EQ(host.diag_calls().size(), 7u);
        EXPECT_EQ(host.diag_calls().back(), narrow ? std::string(known.begin(), known.end()) : std::string());
    }
}

// The same in a locale whose narrow form of a character takes two bytes
// (code page 932): a path of fewer than 260 characters whose narrow form
// needs the whole buffer or more, also when the buffer ends inside a
// character, gives an empty text, never a cut one.
TEST_F(Fake, CallerPathWhoseNarrowFormDoesNotFitIsEmptyNeverCut) {
    struct Locale {
        const bool set = std::setlocale(LC_ALL, ".932") != nullptr;
        ~Locale() { std::setlocale(LC_ALL, "C"); }
    } locale;
    ASSERT_TRUE(locale.set) << "the runtime has no locale of code page 932";
    ASSERT_EQ(MB_CUR_MAX, 2);
    qz::test::TempDir dir;
    const std::wstring base = wide(dir.path());
    const std::wstring folder = base + L"\\" + std::wstring(40, L'\u4e2d');  // 40 units, 80 bytes
    const std::size_t folder_bytes = folder.size() + 40;
    // Narrow bytes of the whole path, and what ends the file name.
    const struct { std::size_t bytes; const wchar_t* tail; } cases[] = {
        {kCallerPathCapacity - 1, L".dll"},       // fits with its terminator
        {kCallerPathCapacity, L".dll"},           // fills the buffer, no room for the terminator
        {kCallerPathCapacity + 5, L"\u4e2d.dll"},  // the buffer ends inside the last wide character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "narrow form of " << c.bytes << " bytes");
        const std::size_t tail_bytes = std::wcslen(c.tail) + (c.tail[0] == L'.' ? 0 : 1);
        ASSERT_GT(c.bytes, folder_bytes + 1 + tail_bytes);
        LoadedCopy copy(folder, std::wstring(c.bytes - folder_bytes - 1 - tail_bytes, L'f') + c.tail);
        ASSERT_NE(copy.module, nullptr) << "LoadLibraryW failed: " << GetLastError();
        const std::wstring known = own_module_path(copy.module);
        ASSERT_LT(known.size(), kCallerPathCapacity);
        std::string narrow(2 * kCallerPathCapacity, '\0');
        narrow.resize(std::wcstombs(narrow.data(), known.c_str(), narrow.size()));
        ASSERT_EQ(narrow.size(), c.bytes) << "the platform reports another path than the one loaded";
        host.clear_records();
        entry_for(copy.module);
        ASSERT_EQ(host.diag_calls().size(), 7u);
        EXPECT_EQ(host.diag_calls().back(), c.bytes < kCallerPathCapacity ? narrow : std::string());
    }
}
