// The toolchain's import libraries lack the diagnostic service's GUIDs: they
// are defined here once (as mergeable constants) from the SDK header.
#include <windows.h>
#include <initguid.h>
#include <dxdiag.h>
