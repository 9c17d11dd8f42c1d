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

/* Input ----------------------------------------------------------------- */

/* Display --------------------------------------------------------------- */

/* System information ---------------------------------------------------- */

/* Process and module diagnostics ---------------------------------------- */

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

#ifdef __cplusplus
}
#endif

#endif /* QZUTILITIES_H */
