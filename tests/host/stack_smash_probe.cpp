// A program built with the shipped binaries' flags that overruns an array on
// its own stack, for stack_guard_test.cpp:
//   stack_smash_probe FILE overrun N   copies N bytes into a 16-byte array in
//                                      a function that then returns
//   stack_smash_probe FILE raise       raises an ordinary exception
// It appends to FILE what happens: "returned" when the function came back,
// and "handler ran: ..." whenever an exception reaches one of its handlers
// (a vectored handler and the unhandled-exception filter, both installed
// first), saying when it stands at the fast-fail interrupt. A smashed canary
// must end the process with 0xC0000409 before either, and before the
// overwritten return address is used.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* g_file = nullptr;

void note(const char* text) {
    HANDLE f = CreateFileA(g_file, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
    WriteFile(f, "\n", 1, &written, nullptr);
    CloseHandle(f);
}

// Whether the exception stands at the fast-fail interrupt (int 0x29) that a
// failed canary check ends in: a system that does not implement it (32-bit
// Wine 8) raises an ordinary exception there instead of ending the process.
bool at_fast_fail(const void* address) {
    const auto* code = static_cast<const unsigned char*>(address);
    MEMORY_BASIC_INFORMATION m{};
    if (VirtualQuery(code - 2, &m, sizeof m) == 0 || m.State != MEM_COMMIT) return false;
    return (code[0] == 0xCD && code[1] == 0x29) || (code[-2] == 0xCD && code[-1] == 0x29);
}

void note_exception(const char* who, const EXCEPTION_POINTERS* e) {
    char line[128];
    std::snprintf(line, sizeof line, "handler ran: %s, code %08lx%s", who, e->ExceptionRecord->ExceptionCode,
                  at_fast_fail(e->ExceptionRecord->ExceptionAddress) ? ", at the fast-fail interrupt" : "");
    note(line);
}

LONG CALLBACK vectored(EXCEPTION_POINTERS* e) {
    note_exception("vectored", e);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI unhandled(EXCEPTION_POINTERS* e) {
    note_exception("unhandled filter", e);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The array and the copy stay in this frame: the canary sits between the
// array and the saved frame pointer and return address.
__attribute__((noinline)) int copy_into_frame(const char* source, size_t n) {
    char frame[16];
    std::memcpy(frame, source, n);
    return frame[0] + frame[n / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    g_file = argv[1];
    AddVectoredExceptionHandler(1, vectored);
    SetUnhandledExceptionFilter(unhandled);
    if (std::strcmp(argv[2], "raise") == 0) {
        RaiseException(0xE0000051, 0, 0, nullptr);
        note("returned");
        return 0;
    }
    if (std::strcmp(argv[2], "overrun") != 0 || argc < 4) return 2;
    const size_t n = std::strtoul(argv[3], nullptr, 10);
    char* source = static_cast<char*>(std::malloc(n + 1));
    if (source == nullptr) return 2;
    std::memset(source, 'A', n);
    const int sum = copy_into_frame(source, n);
    note("returned");
    std::free(source);
    return sum == 2 * 'A' ? 0 : 1;
}
