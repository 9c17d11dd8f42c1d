// Runs the DLL's mouse exports on stdin commands, one answer line each, so a
// script can move the X pointer between reads; the main thread keeps pumping.
//   listen | listen-invalid | read | read-null | unacquire | release | front | back | pump MS | quit
// Answers: "listen <hr>", "read <hr> <x> <y>" (x, y start as 12345; read-null
// passes a null y and omits it), "ok" for the others.
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

    qz::test::TestWindow main_window(L"qz mouse driver"), other_window(L"qz other window");
    main_window.bring_to_front();

    g_main_thread = GetCurrentThreadId();
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the reader posts
    HANDLE reader = CreateThread(nullptr, 0, read_commands, nullptr, 0, nullptr);
    if (!reader) return 1;
    CloseHandle(reader);

    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd || msg.message != kCommand) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        auto* owned = reinterpret_cast<std::string*>(msg.lParam);
        const std::string cmd = *owned;
        delete owned;
        std::int32_t x = 12345, y = 12345;
        if (cmd == "listen" || cmd == "listen-invalid") {
            HWND w = cmd == "listen" ? main_window.handle() : reinterpret_cast<HWND>(0x7ffff0);
            std::printf("listen %08lx\n", static_cast<unsigned long>(listen(w)));
        } else if (cmd == "read" || cmd == "read-null") {
            const auto hr = static_cast<unsigned long>(get(&x, cmd == "read" ? &y : nullptr));
            if (cmd == "read") std::printf("read %08lx %ld %ld\n", hr, long{x}, long{y});
            else std::printf("read %08lx %ld\n", hr, long{x});
        } else if (cmd == "front" || cmd == "back") {
            auto& w = cmd == "front" ? main_window : other_window;
            std::printf(w.bring_to_front() ? "ok\n" : "not in front\n");
        } else if (cmd == "unacquire" || cmd == "release" || cmd.rfind("pump ", 0) == 0) {
            if (cmd == "unacquire") unacquire();
            else if (cmd == "release") release();
            else qz::test::pump_messages(std::stoul(cmd.substr(5)));
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
