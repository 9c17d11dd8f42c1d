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

/* Display --------------------------------------------------------------- */

/* Sets the device's gamma ramp from one gamma per channel (host numbers;
 * gamma below 0.01 counts as 0.01): entry i = (i/256)^(1/gamma) * 65536. */
void QZ_CDECL set_gamma(int32_t red, int32_t green, int32_t blue);
/* Fills three arrays of 256 host numbers with the device's ramp entries. */
void QZ_CDECL get_gamma_ramp(int32_t* red, int32_t* green, int32_t* blue);
/* Sets the device's ramp from three arrays of 256 host numbers (whole part, modulo 65536). */
void QZ_CDECL set_gamma_ramp(const int32_t* red, const int32_t* green, const int32_t* blue);

/* System information ---------------------------------------------------- */

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

#ifdef __cplusplus
}
#endif

#endif /* QZUTILITIES_H */
