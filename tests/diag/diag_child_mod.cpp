// A DLL with no work to do: the tests copy it under a fresh name and have
// only their child process load it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
