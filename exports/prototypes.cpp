// Every row of the export table against the public header, when the DLL
// compiles: a row whose name the header does not declare stops the build at
// its decltype, where the compiler names the undeclared name, and one whose
// prototype is not a cdecl function at the static_assert that names it. The
// shims include the same header (host/shim.h), so a definition of another
// type than its prototype does not compile, and the .def the table writes
// makes the link fail for a row that nothing defines.
#include <type_traits>

#include "include/qzutilities.h"

namespace {

// The pointer type a cdecl function of type F has; void for anything else (a
// variable, or a function of another calling convention where the target has
// several).
template <class F>
struct CdeclPointer {
    using type = void;
};
template <class R, class... Args>
struct CdeclPointer<R(Args...)> {
    using type = R(QZ_CDECL*)(Args...);
};
template <class R, class... Args>
struct CdeclPointer<R(Args..., ...)> {
    using type = R(QZ_CDECL*)(Args..., ...);
};

#define QZ_SUBSYSTEM(id, heading)
#define QZ_EXPORT(name, subsystem, thread, note)                                                   \
    static_assert(std::is_same_v<decltype(&::name), CdeclPointer<decltype(::name)>::type>,          \
                  "export " #name ": its prototype in include/qzutilities.h is not a cdecl function");
#include "exports/exports.inc"
#undef QZ_EXPORT
#undef QZ_SUBSYSTEM

}  // namespace
