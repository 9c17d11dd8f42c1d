// The DirectInput mouse through the loaded DLL, against Wine's dinput8 under
// the test run's X server: device lifetime, acquisition and the foreground
// rule. (Motion from the X server is checked by mouse_motion_test.sh.)
#include <gtest/gtest.h>

#include <cstdint>

#include "testhost/engine_host.h"
#include "testhost/window.h"

namespace {

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);
constexpr std::int32_t kUntouched = 0x5A5A5A5A;

struct MouseExports {
    std::int32_t(__cdecl* listen)(HWND);
    std::int32_t(__cdecl* get)(std::int32_t*, std::int32_t*);
    void(__cdecl* unacquire)();
    void(__cdecl* release)();
};

MouseExports exports() {
    auto& lib = qz::test::Library::get();
    return {lib.fn<std::int32_t(__cdecl*)(HWND)>("QZ_ListenMouse"),
            lib.fn<std::int32_t(__cdecl*)(std::int32_t*, std::int32_t*)>("QZ_GetMouse"),
            lib.fn<void(__cdecl*)()>("QZ_UnacquireMouse"), lib.fn<void(__cdecl*)()>("QZ_ReleaseMouse")};
}

// Reads once; the outputs start as kUntouched.
struct Read {
    std::int32_t hr, x, y;
};
Read read(const MouseExports& m) {
    Read r{0, kUntouched, kUntouched};
    r.hr = m.get(&r.x, &r.y);
    return r;
}

void expect_failed_untouched(const Read& r) {
    EXPECT_EQ(r.hr, kFail);
    EXPECT_EQ(r.x, kUntouched);
    EXPECT_EQ(r.y, kUntouched);
}

class Mouse : public ::testing::Test {
protected:
    void SetUp() override {
        m = exports();
        ASSERT_TRUE(window.bring_to_front()) << "the test window did not reach the foreground";
    }
    void TearDown() override { m.release(); }

    MouseExports m{};
    qz::test::TestWindow window{L"qz mouse test"};
};

// Runs first in this process: no listen has happened yet.
TEST_F(Mouse, ReadWithoutDeviceFailsAndLeavesOutputs) {
    expect_failed_untouched(read(m));
    EXPECT_EQ(m.get(nullptr, nullptr), kFail);
    m.unacquire();  // nothing to do, nothing to break
    m.release();
    m.release();
    expect_failed_untouched(read(m));
}

TEST_F(Mouse, ListenReadsRelativeMotionAndReleaseEndsIt) {
    ASSERT_EQ(m.listen(window.handle()), 0);
    Read first = read(m);
    EXPECT_EQ(first.hr, 0);
    qz::test::pump_messages(100);
    // No motion since the first read: the axes are relative.
    Read second = read(m);
    EXPECT_EQ(second.hr, 0);
    EXPECT_EQ(second.x, 0);
    EXPECT_EQ(second.y, 0);

    // A null out pointer is refused without consuming or writing anything.
    std::int32_t x = kUntouched;
    EXPECT_EQ(m.get(&x, nullptr), kFail);
    EXPECT_EQ(x, kUntouched);

    m.release();
    expect_failed_untouched(read(m));
    m.release();  // a second release does nothing
    expect_failed_untouched(read(m));
}

TEST_F(Mouse, ReadAfterUnacquireAcquiresAgain) {
    ASSERT_EQ(m.listen(window.handle()), 0);
    EXPECT_EQ(read(m).hr, 0);
    m.unacquire();
    Read r = read(m);
    EXPECT_EQ(r.hr, 0);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    m.unacquire();
    m.unacquire();
    EXPECT_EQ(read(m).hr, 0);
}

TEST_F(Mouse, BackgroundWindowCannotReadUntilItReturns) {
    ASSERT_EQ(m.listen(window.handle()), 0);
    EXPECT_EQ(read(m).hr, 0);

    qz::test::TestWindow other(L"qz other window");
    ASSERT_TRUE(other.bring_to_front());
    expect_failed_untouched(read(m));
    expect_failed_untouched(read(m));

    ASSERT_TRUE(window.bring_to_front());
    EXPECT_EQ(read(m).hr, 0);
}

TEST_F(Mouse, ListenInBackgroundSucceedsAndReadsOnceInFront) {
    qz::test::TestWindow other(L"qz other window");
    ASSERT_TRUE(other.bring_to_front());
    // The acquisition fails now, but listen does not report it.
    ASSERT_EQ(m.listen(window.handle()), 0);
    expect_failed_untouched(read(m));
    ASSERT_TRUE(window.bring_to_front());
    EXPECT_EQ(read(m).hr, 0);
}

// Wine lets two exclusive devices of one process be acquired together, so
// that the earlier device is released is checked against fakes
// (input_logic_test); here the replaced device must still read and release.
TEST_F(Mouse, ListenTwiceReplacesTheDevice) {
    ASSERT_EQ(m.listen(window.handle()), 0);
    ASSERT_EQ(m.listen(window.handle()), 0);
    EXPECT_EQ(read(m).hr, 0);
    m.release();
    expect_failed_untouched(read(m));
    // A new listen works at once.
    ASSERT_EQ(m.listen(window.handle()), 0);
    EXPECT_EQ(read(m).hr, 0);
}

TEST_F(Mouse, InvalidWindowReturnsTheDirectInputError) {
    const std::int32_t hr = m.listen(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7ffff0)));
    EXPECT_LT(hr, 0);
    EXPECT_NE(hr, kFail) << "the DirectInput result is passed through, not replaced";  // Wine: E_HANDLE
    m.release();
    expect_failed_untouched(read(m));
    // The failed listen left nothing in the way of a good one.
    ASSERT_EQ(m.listen(window.handle()), 0);
    EXPECT_EQ(read(m).hr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int child = qz::test::run_on_own_desktop();
    if (child >= 0) return child;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
