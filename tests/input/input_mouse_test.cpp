// The mouse exports under Wine's dinput8 on the test run's X server, on a
// desktop of its own. xdotool (XTest: exact device counts) moves the pointer
// between reads; Wine starts it as a Unix program.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "testhost/engine_host.h"
#include "testhost/test_support.h"
#include "testhost/window.h"

namespace {

auto& lib = qz::test::Library::get();
const auto listen = QZ_FN(lib, QZ_ListenMouse);
const auto get = QZ_FN(lib, QZ_GetMouse);
const auto unacquire = QZ_FN(lib, QZ_UnacquireMouse);
const auto release = QZ_FN(lib, QZ_ReleaseMouse);
const std::string kFails = "80004005 12345 12345";  // E_FAIL, outputs as they were

// "<hr> <x> <y>" of one read into outputs that start as 12345.
std::string read(bool null_y = false) {
    qz::test::pump_messages(50);
    std::int32_t x = 12345, y = 12345;
    const auto hr = static_cast<unsigned long>(get(&x, null_y ? nullptr : &y));
    char text[48];
    std::snprintf(text, sizeof text, "%08lx %ld %ld", hr, long{x}, long{y});
    return text;
}

// Runs xdotool with `args` and waits until it has finished.
void xdotool(const std::string& args) {
    const std::string done = "/tmp/qz-mouse-xdotool-" + std::to_string(GetCurrentProcessId());
    const std::wstring done_here = L"Z:" + std::wstring(done.begin(), done.end());
    DeleteFileW(done_here.c_str());
    qz::test::RunningChild shell;
    ASSERT_TRUE(qz::test::start_child(shell, "Z:\\bin\\sh", {"-c", "/usr/bin/xdotool " + args + " && touch " + done}));
    for (int i = 0; i < 250 && GetFileAttributesW(done_here.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        qz::test::pump_messages(20);
    ASSERT_NE(GetFileAttributesW(done_here.c_str()), INVALID_FILE_ATTRIBUTES) << "xdotool " << args << " failed";
    DeleteFileW(done_here.c_str());
}

// Moves the pointer by (dx, dy) and waits until the motion has been delivered.
void move(int dx, int dy) {
    xdotool("mousemove_relative -- " + std::to_string(dx) + " " + std::to_string(dy));
    qz::test::pump_messages(300);
}

// Brings the window to the front and gives its X window the X input focus, as
// a window manager does for the window in front; the test's X server runs
// none, and Wine 10 grabs the pointer for an exclusive device (and only then
// hands it the pointer's motion) only while the X focus is on a window of
// the process.
bool bring_to_front(qz::test::TestWindow& window, const char* title) {
    if (!window.bring_to_front()) return false;
    xdotool(std::string("search --limit 1 --name '^") + title + "$' windowfocus --sync");
    qz::test::pump_messages(100);
    return GetForegroundWindow() == window.handle();
}

TEST(Mouse, MotionArrivesOnlyWhileTheDeviceCanBeAcquired) {
    const int child = qz::test::run_on_own_desktop();
    if (child >= 0) {
        EXPECT_EQ(child, 0) << "the test on its own desktop failed";
        return;
    }
    qz::test::TestWindow window(L"qz mouse test"), other(L"qz other window");
    ASSERT_TRUE(bring_to_front(window, "qz mouse test"));
    // The pointer in the middle of the window: an exclusive device may
    // confine it there, and motion against an edge would be cut short.
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(window.handle(), &rect));
    xdotool("mousemove " + std::to_string((rect.left + rect.right) / 2) + " " +
            std::to_string((rect.top + rect.bottom) / 2));

    // No device yet: unacquire and release do nothing, reads fail without writing.
    unacquire();
    release();
    EXPECT_EQ(read(), kFails);
    EXPECT_EQ(read(true), kFails);

    ASSERT_EQ(listen(window.handle()), 0);
    read();  // whatever the acquisition itself moved
    move(7, -5);
    EXPECT_EQ(read(), "00000000 7 -5");
    EXPECT_EQ(read(), "00000000 0 0");
    // Motion while unacquired is not counted; the next read acquires again.
    unacquire();
    move(11, 11);
    EXPECT_EQ(read(), "00000000 0 0");
    ASSERT_TRUE(bring_to_front(other, "qz other window"));
    move(5, 5);
    EXPECT_EQ(read(), kFails);
    ASSERT_TRUE(bring_to_front(window, "qz mouse test"));

    // Listening again replaces the device; after one release none is left and
    // a new listen succeeds at once. (Wine lets two exclusive devices of one
    // process be acquired together: that the first is let go is shown with fakes.)
    EXPECT_EQ(listen(window.handle()), 0);
    release();
    EXPECT_EQ(read(), kFails);
    release();
    ASSERT_EQ(listen(window.handle()), 0);
    read();
    move(-9, 2);
    EXPECT_EQ(read(), "00000000 -9 2");

    // Not a window: DirectInput's own error (Wine: E_HANDLE), not E_FAIL; the
    // partly made device is released like any other.
    const std::int32_t hr = listen(reinterpret_cast<HWND>(0x7ffff0));
    EXPECT_LT(hr, 0);
    EXPECT_NE(hr, E_FAIL);
    release();
    EXPECT_EQ(read(), kFails);
    EXPECT_EQ(listen(window.handle()), 0);
    release();
}

}  // namespace
