/* QZUtilities: the library's exports, each a cdecl function under its plain
 * name. The engine loads qzutilities.dll, calls A6_DLLAPI once with its
 * engine interface, and then calls the other exports.
 *
 * Threads: the library starts none and takes no lock. Each section says where
 * its exports may run: "any thread" means no shared state, so several threads
 * may call them at once; "the host's thread" means state shared by every call
 * (or the calling thread's own), so the host calls them from its one thread.
 *
 * Host numbers are 32-bit signed fixed point with 10 fraction bits (the
 * value times 1024). Sizes passed with buffers count the buffer's own
 * elements, terminator included, unless a function says otherwise. */
#ifndef QZUTILITIES_H
#define QZUTILITIES_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* cdecl on every compiler for 32-bit x86, whatever convention its options
 * make the default (/Gz, -mrtd); elsewhere there is only one. */
#if defined(_MSC_VER) || defined(__MINGW32__) || defined(__CYGWIN__)
#define QZ_CDECL __cdecl
#elif (defined(__GNUC__) || defined(__clang__)) && defined(__i386__)
#define QZ_CDECL __attribute__((cdecl))
#else
#define QZ_CDECL
#endif

/* Host binding ---------------------------------------------------------- */
/* The host's thread, once, before the exports that call the host back (the
 * file date, gamma and diagnostic dump exports). */

/* Looks up the engine's functions through the lookup function the engine
 * interface holds at byte offset 0xA30; returns 630. */
int32_t QZ_CDECL A6_DLLAPI(void* engine_interface);

/* Log ------------------------------------------------------------------- */
/* QZLog_Init: the host's thread, once, before the first QZLog_Log.
 * QZLog_Log: any thread; the log writes one whole line at a time. */

/* Sets up "qzlog_%N.txt" in the current directory: a new file every 10 MiB
 * and at local midnight, every line flushed. */
void QZ_CDECL QZLog_Init(void);
/* Appends "HH:MM:SS: <severity> - <message>". Level 1 is a warning, 2 an
 * error, anything else info. A null message writes nothing. */
void QZ_CDECL QZLog_Log(const char* message, int32_t level);

/* Text ------------------------------------------------------------------ */
/* Any thread: the conversions, comparison and search, bounded helpers, the
 * template parser and MD5 work only on the caller's buffers. */

/* UTF-8 to UTF-16 into `out` (size in units, terminator included); text that
 * does not fit is cut, never inside a surrogate pair. 0, or -1 with the empty
 * string for ill-formed input. A size of 0 or less writes nothing. */
int QZ_CDECL utf8_to_utf16(const char* in, wchar_t* out, int size);
/* UTF-16 to UTF-8 into `out` (size in bytes): all of it, or the empty string
 * when it does not fit. 0, or -1 with the empty string for ill-formed input. */
int QZ_CDECL utf16_to_utf8(const wchar_t* in, char* out, int size);
/* CompareStringW in the invariant locale ignoring case, accents and symbols:
 * 1 less, 2 equal, 3 greater, 0 on failure. Lengths in units or -1. */
int QZ_CDECL QZ_InvariantCompare(const wchar_t* a, int a_len, const wchar_t* b, int b_len);
/* Index of the first match of `value` in `source` (invariant, ignoring case,
 * accents and symbols) or -1; *found (may be null) receives the match length. */
int QZ_CDECL QZ_InvariantFindStr(const wchar_t* source, int source_len, const wchar_t* value, int value_len,
                                 int* found);
/* Bounded copy: 0; 22 (EINVAL) for a null pointer or size 0; 34 (ERANGE)
 * when the source does not fit. On an error `dest` holds the empty string. */
int QZ_CDECL QZ_mbscpy_s(unsigned char* dest, size_t size, const unsigned char* src);
/* Formats into `dest` (size in units): units written, or -1 with the empty
 * string when the text does not fit. */
int QZ_CDECL QZ_swprintf_s(wchar_t* dest, size_t size, const wchar_t* format, ...);
/* As QZ_swprintf_s; the format may refer to its values by position (%1$s). */
int QZ_CDECL QZ_swprintf_p(wchar_t* dest, size_t size, const wchar_t* format, ...);
/* Appends `src` at the terminator of `dest`, adds the units appended to
 * *count; returns the new terminator (pass it as the next destination). */
wchar_t* QZ_CDECL QZ_fwcstrcat(wchar_t* dest, const wchar_t* src, unsigned* count);
/* As QZ_fwcstrcat, appending only while *count is below `limit`. */
wchar_t* QZ_CDECL QZ_sfwcstrcat(wchar_t* dest, const wchar_t* src, unsigned limit, unsigned* count);
/* Wide comparison ignoring case: negative, 0 or positive. */
int QZ_CDECL QZ_strcmp(const wchar_t* a, const wchar_t* b);
/* The number in `s`: 0x/0X hexadecimal, leading 0 octal, else decimal. */
int32_t QZ_CDECL QZ_strtol(const char* s);
/* Copies `tmpl` into `out` (room for len + 1 units) replacing {k} by the k-th
 * of the n (at most 15) wide-string arguments. Returns the text's length, or
 * the length of the "Parser error! ..." message then standing in `out`. */
int QZ_CDECL QZ_wcsparser(wchar_t* out, unsigned len, const wchar_t* tmpl, int n, ...);
/* Replaces the text in `buf` (at least 33 bytes) by the lowercase hex MD5 of
 * its bytes. 1, or 0 for a null pointer. */
int QZ_CDECL QZ_encrypt_md5(char* buf);

/* Files ----------------------------------------------------------------- */
/* Any thread, except QZ_GetLastWriteTime: the host's thread (its result is
 * one library buffer that every call overwrites). */

/* CRC-32 (as zlib computes it) of the whole file at the narrow path, its 32
 * bits as a signed integer; 0 for a null path or a file that cannot be read. */
int32_t QZ_CDECL QZ_Crc_Calculate(const char* path);
/* The file's size in bytes (low 32 bits); 0 when it cannot be opened. */
int32_t QZ_CDECL QZ_Crc_Filesize(const char* path);
/* Writes the handle's local last-write date "DD/MM/YYYY" into buffer and
 * returns 1; 0 (buffer untouched) when the times cannot be read or the text
 * and its terminator do not fit in capacity bytes. */
int32_t QZ_CDECL QZ_GetLastWriteTimeHelper(void* file_handle, char* buffer, int32_t capacity);
/* The file's local last-write date "DD/MM/YYYY" in a library buffer that the
 * next call overwrites; null on failure, reported through the host's diag_var. */
const char* QZ_CDECL QZ_GetLastWriteTime(const char* path);
/* ShellExecuteA with the verb (null: the default verb) on the file, shown
 * normally; above 32 on success, else the shell's error code. */
int32_t QZ_CDECL QZ_Exec(const char* verb, const char* file);

/* Input ----------------------------------------------------------------- */
/* The host's thread: the keyboard exports share one key-state buffer and use
 * the calling thread's layout and keys; the mouse exports share one device. */

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
/* The host's thread, which owns the Direct3D 9 device the ramps go to. */

/* Sets the device's gamma ramp from one gamma per channel (host numbers;
 * gamma below 0.01 counts as 0.01): entry i = (i/256)^(1/gamma) * 65536. */
void QZ_CDECL set_gamma(int32_t red, int32_t green, int32_t blue);
/* Fills three arrays of 256 host numbers with the device's ramp entries. */
void QZ_CDECL get_gamma_ramp(int32_t* red, int32_t* green, int32_t* blue);
/* Sets the device's ramp from three arrays of 256 host numbers (whole part, modulo 65536). */
void QZ_CDECL set_gamma_ramp(const int32_t* red, const int32_t* green, const int32_t* blue);

/* System information ---------------------------------------------------- */
/* The report: the host's thread. QZ_SysInfo_Hazirla rewrites the one report
 * in place and must not overlap itself or a getter. QZ_GetRamMB keeps no
 * state: any thread. */

/* Builds the hardware and system report from the DirectX diagnostic service;
 * the calling thread must already have initialised COM. */
void QZ_CDECL QZ_SysInfo_Hazirla(void);
/* Description of the first display device in the report ("" until built). */
const char* QZ_CDECL QZ_SysInfo_GetDeviceName(void);
/* The first display device's video memory, in the service's wording. */
const char* QZ_CDECL QZ_SysInfo_GetVRam(void);
/* "<OS> <major>.<minor> <service pack> <build>" from the report. */
const char* QZ_CDECL QZ_SysInfo_GetOSName(void);
/* Installed physical memory in MiB, rounded down (0 if the query fails). */
uint32_t QZ_CDECL QZ_GetRamMB(void);

/* Process and module diagnostics ---------------------------------------- */
/* Any thread: nothing is kept between calls. The texts of one dump reach the
 * host's diag in order; dumps on several threads at once interleave there. */

/* Name tables: `names` is the address of a pointer to the first record;
 * record i starts `stride` bytes after record i-1 and begins with a
 * zero-terminated executable or module name (no folder). Names compare with
 * ASCII letters folded. A count of 0 or less gives 0. */

/* 1 when a running process has one of the table's executable names, else 0. */
int32_t QZ_CDECL QZ_IsProcess(const char* const* names, int32_t count, int32_t stride);
/* 1 when any running process has loaded a module of one of the names, else 0. */
int32_t QZ_CDECL QZ_IsModule(const char* const* names, int32_t count, int32_t stride);
/* Writes "\nprocName: " and the executable name of every process to diag. */
void QZ_CDECL QZ_DiagProcess(void);
/* Writes the module list of the first process named exactly `process_name` to diag. */
void QZ_CDECL QZ_DiagModule(const char* process_name);
/* The anti-tamper scan's empty entry: does nothing. It reads no argument and
 * pops none, so a caller may push any arguments and pop them itself, as every
 * cdecl caller does. (The scan's other entry, QZ_GetListOfSuspiciousDllInfo,
 * is not exported: its arguments and results are not settled, so no script
 * could call it safely.) */
void QZ_CDECL QZ_OutsideOfWhiteListModules(void);

#ifdef __cplusplus
}
#endif

#endif /* QZUTILITIES_H */
