// Keyboard translation through the loaded DLL, against Wine's user32: the
// thread's key state and layout decide the text.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "testhost/engine_host.h"

namespace {

using KeyDownFn = std::int32_t(__cdecl*)(std::uint32_t, std::int32_t, wchar_t*, std::uint32_t);
using KeyNameFn = std::int32_t(__cdecl*)(std::int32_t, wchar_t*, std::int32_t);

constexpr std::int32_t kKeyA = 0x001E0001;  // scan code 0x1E, repeat count 1

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        key_down = qz::test::Library::get().fn<KeyDownFn>("KeyDown");
        key_name = qz::test::Library::get().fn<KeyNameFn>("Key_ScancodeToName");
        set_shift(false);
    }
    void TearDown() override { set_shift(false); }

    static void set_shift(bool down) {
        BYTE state[256] = {};
        ASSERT_TRUE(GetKeyboardState(state));
        state[VK_SHIFT] = state[VK_LSHIFT] = down ? 0x80 : 0;
        ASSERT_TRUE(SetKeyboardState(state));
    }

    KeyDownFn key_down = nullptr;
    KeyNameFn key_name = nullptr;
};

TEST_F(Keyboard, LetterFollowsTheThreadsShiftState) {
    wchar_t buf[8];
    std::fill(std::begin(buf), std::end(buf), L'#');
    EXPECT_EQ(key_down('A', kKeyA, buf, 8), 1);
    EXPECT_EQ(std::wstring(buf), L"a");
    // Everything past the text was cleared, not just one terminator written.
    for (int i = 1; i < 8; ++i) EXPECT_EQ(buf[i], 0) << i;

    set_shift(true);
    EXPECT_EQ(key_down('A', kKeyA, buf, 8), 1);
    EXPECT_EQ(std::wstring(buf), L"A");

    set_shift(false);
    EXPECT_EQ(key_down('A', kKeyA, buf, 8), 1);
    EXPECT_EQ(std::wstring(buf), L"a");
}

TEST_F(Keyboard, LastUnitIsAlwaysTheTerminator) {
    // Capacity 1: 'a' fills the whole buffer and is overwritten; the result still counts it.
    wchar_t one[2] = {L'#', L'#'};
    EXPECT_EQ(key_down('A', kKeyA, one, 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(one[1], L'#') << "wrote past the capacity";

    wchar_t two[3] = {L'#', L'#', L'#'};
    EXPECT_EQ(key_down('A', kKeyA, two, 2), 1);
    EXPECT_EQ(two[0], L'a');
    EXPECT_EQ(two[1], 0);
    EXPECT_EQ(two[2], L'#') << "wrote past the capacity";
}

TEST_F(Keyboard, KeyUpBitAndOtherHighBitsChangeNothing) {
    wchar_t down[4], up[4], extended[4];
    EXPECT_EQ(key_down('A', kKeyA, down, 4), 1);
    EXPECT_EQ(key_down('A', static_cast<std::int32_t>(0x801E0001u), up, 4), 1);
    EXPECT_EQ(key_down('A', static_cast<std::int32_t>(0xC01E0001u), extended, 4), 1);
    EXPECT_EQ(std::wstring(up), std::wstring(down));
    EXPECT_EQ(std::wstring(extended), L"a");
}

TEST_F(Keyboard, KeysWithoutCharactersGiveZeroAndAnEmptyBuffer) {
    wchar_t buf[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(key_down(VK_F1, 0x003B0001, buf, 4), 0);
    for (wchar_t c : buf) EXPECT_EQ(c, 0);
    std::fill(std::begin(buf), std::end(buf), L'#');
    EXPECT_EQ(key_down(VK_SHIFT, 0x002A0001, buf, 4), 0);
    for (wchar_t c : buf) EXPECT_EQ(c, 0);
}

TEST_F(Keyboard, NullBufferOrZeroCapacityReturnsZeroAndWritesNothing) {
    EXPECT_EQ(key_down('A', kKeyA, nullptr, 8), 0);
    wchar_t buf[2] = {L'#', L'#'};
    EXPECT_EQ(key_down('A', kKeyA, buf, 0), 0);
    EXPECT_EQ(buf[0], L'#');
    EXPECT_EQ(buf[1], L'#');
}

TEST_F(Keyboard, MainAndKeypadEnterHaveDifferentNames) {
    // The names depend on the display driver, so only their shape is checked.
    wchar_t main_enter[64] = {}, pad_enter[64] = {};
    const int n1 = key_name(0x1C, main_enter, 64);
    const int n2 = key_name(0x11C, pad_enter, 64);
    ASSERT_GT(n1, 0);
    ASSERT_GT(n2, 0);
    EXPECT_EQ(static_cast<size_t>(n1), std::wstring(main_enter).size());
    EXPECT_EQ(static_cast<size_t>(n2), std::wstring(pad_enter).size());
    EXPECT_NE(std::wstring(main_enter), std::wstring(pad_enter));

    // The scan code is bits 0..7 of the code: 'A' is 0x1E.
    wchar_t a[16] = {};
    ASSERT_GT(key_name(0x1E, a, 16), 0);
    EXPECT_NE(std::wstring(a), std::wstring(main_enter));
}

TEST_F(Keyboard, KeyNameWithoutRoomReturnsZero) {
    EXPECT_EQ(key_name(0x1C, nullptr, 64), 0);
    wchar_t buf[4] = {L'#', L'#', L'#', L'#'};
    EXPECT_EQ(key_name(0x1C, buf, 0), 0);
    EXPECT_EQ(buf[0], L'#');
    EXPECT_EQ(key_name(0x1C, buf, -5), 0);
    EXPECT_EQ(buf[0], L'#');
}

}  // namespace
