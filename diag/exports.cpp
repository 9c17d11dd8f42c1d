#include <cstdint>

#include "diag/dumps.h"
#include "diag/queries.h"
#include "host/shim.h"

using qz::diag::system_toolhelp;

QZ_API std::int32_t QZ_IsProcess(const char* const* names, std::int32_t count, std::int32_t stride) {
    return qz::guarded(std::int32_t{0}, [&] {
        return std::int32_t{qz::diag::is_process(qz::diag::read_table(names, count, stride), system_toolhelp())};
    });
}

QZ_API std::int32_t QZ_IsModule(const char* const* names, std::int32_t count, std::int32_t stride) {
    return qz::guarded(std::int32_t{0}, [&] {
        return std::int32_t{qz::diag::is_module(qz::diag::read_table(names, count, stride), system_toolhelp())};
    });
}

QZ_API void QZ_DiagProcess() {
    qz::guarded([] { qz::diag::dump_processes(system_toolhelp()); });
}

QZ_API void QZ_DiagModule(const char* process_name) {
    qz::guarded([&] { qz::diag::dump_modules(process_name, system_toolhelp()); });
}

// The anti-tamper scan's empty entry. It reads no argument and pops none: a
// script may bind it with any arguments, which its own call pops (cdecl).
QZ_API void QZ_OutsideOfWhiteListModules() {}
