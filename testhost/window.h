// A plain top-level window for tests that need one in the foreground.
#pragma once
#include <windows.h>

namespace qz::test {

class TestWindow {
public:
    explicit TestWindow(const wchar_t* title);
    ~TestWindow() { DestroyWindow(hwnd_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return hwnd_; }
    // Shows the window and pumps messages until it is in the foreground (about two seconds at most).
    bool bring_to_front();

private:
    HWND hwnd_ = nullptr;
};

// Dispatches this thread's messages for about `ms` milliseconds.
void pump_messages(DWORD ms);

// Windows cannot be made on a wine desktop started without a display. This
// runs the program again (same command line and standard handles) on a new
// desktop on this process's display and returns the child's exit code; in
// that child it returns -1 at once.
int run_on_own_desktop();

}  // namespace qz::test
