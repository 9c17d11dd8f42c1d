// A plain top-level window for tests that need one in the foreground.
#pragma once
#include <windows.h>

namespace qz::test {

class TestWindow {
public:
    explicit TestWindow(const wchar_t* title);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return hwnd_; }
    // Shows the window, asks for the foreground and pumps messages until it
    // is the foreground window (or about two seconds have passed).
    bool bring_to_front();

private:
    HWND hwnd_ = nullptr;
};

// Dispatches this thread's messages for about `ms` milliseconds.
void pump_messages(DWORD ms);

// Window tests share the wine server with tests that run without a display,
// and whichever process starts the default desktop decides whether it has a
// display: windows cannot be created on a desktop started without one. This
// runs the program again, with the same command line and standard handles,
// on a desktop of its own (started from here, on this process's display),
// and returns the child's exit code. In that child it returns -1 at once.
int run_on_own_desktop();

}  // namespace qz::test
