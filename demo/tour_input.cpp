#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "demo/demo.h"
#include "testhost/window.h"

namespace {

void set_shift(bool down) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = state[VK_LSHIFT] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

void tour(qz::demo::Context& ctx) {
    auto key_name = QZ_FN(ctx.lib, Key_ScancodeToName);
    auto key_down = QZ_FN(ctx.lib, KeyDown);
    for (std::int32_t code : {0x1C, 0x11C, 0x1E, 0x39, 0x01}) {
        wchar_t name[64];
        const std::int32_t n = key_name(code, name, 64);
        std::printf("Key_ScancodeToName(0x%03X) -> %d \"%ls\"\n", static_cast<unsigned>(code), n, name);
    }
    wchar_t text[8];
    for (bool shift : {false, true}) {
        set_shift(shift);
        const std::int32_t n = key_down('A', 0x001E0001, text, 8);
        std::printf("KeyDown('A', 0x001E0001)%s -> %d \"%ls\"\n", shift ? " with Shift down" : "", n, text);
    }
    set_shift(false);
    const std::int32_t n = key_down('A', 0x001E0001, text, 1);
    std::printf("KeyDown('A', 0x001E0001, capacity 1) -> %d, buffer[0] = %d (always the terminator)\n", n, text[0]);
    std::printf("(the DirectInput mouse needs a window in the foreground: try `qzhost mouse`)\n");
}

int command_mouse(qz::demo::Context& ctx, int argc, char** argv) {
    const int seconds = argc > 0 ? std::atoi(argv[0]) : 5;
    // A desktop of its own, started on this process's display.
    const int child = qz::test::run_on_own_desktop();
    if (child >= 0) return child;

    auto listen = QZ_FN(ctx.lib, QZ_ListenMouse);
    auto get = QZ_FN(ctx.lib, QZ_GetMouse);
    auto release = QZ_FN(ctx.lib, QZ_ReleaseMouse);
    try {
        qz::test::TestWindow window(L"qzhost mouse");
        if (!window.bring_to_front()) std::printf("the window is not in the foreground; reads will fail\n");
        const std::int32_t hr = listen(window.handle());
        std::printf("QZ_ListenMouse -> 0x%08lX\n", static_cast<unsigned long>(hr));
        std::int64_t total_x = 0, total_y = 0;
        for (int tick = 0; tick < seconds * 10; ++tick) {
            qz::test::pump_messages(100);
            std::int32_t x = 0, y = 0;
            const std::int32_t r = get(&x, &y);
            if (r != 0) {
                std::printf("QZ_GetMouse -> 0x%08lX\n", static_cast<unsigned long>(r));
            } else if (x || y) {
                total_x += x;
                total_y += y;
                std::printf("QZ_GetMouse -> 0  dx %d  dy %d\n", x, y);
            }
        }
        release();
        std::printf("QZ_ReleaseMouse; moved %lld, %lld in %d s\n", static_cast<long long>(total_x),
                    static_cast<long long>(total_y), seconds);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: the mouse needs a display (QZ_NEEDS_DISPLAY=1 DISPLAY=:N)\n", e.what());
        return 1;
    }
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(50, "Input: Key_ScancodeToName, KeyDown (the thread's layout and key state)", tour);
QZ_DEMO_COMMAND("mouse", "[SECONDS]   open a window, listen to the DirectInput mouse, print its motion (default 5 s)",
                command_mouse);
