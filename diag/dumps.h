// Dumps of what runs on the machine into the host's diagnostic log: every
// process's executable name, or every module of one named process. Each
// piece of text goes out through one host diag call, in a fixed order.
#pragma once
#include <cstddef>

#include "diag/toolhelp.h"

namespace qz::diag {

namespace text {
inline constexpr char kProcName[] = "\nprocName: ";
inline constexpr char kModuleBegun[] = "\nQZ_DiagModule basladi";
inline constexpr char kNoSnapshot[] = "\ninvald handle value!!!";
inline constexpr char kModuleDone[] = "\nQZ_DiagModule bitti";
inline constexpr char kModule[] = "\nmodule: ";
inline constexpr char kPath[] = "\npath: ";
inline constexpr char kSizeFormat[] = "\nsize: %ld bytes";
inline constexpr char kCallerPath[] = "\ngetmodule file name : ";
inline constexpr char kSeparator[] = "\n------------------------------------------------------------------------------";
inline constexpr char kModulesBegin[] = "\n-----------------------------MODULES BEGIN------------------------------------";
inline constexpr char kModulesEnd[] = "\n-----------------------------MODULES END--------------------------------------";
static_assert(sizeof kSeparator == 80 && sizeof kModulesBegin == 80 && sizeof kModulesEnd == 80,
              "frame lines are a line feed and 78 characters");
}  // namespace text

// Capacities of the per-module buffers.
constexpr std::size_t kSizeTextCapacity = 200;
constexpr std::size_t kCallerPathCapacity = 260;  // UTF-16 units, and bytes once narrowed

// Two texts per process of a fresh snapshot: kProcName, then its name.
void dump_processes(const ToolhelpApi& api);

// The module list of the first process, in snapshot order, whose executable
// name equals `process_name` exactly (case counts), framed by the opening
// and closing texts. A null name matches no process.
void dump_modules(const char* process_name, const ToolhelpApi& api);

// The framed module list of one process (also when it cannot be listed).
void dump_module_list(DWORD process_id, const ToolhelpApi& api);

// The seven texts of one module.
void dump_module_entry(ModuleRecord record);

// The path under which the calling process knows `module`, as narrow text in
// the runtime's current locale; empty when the caller has no module there or
// the path does not convert within the buffer.
void caller_module_path(HMODULE module, char (&out)[kCallerPathCapacity]);

}  // namespace qz::diag
