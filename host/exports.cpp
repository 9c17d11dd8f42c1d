#include <windows.h>

#include <cstdint>

#include "host/binding.h"
#include "host/runtime_startup.h"
#include "host/shim.h"

// The loader's entry point: the library does its work in the exports; only
// the C++ runtime's first-use set-up happens here, while memory is to be had.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID);
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) qz::host::prepare_runtime();
    return TRUE;
}

QZ_API std::int32_t A6_DLLAPI(void* engine_interface) {
    return qz::guarded(qz::host::kBindResult, [&] { return qz::host::bind(engine_interface); });
}
