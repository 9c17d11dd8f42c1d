#include "window.h"

#include <stdexcept>

namespace qz::test {

namespace {

const wchar_t kClass[] = L"QzTestWindow";

void register_class() {
    static const bool done = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc) != 0;
    }();
    if (!done) throw std::runtime_error("RegisterClassW failed");
}

}  // namespace

TestWindow::TestWindow(const wchar_t* title) {
    register_class();
    hwnd_ = CreateWindowExW(0, kClass, title, WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) throw std::runtime_error("CreateWindowExW failed");
}

TestWindow::~TestWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool TestWindow::bring_to_front() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    for (int i = 0; i < 100; ++i) {
        SetForegroundWindow(hwnd_);
        pump_messages(20);
        if (GetForegroundWindow() == hwnd_) return true;
    }
    return false;
}

void pump_messages(DWORD ms) {
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

}  // namespace qz::test
