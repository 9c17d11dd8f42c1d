#include <windows.h>

#include <cstdint>

#include "win/no_destroy.h"
#include "host/shim.h"
#include "input/keyboard.h"
#include "input/mouse.h"

namespace {

// The process's one mouse. It is never destroyed: releasing DirectInput
// objects while the process unloads its DLLs is not safe; the host calls
// QZ_ReleaseMouse.
qz::input::Mouse& process_mouse() {
    static qz::win::NoDestroy<qz::input::Mouse> mouse(qz::input::system_direct_input());
    return mouse.get();
}

}  // namespace

QZ_API std::int32_t KeyDown(std::uint32_t virtual_key, std::int32_t key_data, wchar_t* buffer,
                            std::uint32_t capacity) {
    return qz::guarded(0, [&] {
        return qz::input::key_down(qz::input::system_keyboard(), virtual_key, key_data, buffer, capacity);
    });
}

QZ_API std::int32_t Key_ScancodeToName(std::int32_t code, wchar_t* buffer, std::int32_t capacity) {
    return qz::guarded(0, [&] { return qz::input::key_name(qz::input::system_keyboard(), code, buffer, capacity); });
}

QZ_API std::int32_t QZ_ListenMouse(void* window) {
    return qz::guarded(static_cast<std::int32_t>(E_FAIL), [&] {
        return static_cast<std::int32_t>(process_mouse().listen(static_cast<HWND>(window)));
    });
}

QZ_API std::int32_t QZ_GetMouse(std::int32_t* x, std::int32_t* y) {
    return qz::guarded(static_cast<std::int32_t>(E_FAIL),
                       [&] { return static_cast<std::int32_t>(process_mouse().read(x, y)); });
}

QZ_API void QZ_UnacquireMouse() {
    qz::guarded([] { process_mouse().unacquire(); });
}

QZ_API void QZ_ReleaseMouse() {
    qz::guarded([] { process_mouse().release(); });
}
