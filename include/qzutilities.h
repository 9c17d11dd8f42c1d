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

/* System information ---------------------------------------------------- */

/* Process and module diagnostics ---------------------------------------- */

#ifdef __cplusplus
}
#endif

#endif /* QZUTILITIES_H */
