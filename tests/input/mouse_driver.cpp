// Drives the mouse exports of the DLL from commands on stdin, one per line,
// answering each on stdout, so that a script can move the X server's pointer
// (xdotool) between reads. The main thread owns the windows and keeps pumping
// their messages while it waits for the next command.
//   listen | listen-invalid | read | read-null | unacquire | release | front | back | pump MS | quit
// Answers: "listen <hr>", "read <hr> <x> <y>" (x, y start as 12345 each read;
// read-null passes a null y pointer and prints "read <hr> <x>"), "ok" for the
// others. <hr> is printed as 8 hex digits.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

#include "testhost/engine_host.h"
#include "testhost/window.h"

namespace {

constexpr UINT kCommand = WM_APP + 1;
DWORD g_main_thread;

DWORD WINAPI read_commands(void*) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto* copy = new std::string(line);
        while (!PostThreadMessageA(g_main_thread, kCommand, 0, reinterpret_cast<LPARAM>(copy))) Sleep(10);
    }
    PostThreadMessageA(g_main_thread, kCommand, 0, reinterpret_cast<LPARAM>(new std::string("quit")));
    return 0;
}

}  // namespace

int main() {
    const int child = qz::test::run_on_own_desktop();
    if (child >= 0) return child;

    auto& lib = qz::test::Library::get();
    auto listen = lib.fn<std::int32_t(__cdecl*)(HWND)>("QZ_ListenMouse");
    auto get = lib.fn<std::int32_t(__cdecl*)(std::int32_t*, std::int32_t*)>("QZ_GetMouse");
    auto unacquire = lib.fn<void(__cdecl*)()>("QZ_UnacquireMouse");
    auto release = lib.fn<void(__cdecl*)()>("QZ_ReleaseMouse");

    qz::test::TestWindow main_window(L"qz mouse driver");
    qz::test::TestWindow other_window(L"qz other window");
    main_window.bring_to_front();

    g_main_thread = GetCurrentThreadId();
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists before the reader posts
    HANDLE reader = CreateThread(nullptr, 0, read_commands, nullptr, 0, nullptr);
    if (!reader) return 1;
    CloseHandle(reader);

    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd || msg.message != kCommand) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        std::string cmd = *reinterpret_cast<std::string*>(msg.lParam);
        delete reinterpret_cast<std::string*>(msg.lParam);
        if (cmd == "listen") {
            std::printf("listen %08lx\n", static_cast<unsigned long>(listen(main_window.handle())));
        } else if (cmd == "listen-invalid") {
            std::printf("listen %08lx\n", static_cast<unsigned long>(listen(reinterpret_cast<HWND>(0x7ffff0))));
        } else if (cmd == "read") {
            std::int32_t x = 12345, y = 12345;
            std::int32_t hr = get(&x, &y);
            std::printf("read %08lx %ld %ld\n", static_cast<unsigned long>(hr), static_cast<long>(x),
                        static_cast<long>(y));
        } else if (cmd == "read-null") {
            std::int32_t x = 12345;
            std::int32_t hr = get(&x, nullptr);
            std::printf("read %08lx %ld\n", static_cast<unsigned long>(hr), static_cast<long>(x));
        } else if (cmd == "unacquire") {
            unacquire();
            std::printf("ok\n");
        } else if (cmd == "release") {
            release();
            std::printf("ok\n");
        } else if (cmd == "front") {
            std::printf(main_window.bring_to_front() ? "ok\n" : "not in front\n");
        } else if (cmd == "back") {
            std::printf(other_window.bring_to_front() ? "ok\n" : "not in front\n");
        } else if (cmd.rfind("pump ", 0) == 0) {
            qz::test::pump_messages(std::stoul(cmd.substr(5)));
            std::printf("ok\n");
        } else if (cmd == "quit") {
            break;
        } else {
            std::printf("unknown command %s\n", cmd.c_str());
        }
        std::fflush(stdout);
    }
    release();
    return 0;
}
