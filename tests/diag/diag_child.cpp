// A process for the diagnostics tests to find: it loads the DLLs named on its
// command line (each a module no other process has) and then idles until the
// test ends it, or gives up after two minutes so that it cannot linger.
#include <windows.h>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!LoadLibraryA(argv[i])) return 2;
    }
    Sleep(120000);
    return 0;
}
