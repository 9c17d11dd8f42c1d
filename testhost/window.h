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

}  // namespace qz::test
