/* QZUtilities: the library's exports, each a cdecl function under its plain
 * name. The engine loads qzutilities.dll, calls A6_DLLAPI once with its
 * engine interface, and then calls any export from its own thread.
 *
 * Host numbers are 32-bit signed fixed point with 10 fraction bits (the
 * value times 1024). Sizes passed with buffers count the buffer's own
 * elements, terminator included, unless a function says otherwise. */
#ifndef QZUTILITIES_H
#define QZUTILITIES_H

#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_MSC_VER) || defined(__MINGW32__)
#define QZ_CDECL __cdecl
#else
#define QZ_CDECL
#endif

/* Host binding ---------------------------------------------------------- */

/* Looks up the engine's functions through the lookup function the engine
 * interface holds at byte offset 0xA30; returns 630. */
int32_t QZ_CDECL A6_DLLAPI(void* engine_interface);

/* Log ------------------------------------------------------------------- */

/* Sets up "qzlog_%N.txt" in the current directory: a new file every 10 MiB
 * and at local midnight, every line flushed. */
void QZ_CDECL QZLog_Init(void);
/* Appends "HH:MM:SS: <severity> - <message>". Level 1 is a warning, 2 an
 * error, anything else info. A null message writes nothing. */
void QZ_CDECL QZLog_Log(const char* message, int32_t level);

/* Text ------------------------------------------------------------------ */

/* Files ----------------------------------------------------------------- */

/* Input ----------------------------------------------------------------- */

/* Translates a key press (virtual key; scan code in bits 16..23 of key_data)
 * with the calling thread's layout and key state into buffer, cleared first
 * and always ending in 0; returns the units ToUnicode produced, -1 for a dead
 * key, 0 for none, a null buffer or a capacity of 0. */
int32_t QZ_CDECL KeyDown(uint32_t virtual_key, int32_t key_data, wchar_t* buffer, uint32_t capacity);
/* Writes the name of a key (scan code in bits 0..7, extended flag in bit 8)
 * into buffer; returns its length without the terminator, 0 on failure. */
int32_t QZ_CDECL Key_ScancodeToName(int32_t code, wchar_t* buffer, int32_t capacity);
/* Creates the DirectInput system mouse for window (exclusive, foreground),
 * releasing an earlier one first, and acquires it; returns 0 or the failing
 * DirectInput result. */
int32_t QZ_CDECL QZ_ListenMouse(void* window);
/* Stores the X/Y movement since the last read and returns 0; re-acquires once
 * if needed. Any failure returns 0x80004005 (E_FAIL) and writes nothing. */
int32_t QZ_CDECL QZ_GetMouse(int32_t* x, int32_t* y);
/* Gives the mouse back to the system; the next QZ_GetMouse takes it again. */
void QZ_CDECL QZ_UnacquireMouse(void);
/* Gives the mouse back and destroys the device; harmless without one. */
void QZ_CDECL QZ_ReleaseMouse(void);

/* Display --------------------------------------------------------------- */

/* System information ---------------------------------------------------- */

/* Process and module diagnostics ---------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QZUTILITIES_H */
