#include <windows.h>

#include <cstdint>

#include "host/binding.h"
#include "host/shim.h"

// The loader's entry point: the library does all its work in the exports.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

QZ_API std::int32_t A6_DLLAPI(void* engine_interface) {
    qz::prepare_unwinding();
    return qz::guarded(qz::host::kBindResult, [&] { return qz::host::bind(engine_interface); });
}
