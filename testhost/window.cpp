#include "testhost/window.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "testhost/test_support.h"

namespace qz::test {

TestWindow::TestWindow(const wchar_t* title) {
    static const wchar_t kClass[] = L"QzTestWindow";
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc) != 0;
    }();
    if (registered)
        hwnd_ = CreateWindowExW(0, kClass, title, WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) throw std::runtime_error("cannot create the test window");
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
    for (MSG msg;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD spent = GetTickCount() - start;
        if (spent >= ms) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
    }
}

int run_on_own_desktop() {
    const wchar_t kMarker[] = L"QZ_ON_OWN_DESKTOP";
    if (GetEnvironmentVariableW(kMarker, nullptr, 0) > 0) return -1;

    ChildOptions options;
    options.desktop = "qztest-" + std::to_string(GetCurrentProcessId());
    options.inherit_handles = true;  // its output goes where this process's goes
    HDESK desktop = CreateDesktopA(options.desktop.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop) return std::fprintf(stderr, "CreateDesktopA failed (%lu)\n", GetLastError()), 1;
    SetEnvironmentVariableW(kMarker, L"1");
    DWORD code = 1;
    RunningChild child;
    if (start_command(child, GetCommandLineA(), options))
        code = child.wait(INFINITE).exit_code;
    else
        std::fprintf(stderr, "could not start the test on its own desktop (%lu)\n", GetLastError());
    CloseDesktop(desktop);
    return static_cast<int>(code);
}

}  // namespace qz::test
