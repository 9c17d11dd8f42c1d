// Keyboard translation through the loaded DLL, against the system's user32.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "testhost/engine_host.h"

namespace {

void set_shift(bool down) {
    BYTE state[256] = {};
    ASSERT_TRUE(GetKeyboardState(state));
    state[VK_SHIFT] = state[VK_LSHIFT] = down ? 0x80 : 0;
    ASSERT_TRUE(SetKeyboardState(state));
}

TEST(Keyboard, LetterFollowsShiftAndIgnoresTheHighKeyDataBits) {
    auto key_down = QZ_FN(qz::test::Library::get(), KeyDown);
    // The A key types 'a' in Latin layouts (Wine's default, most machines');
    // a Cyrillic or Greek one has no 'a' at all.
    if (VkKeyScanW(L'a') != 'A') GTEST_SKIP() << "the thread's keyboard layout types no 'a' with the A key";
    // shift, key data (scan code 0x1E; key-up, previous-state, extended bits), text
    const struct { bool shift; std::uint32_t data; const wchar_t* text; } rows[] = {
        {false, 0x001E0001u, L"a"}, {true, 0x001E0001u, L"A"}, {false, 0x801E0001u, L"a"},
        {false, 0xC11E0001u, L"a"}, {true, 0x801E0001u, L"A"},
    };
    for (const auto& r : rows) {
        set_shift(r.shift);
        wchar_t buf[8];
        std::fill(std::begin(buf), std::end(buf), L'#');
        EXPECT_EQ(key_down('A', static_cast<std::int32_t>(r.data), buf, 8), 1) << std::hex << r.data;
        EXPECT_EQ(std::wstring(buf), r.text) << std::hex << r.data;
        for (int i = 1; i < 8; ++i) EXPECT_EQ(buf[i], 0) << "not cleared at " << i;
    }
    set_shift(false);

    // Capacity 1: the 'a' is overwritten by the terminator, the result still counts it.
    wchar_t one[2] = {L'#', L'#'};
    EXPECT_EQ(key_down('A', 0x001E0001, one, 1), 1);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(one[1], L'#') << "wrote past the capacity";
}

TEST(Keyboard, MainAndKeypadEnterHaveDifferentNames) {
    // The names depend on the layout (and Wine's display driver), so only their shape is checked.
    auto key_name = QZ_FN(qz::test::Library::get(), Key_ScancodeToName);
    wchar_t main_enter[64] = {}, pad_enter[64] = {};
    const int n1 = key_name(0x1C, main_enter, 64), n2 = key_name(0x11C, pad_enter, 64);
    ASSERT_GT(n1, 0);
    ASSERT_GT(n2, 0);
    EXPECT_EQ(static_cast<size_t>(n1), std::wstring(main_enter).size());
    EXPECT_EQ(static_cast<size_t>(n2), std::wstring(pad_enter).size());
    EXPECT_NE(std::wstring(main_enter), std::wstring(pad_enter));
}

}  // namespace
