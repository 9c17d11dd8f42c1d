// The fault sweep's own parts, in this process: the plan's counting, the
// typed hooks' failures and books, run-time look-ups, the stand-ins' gate
// and the log check.
#include <gtest/gtest.h>

#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "testhost/fake_d3d9.h"
#include "testhost/fake_dinput.h"
#include "testhost/fault/gate.h"
#include "testhost/fault/imports.h"
#include "testhost/fault/plan.h"
#include "testhost/test_support.h"
#include "tests/fault/log_check.h"
#include "tests/fault/repeat.h"

namespace {

using namespace qz::test::fault;

Row* row_of(const char* dll, const char* name) {
    for (Row* row : hook_rows())
        if (std::string(row->dll) == dll && std::string(row->name) == name) return row;
    return nullptr;
}

// A table row made callable here: its real entry is this process's own import.
template <class F>
F* hook(const char* dll, const char* name, F* real) {
    Row* row = row_of(dll, name);
    if (!row) return nullptr;
    if (!row->real) row->real = reinterpret_cast<void*>(real);
    return reinterpret_cast<F*>(row->hook);
}

class Plan : public ::testing::Test {
protected:
    void TearDown() override { arm(Mode::off, 0); }
};

TEST_F(Plan, SingleFailsTheKthCallOnlyLastingEveryCallFromIt) {
    const auto pattern = [](Mode mode, long at) {
        arm(mode, at);
        std::string s;
        for (int i = 0; i < 6; ++i) s += take("f") ? 'x' : '.';
        clear();
        s += take("f") ? 'x' : '.';  // cleared: nothing fails, nothing counts
        return s;
    };
    EXPECT_EQ(pattern(Mode::single, 3), "..x....");
    EXPECT_EQ(pattern(Mode::lasting, 3), "..xxxx.");
    EXPECT_EQ(pattern(Mode::count, 1), ".......");
}

TEST_F(Plan, CountsNamesTheCallsAndTheFirstFailure) {
    arm(Mode::count, 0);
    take("a"), take("b"), take("a");
    EXPECT_EQ(trace(), (std::vector<std::string>{"a", "b", "a"}));
    arm(Mode::lasting, 2);
    take("a"), take("b"), take("c");
    EXPECT_EQ(calls(), 3);
    EXPECT_STREQ(first_hit(), "b");
    EXPECT_EQ(trace(), (std::vector<std::string>{"a", "b", "c"})) << "failed calls are named too";
    arm(Mode::single, 1);
    EXPECT_TRUE(trace().empty()) << "arming starts afresh";
}

TEST_F(Plan, HooksFailWithTheSystemsCodesAndKeepTheBooks) {
    const auto create = hook("kernel32.dll", "CreateFileW", &::CreateFileW);
    const auto close = hook("kernel32.dll", "CloseHandle", &::CloseHandle);
    ASSERT_TRUE(create && close);
    qz::test::TempDir dir;
    const std::string narrow = dir.file("f");
    const std::wstring path(narrow.begin(), narrow.end());
    const auto open = [&] { return create(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr); };

    arm(Mode::single, 1);
    SetLastError(0);
    EXPECT_EQ(open(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    const HANDLE h = open();  // the fault has passed
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(live(Kind::handle), 1u);
    close(h);
    EXPECT_EQ(live(Kind::handle), 0u);
    const HANDLE again = open();  // the books leave the call's own last-error code
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    close(again);

    const auto alloc = hook("msvcrt.dll", "malloc", &std::malloc);
    const auto resize = hook("msvcrt.dll", "realloc", &std::realloc);
    const auto release = hook("msvcrt.dll", "free", &std::free);
    arm(Mode::single, 2);
    void* p = alloc(16);
    errno = 0;
    EXPECT_EQ(resize(p, 64), nullptr);  // the block stays the caller's
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(live(Kind::block), 1u);
    p = resize(p, 64);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(live(Kind::block), 1u);
    release(p);
    EXPECT_EQ(live(Kind::block), 0u);
    EXPECT_EQ(calls(), 3) << "free does not count as a fault point";
}

TEST_F(Plan, BooksSayWhereEachLiveBlockWasMadeWhenAsked) {
    const auto alloc = hook("msvcrt.dll", "malloc", &std::malloc);
    const auto release = hook("msvcrt.dll", "free", &std::free);
    arm(Mode::count, 0);
    keep_stacks(true);
    void* a = alloc(8);
    void* b = alloc(8);
    auto stacks = live_stacks(Kind::block);
    ASSERT_EQ(stacks.size(), 2u);
    for (const std::string& s : stacks) {
        // Past this program's own frames: module+offset of its callers (the runtime's start, the system's).
        EXPECT_EQ(s.find("fault_harness_test.exe"), std::string::npos) << s;
        EXPECT_NE(s.find(".dll+0x"), std::string::npos) << s;
    }
    release(a);
    EXPECT_EQ(live_stacks(Kind::block).size(), 1u) << "a freed block's stack goes with it";
    keep_stacks(false);
    void* c = alloc(8);
    EXPECT_EQ(live(Kind::block), 2u);
    EXPECT_EQ(live_stacks(Kind::block).size(), 1u) << "made while not asked: counted, no stack";
    release(b);
    release(c);
    EXPECT_TRUE(live_stacks(Kind::block).empty());
}

TEST_F(Plan, HookedExportsBindWhatIsLoadedMeanwhileToTheHooksUntilGivenBack) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC real = GetProcAddress(kernel, "GetFileAttributesW");
    ASSERT_EQ(hook_exports({{"kernel32.dll", "GetFileAttributesW"}, {"kernel32.dll", "Sleep"}}), 1)
        << "only the exports with a row";
    // What the loader would bind a library's import to meanwhile.
    const auto bound = reinterpret_cast<decltype(&::GetFileAttributesW)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetFileAttributesW")));
    unhook_exports();
    EXPECT_NE(reinterpret_cast<void*>(bound), reinterpret_cast<void*>(real));
    EXPECT_EQ(GetProcAddress(kernel, "GetFileAttributesW"), real) << "given back to everybody else";
    qz::test::TempDir dir;
    const std::string narrow = dir.path();
    const std::wstring folder(narrow.begin(), narrow.end());
    arm(Mode::single, 1);
    SetLastError(0);
    EXPECT_EQ(bound(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(bound(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY) << "past the fault, the real one answers";
    EXPECT_EQ(calls(), 2);
}

using FindNls = decltype(&::FindNLSString);

TEST_F(Plan, RunTimeLookUpsGetTheHookAndCanFailThemselves) {
    const auto lookup = hook("kernel32.dll", "GetProcAddress", &::GetProcAddress);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    arm(Mode::single, 1);
    SetLastError(0);
    EXPECT_EQ(lookup(kernel, "FindNLSString"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    const auto find = reinterpret_cast<FindNls>(reinterpret_cast<void*>(lookup(kernel, "FindNLSString")));
    ASSERT_NE(reinterpret_cast<void*>(find), reinterpret_cast<void*>(&::FindNLSString)) << "not the hook";
    EXPECT_EQ(lookups(), std::vector<std::string>{"kernel32.dll!FindNLSString"});
    arm(Mode::lasting, 1);
    EXPECT_EQ(find(LOCALE_INVARIANT, FIND_FROMSTART, L"abc", -1, L"b", -1, nullptr), -1);
    arm(Mode::count, 0);
    EXPECT_EQ(find(LOCALE_INVARIANT, FIND_FROMSTART, L"abc", -1, L"b", -1, nullptr), 1);
}

// The hand-written hooks fail with what their rows say: codes changed in
// the table reach the caller.
TEST_F(Plan, HandWrittenHooksFailWithTheirRowsCodes) {
    const auto lookup = hook("kernel32.dll", "GetProcAddress", &::GetProcAddress);
    const auto create = hook("ole32.dll", "CoCreateInstance", &::CoCreateInstance);
    Row* const rows[] = {row_of("kernel32.dll", "GetProcAddress"), row_of("ole32.dll", "CoCreateInstance"),
                         row_of("dinput8.dll", "DirectInput8Create")};
    ASSERT_TRUE(lookup && create && rows[2]);
    const Failure kept[] = {rows[0]->failure, rows[1]->failure, rows[2]->failure};
    rows[0]->failure.error = ERROR_INVALID_HANDLE;
    rows[1]->failure.result = E_ACCESSDENIED;
    rows[2]->failure.result = DIERR_NOTINITIALIZED;
    arm(Mode::lasting, 1);
    SetLastError(0);
    EXPECT_EQ(lookup(GetModuleHandleW(L"kernel32.dll"), "Sleep"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    void* out = &out;
    EXPECT_EQ(create(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER, IID_IDxDiagProvider, &out), E_ACCESSDENIED);
    EXPECT_EQ(out, nullptr);
    out = &out;
    const auto input = reinterpret_cast<decltype(&::DirectInput8Create)>(rows[2]->hook);
    EXPECT_EQ(input(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A, &out, nullptr),
              DIERR_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(calls(), 3);
    for (int i = 0; i < 3; ++i) rows[i]->failure = kept[i];
}

TEST_F(Plan, EveryImportIsHookedOrNamedAsNeverFailing) {
    EXPECT_EQ(classify("kernel32.dll", "ReadFile"), "hooked");
    EXPECT_EQ(classify("msvcrt.dll", "memcpy").rfind("never: ", 0), 0u);
    EXPECT_EQ(classify("kernel32.dll", "CreateRemoteThread"), "") << "a new import must be classified";
    EXPECT_EQ(classify("user32.dll", "ReadFile"), "") << "the module counts";
}

TEST_F(Plan, StandInsFailTheirMethodsThroughTheGate) {
    qz::test::g_com_gate = [](const char*, HRESULT failure) { return take("com") ? failure : S_OK; };
    qz::test::FakeD3DDevice9 device;
    arm(Mode::single, 1);
    EXPECT_EQ(device.TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device.TestCooperativeLevel(), D3D_OK);

    IDirectInput8A* input = qz::test::new_fake_direct_input();
    IDirectInputDevice8A* mouse = nullptr;
    arm(Mode::single, 1);
    EXPECT_EQ(input->CreateDevice(GUID_SysMouse, &mouse, nullptr), DIERR_OUTOFMEMORY);
    EXPECT_EQ(mouse, nullptr);
    ASSERT_EQ(input->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
    EXPECT_EQ(qz::test::fake_direct_input().live(), 2);
    DIMOUSESTATE2 state{};
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(mouse->Acquire(), DI_OK);
    EXPECT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 3);
    mouse->Release();
    input->Release();
    EXPECT_EQ(qz::test::fake_direct_input().live(), 0);
    qz::test::g_com_gate = nullptr;
}

// The round: two calls before the step, the step's four (calls 3 to 6), one after.
const std::vector<std::string> kRound = {"a", "b", "malloc", "HeapAlloc", "malloc", "TlsSetValue", "free"};

TEST(Repeat, SamePathIsTheStepsCallsUpToTheFaultOrAllOfThemWithoutOne) {
    EXPECT_TRUE(same_path(kRound, 2, 6, {"malloc", "HeapAlloc", "malloc", "TlsSetValue"}, 0));
    EXPECT_FALSE(same_path(kRound, 2, 6, {"malloc", "HeapAlloc", "malloc"}, 0)) << "a call fewer";
    EXPECT_FALSE(same_path(kRound, 2, 6, {"malloc", "malloc", "HeapAlloc", "TlsSetValue"}, 0)) << "another order";
    // The fault at call 4 (HeapAlloc): the repeat must reach it the same way;
    // what follows the failure may differ (the first failure's leftovers taken again).
    EXPECT_TRUE(same_path(kRound, 2, 6, {"malloc", "HeapAlloc"}, 4));
    EXPECT_TRUE(same_path(kRound, 2, 6, {"malloc", "HeapAlloc", "CreateEventA"}, 4));
    EXPECT_FALSE(same_path(kRound, 2, 6, {"malloc", "malloc"}, 4)) << "another call met the fault";
    EXPECT_FALSE(same_path(kRound, 2, 6, {"malloc"}, 4)) << "the repeat ended before the fault";
    EXPECT_FALSE(same_path(kRound, 2, 6, {"a", "b"}, 2)) << "a fault before the step";
    EXPECT_FALSE(same_path(kRound, 2, 6, {"malloc", "HeapAlloc", "malloc", "TlsSetValue", "free"}, 7))
        << "a fault after the step";
    EXPECT_FALSE(same_path(kRound, -1, -1, {}, 0)) << "the round never did the step";
    EXPECT_FALSE(same_path({"a"}, 0, 3, {"a", "b", "c"}, 0)) << "a span past the round's calls";
}

TEST(Repeat, BlocksAreKeptForReuseOnlyWhenTheSameFaultLeftNoMoreThanFaultFree) {
    const Repeat fault_free{true, false, true, 48, 48};
    const Repeat reused{true, true, true, 49, 49};  // the first fault's block taken again
    EXPECT_TRUE(kept_for_reuse(reused, fault_free));
    EXPECT_FALSE(kept_for_reuse({true, true, true, 50, 51}, fault_free)) << "one more each time: a leak";
    EXPECT_TRUE(kept_for_reuse({true, true, true, 50, 51}, {true, false, true, 48, 49}))
        << "no more than the fault-free repeat grew";
    EXPECT_FALSE(kept_for_reuse({true, false, true, 49, 49}, fault_free)) << "the repeat did not meet the fault";
    EXPECT_FALSE(kept_for_reuse({true, true, false, 49, 49}, fault_free)) << "the repeat went another way";
    EXPECT_FALSE(kept_for_reuse({false, false, false, 0, 0}, fault_free)) << "no repeat, no proof";
    EXPECT_FALSE(kept_for_reuse(reused, {true, false, false, 48, 48})) << "the step is no repeatable step";
}

TEST(LogCheck, FindsLostDoubledReorderedAndMalformedLines) {
    const std::vector<ExpectedLine> want = {
        {"one", "info"}, {"two", "warning", true}, {"three", "error"}, {"four", "info"}};
    const auto check = [&](const std::string& text) { return check_log(text, want); };
    EXPECT_TRUE(check("01:02:03: info - one\r\n00:00:00: warning - two\r\n23:59:59: error - three\r\n"
                      "12:00:00: info - four\r\n").clean());
    EXPECT_TRUE(check("01:02:03: info - one\r\n01:02:03: error - three\r\n01:02:03: info - four\r\n").clean())
        << "the faulted line may go";
    auto v = check("01:02:03: info - one\r\n01:02:03: info - four\r\n");
    EXPECT_EQ(v.lost, std::vector<std::string>{"three"});
    v = check("01:02:03: info - one\r\n01:02:03: info - one\r\n01:02:03: info - four\r\n01:02:03: error - three\r\n");
    EXPECT_EQ(v.doubled, std::vector<std::string>{"one"});
    EXPECT_EQ(v.reordered, std::vector<std::string>{"three"});
    v = check(": info - one\r\n01:02:03: error - one\r\n24:00:00: error - three\r\n01:02:03: info - four");
    EXPECT_EQ(v.malformed.size(), 4u) << "no time, wrong severity, no such hour, a cut line";
}

}  // namespace
