#include "input/keyboard.h"

#include <climits>

namespace qz::input {

namespace {

// The keyboard state read by the last key_down; process-wide, like the
// thread state it copies, and used by nothing else.
BYTE g_key_state[256];

}  // namespace

const KeyboardApi& system_keyboard() noexcept {
    static const KeyboardApi api{&GetKeyboardState, &ToUnicode, &GetKeyNameTextW};
    return api;
}

int key_down(const KeyboardApi& api, std::uint32_t virtual_key, std::int32_t key_data,
             wchar_t* buffer, std::uint32_t capacity) {
    if (!buffer || capacity == 0) return 0;
    for (std::uint32_t i = 0; i < capacity; ++i) buffer[i] = 0;
    if (!api.get_keyboard_state(g_key_state)) return 0;
    const UINT scan_code = (static_cast<std::uint32_t>(key_data) >> 16) & 0xFFu;
    // No real buffer holds more than INT_MAX units; a larger claim is passed
    // on as INT_MAX rather than as a negative count.
    const int units = capacity > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(capacity);
    const int result = api.to_unicode(virtual_key, scan_code, g_key_state, buffer, units, 0);
    buffer[capacity - 1] = 0;
    return result;
}

int key_name(const KeyboardApi& api, std::int32_t code, wchar_t* buffer, std::int32_t capacity) {
    if (!buffer || capacity < 1) return 0;
    const LONG key_param = static_cast<LONG>(static_cast<std::uint32_t>(code) << 16);
    return api.get_key_name_text(key_param, buffer, capacity);
}

}  // namespace qz::input
