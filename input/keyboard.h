// Keyboard translation: virtual keys to the characters they type, scan codes
// to key names, with the layout and modifier state of the calling thread.
#pragma once
#include <windows.h>

#include <cstdint>

namespace qz::input {

// The three user-interface calls the translation makes; the export shims pass
// system_keyboard(), tests their own.
struct KeyboardApi {
    BOOL(WINAPI* get_keyboard_state)(PBYTE state);
    int(WINAPI* to_unicode)(UINT vk, UINT scan_code, const BYTE* state, LPWSTR buffer, int capacity, UINT flags);
    int(WINAPI* get_key_name_text)(LONG key_param, LPWSTR buffer, int capacity);
};

// The real ones from user32.
const KeyboardApi& system_keyboard() noexcept;

// Translates a key press into `buffer` (capacity in UTF-16 units). The buffer
// is cleared first and its last unit is always 0, so a translation that fills
// it is cut to capacity - 1 units. Bits 16..23 of `key_data` are the scan
// code; no other bit is used, so every call translates a key press.
// Returns what ToUnicode returns (units produced, -1 dead key, 0 none), or 0
// for a null buffer, a capacity of 0 (nothing is called then) or when the
// thread's keyboard state cannot be read (the buffer is then all zeros).
int key_down(const KeyboardApi& api, std::uint32_t virtual_key, std::int32_t key_data,
             wchar_t* buffer, std::uint32_t capacity);

// The display name of a key: `code` holds the scan code in bits 0..7 and the
// extended-key flag in bit 8. Returns the name's length without terminator,
// or 0 (also, without calling the platform, for a null buffer or a capacity
// below 1).
int key_name(const KeyboardApi& api, std::int32_t code, wchar_t* buffer, std::int32_t capacity);

}  // namespace qz::input
