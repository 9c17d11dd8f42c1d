#include "testhost/fault/imports.h"

#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>
#include <io.h>
#include <objbase.h>
#include <process.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "testhost/fake_dinput.h"

// The narrow Toolhelp entries under their own names, as the library imports them.
#undef Process32First
#undef Process32Next
#undef Module32First
#undef Module32Next

namespace qz::test::fault {
namespace {

constexpr const char* kKernel = "kernel32.dll";
constexpr const char* kCrt = "msvcrt.dll";

SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<std::string> g_lookups;
IDxDiagProvider* g_service = nullptr;

Row* find_row(const std::string& dll, const std::string& name) {
    for (Row* row : hook_rows())
        if (dll == row->dll && name == row->name) return row;
    return nullptr;
}

template <class F>
F* real_of(const char* dll, const char* name) {
    return reinterpret_cast<F*>(find_row(dll, name)->real);
}

// For a hand-written hook, called from the library at `caller`: counts the
// call of its row and, when the plan fails it, leaves the row's last-error
// code and errno and returns true with the row's result in `result`.
template <class R>
bool failed(const char* dll, const char* name, const void* caller, R& result) {
    const Row& row = *find_row(dll, name);
    if (!row.failure.fails || !take(row.name, caller)) return false;
    leave_error(row.failure);
    result = detail::as<R>(row.failure.result);
    return true;
}

// The module's NT headers, where its DOS header says.
const IMAGE_NT_HEADERS& nt_headers(HMODULE module) {
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    return *reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string module_name(HMODULE module) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "?";
    const std::string full(path, n);
    return lower(full.substr(full.find_last_of("\\/") + 1));
}

// What the library looks up at run time goes through the same hooks as its
// imports: for a hooked name the hook comes back, calling what was found.
FARPROC WINAPI get_proc_address(HMODULE module, LPCSTR name) {
    if (FARPROC failure; failed(kKernel, "GetProcAddress", __builtin_return_address(0), failure)) return failure;
    const FARPROC found = real_of<decltype(::GetProcAddress)>(kKernel, "GetProcAddress")(module, name);
    if (IS_INTRESOURCE(name)) return found;
    const std::string dll = module_name(module);
    {
        const ExclusiveLock lock(g_lock);
        g_lookups.push_back(dll + "!" + name);
    }
    Row* row = found ? find_row(dll, name) : nullptr;
    if (!row) return found;
    if (!row->real) row->real = reinterpret_cast<void*>(found);
    return reinterpret_cast<FARPROC>(row->hook);
}

// The diagnostic service is the stand-in the run chose; other classes are the system's.
HRESULT WINAPI co_create_instance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
    if (HRESULT failure; failed("ole32.dll", "CoCreateInstance", __builtin_return_address(0), failure)) {
        *out = nullptr;
        return failure;
    }
    if (g_service && IsEqualCLSID(clsid, CLSID_DxDiagProvider) && IsEqualIID(iid, IID_IDxDiagProvider)) {
        g_service->AddRef();
        *out = g_service;
        return S_OK;
    }
    return real_of<decltype(::CoCreateInstance)>("ole32.dll", "CoCreateInstance")(clsid, outer, context, iid, out);
}

HRESULT WINAPI direct_input_create(HINSTANCE, DWORD, REFIID iid, LPVOID* out, LPUNKNOWN) {
    *out = nullptr;
    if (HRESULT failure; failed("dinput8.dll", "DirectInput8Create", __builtin_return_address(0), failure)) return failure;
    if (!IsEqualIID(iid, IID_IDirectInput8A)) return DIERR_NOINTERFACE;
    *out = static_cast<IDirectInput8A*>(new_fake_direct_input());
    return DI_OK;
}

// Imports that are not failed, by why. A new import that is in neither this
// list nor the table fails the sweep until someone decides which it is.
struct NeverGroup {
    const char* dll;
    const char* why;
    const char* names;
};
const NeverGroup kNever[] = {
    {kKernel, "cannot fail",
     "GetLastError SetLastError GetCurrentProcess GetCurrentProcessId GetCurrentThread GetCurrentThreadId "
     "GetProcessHeap GetSystemInfo GetSystemTimeAsFileTime GetTickCount GetTickCount64 QueryPerformanceCounter "
     "QueryPerformanceFrequency GetSystemTimePreciseAsFileTime IsDebuggerPresent AreFileApisANSI IsDBCSLeadByteEx OutputDebugStringA Sleep "
     "GetModuleHandleA GetModuleHandleW GetCurrentDirectoryW GetWindowsDirectoryW"},
    {kKernel, "locks and waits on objects the runtime holds",
     "InitializeCriticalSection EnterCriticalSection LeaveCriticalSection TryEnterCriticalSection "
     "DeleteCriticalSection InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive "
     "ReleaseSRWLockShared SleepConditionVariableSRW WakeAllConditionVariable WaitForSingleObject "
     "WaitForSingleObjectEx WaitForMultipleObjects WaitForMultipleObjectsEx SetEvent ResetEvent ReleaseSemaphore "
     "SetWaitableTimer TlsGetValue TlsFree GetHandleInformation"},
    {kKernel, "gives back", "LocalFree FreeLibrary"},
    {kKernel, "ends the process on a smashed stack canary", "IsProcessorFeaturePresent TerminateProcess"},
    {kKernel, "the unwinder and the runtime's start-up",
     "RaiseException RtlCaptureContext RtlLookupFunctionEntry RtlUnwindEx RtlVirtualUnwind __C_specific_handler "
     "AddVectoredExceptionHandler RemoveVectoredExceptionHandler VirtualProtect VirtualQuery"},
    {kKernel, "converts valid text or times", "MultiByteToWideChar WideCharToMultiByte FileTimeToSystemTime"},
    {kCrt, "the runtime's data and start-up",
     "__mb_cur_max ___mb_cur_max_func ___lc_codepage_func _iob __iob_func __setusermatherr _amsg_exit _initterm "
     "_lock _unlock _errno exit abort _setjmp _setjmp3 longjmp signal _endthreadex"},
    {kCrt, "works on the caller's memory",
     "memchr memcmp memcpy memmove memset strchr strcmp strcoll strlen strncmp strncpy strstr strxfrm wcscoll "
     "wcslen wcsxfrm _wcsicmp _mbscpy_s iswctype iswdigit islower isspace isupper towlower towupper atoi strtol "
     "strtoul _strtoui64 _wtoi64 _ultoa wcstombs localeconv strerror setlocale"},
    {kCrt, "formats into the caller's buffer",
     "_vscwprintf _vsnprintf vswprintf_s strftime wcsftime _vscwprintf_p _vswprintf_p _vscwprintf_p_l "
     "_vswprintf_p_l"},
    {kCrt, "reads the clock or a valid time", "time _time64 gmtime _gmtime64 localtime _localtime64"},
    {kCrt, "the standard streams and open descriptors (the library writes its files through _write)",
     "printf fprintf vfprintf fputc fputs putc putwc getc getwc ungetc ungetwc fread fgetpos fsetpos setvbuf "
     "_fileno _get_osfhandle _fstati64 _fstat64 _filelengthi64 _lseeki64 _close _read"},
    {"oleaut32.dll", "clears or sets up a variant", "VariantClear VariantInit"},
    {"shlwapi.dll", "a search in the caller's text", "StrStrIW"},
};

}  // namespace

void keep_books(const Books& books, std::intptr_t result, const std::intptr_t* args) {
    const auto holds = [&](std::intptr_t v) { return v != 0 && !(books.kind == Kind::handle && v == -1); };
    switch (books.what) {
    case Books::none: return;
    case Books::opens:
        if (holds(result)) opened(books.kind, result);
        return;
    case Books::closes:
        closed(books.kind, args[books.arg]);
        return;
    case Books::resizes:  // realloc(block, size): the old block goes unless the call failed
        if (args[0] != 0 && (result != 0 || args[1] == 0)) closed(Kind::block, args[0]);
        if (result != 0) opened(Kind::block, result);
        return;
    case Books::opens_out:
        if (result != 0) opened(books.kind, reinterpret_cast<std::intptr_t>(*reinterpret_cast<HANDLE*>(args[books.arg])));
        return;
    }
}

const std::vector<Row*>& hook_rows() {
    const DWORD memory = ERROR_NOT_ENOUGH_MEMORY, denied = ERROR_ACCESS_DENIED, sharing = ERROR_SHARING_VIOLATION;
    const auto invalid = INVALID_HANDLE_VALUE;
    static const std::vector<Row*> rows = {
        // Memory. HeapAlloc leaves the last error alone; the C runtime sets errno.
        QZ_HOOK(kCrt, malloc, fails(0, 0, ENOMEM).opens(Kind::block)),
        QZ_HOOK(kCrt, calloc, fails(0, 0, ENOMEM).opens(Kind::block)),
        QZ_HOOK(kCrt, realloc, fails(0, 0, ENOMEM).resizes()),
        QZ_HOOK(kCrt, _strdup, fails(0, 0, ENOMEM).opens(Kind::block)),
        QZ_HOOK(kCrt, free, counts().closes(Kind::block)),
        QZ_HOOK(kKernel, HeapAlloc, fails(0).opens(Kind::block)),
        QZ_HOOK(kKernel, HeapFree, counts().closes(Kind::block, 2)),
        // Kernel objects and threads.
        QZ_HOOK(kKernel, CloseHandle, counts().closes(Kind::handle)),
        QZ_HOOK(kKernel, CreateEventA, fails(0, memory).opens(Kind::handle)),
        QZ_HOOK(kKernel, OpenEventA, fails(0, ERROR_FILE_NOT_FOUND).opens(Kind::handle)),
        QZ_HOOK(kKernel, CreateSemaphoreA, fails(0, memory).opens(Kind::handle)),
        QZ_HOOK(kKernel, CreateWaitableTimerA, fails(0, memory).opens(Kind::handle)),
        QZ_HOOK(kKernel, DuplicateHandle, fails(FALSE, memory).opens_out(Kind::handle, 3)),
        QZ_HOOK(kKernel, OpenProcess, fails(0, denied).opens(Kind::handle)),
        QZ_HOOK(kCrt, _beginthreadex, fails(0, 0, EAGAIN).opens(Kind::handle)),
        QZ_HOOK(kKernel, TlsAlloc, fails(TLS_OUT_OF_INDEXES, ERROR_NO_MORE_ITEMS)),
        QZ_HOOK(kKernel, TlsSetValue, fails(FALSE, memory)),
        QZ_HOOK(kKernel, GetThreadContext, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SetThreadContext, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SuspendThread, fails(-1, denied)),
        QZ_HOOK(kKernel, ResumeThread, fails(-1, denied)),
        QZ_HOOK(kKernel, GetThreadPriority, fails(THREAD_PRIORITY_ERROR_RETURN, denied)),
        QZ_HOOK(kKernel, SetThreadPriority, fails(FALSE, denied)),
        QZ_HOOK(kKernel, GetProcessAffinityMask, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SetProcessAffinityMask, fails(FALSE, denied)),
        QZ_HOOK(kKernel, GetLogicalProcessorInformation, fails(FALSE, memory)),
        // Modules and run-time look-ups.
        QZ_SPECIAL(kKernel, GetProcAddress, &get_proc_address, fails(0, ERROR_PROC_NOT_FOUND)),
        QZ_HOOK(kKernel, LoadLibraryA, fails(0, ERROR_MOD_NOT_FOUND)),
        QZ_HOOK(kKernel, LoadLibraryW, fails(0, ERROR_MOD_NOT_FOUND)),
        QZ_HOOK(kKernel, GetModuleFileNameW, fails(0, ERROR_MOD_NOT_FOUND)),
        QZ_HOOK(kKernel, FormatMessageA, fails(0, ERROR_MR_MID_NOT_FOUND)),
        QZ_HOOK(kKernel, FormatMessageW, fails(0, ERROR_MR_MID_NOT_FOUND)),
        QZ_HOOK(kKernel, GetEnvironmentVariableW, fails(0, ERROR_ENVVAR_NOT_FOUND)),
        QZ_HOOK(kCrt, getenv, fails(0)),
        // Files: another process holds the file, a network share went away, the disk is full.
        QZ_HOOK(kKernel, CreateFileA, fails(invalid, sharing).opens(Kind::handle)),
        QZ_HOOK(kKernel, CreateFileW, fails(invalid, denied).opens(Kind::handle)),
        QZ_HOOK(kKernel, ReadFile, fails(FALSE, ERROR_LOCK_VIOLATION)),
        QZ_HOOK(kKernel, GetFileSizeEx, fails(FALSE, ERROR_NETNAME_DELETED)),
        QZ_HOOK(kKernel, GetFileTime, fails(FALSE, ERROR_NETNAME_DELETED)),
        QZ_HOOK(kKernel, SetFilePointerEx, fails(FALSE, ERROR_NETNAME_DELETED)),
        QZ_HOOK(kKernel, GetFileInformationByHandle, fails(FALSE, ERROR_NETNAME_DELETED)),
        QZ_HOOK(kKernel, GetFileAttributesW, fails(INVALID_FILE_ATTRIBUTES, denied)),
        QZ_HOOK(kKernel, GetFileAttributesExW, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SetFileAttributesW, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SetFileTime, fails(FALSE, denied)),
        QZ_HOOK(kKernel, SetEndOfFile, fails(FALSE, ERROR_DISK_FULL)),
        QZ_HOOK(kKernel, FlushFileBuffers, fails(FALSE, ERROR_DISK_FULL)),
        QZ_HOOK(kKernel, DeviceIoControl, fails(FALSE, ERROR_NOT_SUPPORTED)),
        QZ_HOOK(kKernel, GetFullPathNameW, fails(0, ERROR_FILENAME_EXCED_RANGE)),
        QZ_HOOK(kKernel, GetDiskFreeSpaceExW, fails(FALSE, ERROR_NOT_READY)),
        QZ_HOOK(kKernel, CreateDirectoryW, fails(FALSE, denied)),
        QZ_HOOK(kKernel, CreateDirectoryExW, fails(FALSE, denied)),
        QZ_HOOK(kKernel, RemoveDirectoryW, fails(FALSE, ERROR_DIR_NOT_EMPTY)),
        QZ_HOOK(kKernel, SetCurrentDirectoryW, fails(FALSE, denied)),
        QZ_HOOK(kKernel, DeleteFileW, fails(FALSE, sharing)),
        QZ_HOOK(kKernel, MoveFileExW, fails(FALSE, sharing)),
        QZ_HOOK(kKernel, CopyFileExW, fails(FALSE, sharing)),
        QZ_HOOK(kCrt, fopen, fails(0, 0, EACCES).opens(Kind::stream)),
        QZ_HOOK(kCrt, _wfopen, fails(0, 0, EACCES).opens(Kind::stream)),
        QZ_HOOK(kCrt, _fdopen, fails(0, 0, ENOMEM).opens(Kind::stream)),
        QZ_HOOK(kCrt, fclose, counts().closes(Kind::stream)),
        QZ_HOOK(kCrt, _write, fails(-1, 0, ENOSPC)),
        QZ_HOOK(kCrt, fwrite, fails(0, 0, ENOSPC)),
        QZ_HOOK(kCrt, fflush, fails(EOF, 0, ENOSPC)),
        // Time zone, memory status.
        QZ_HOOK(kKernel, GetTimeZoneInformation, fails(TIME_ZONE_ID_INVALID, memory)),
        QZ_HOOK(kKernel, SystemTimeToTzSpecificLocalTime, fails(FALSE, memory)),
        QZ_HOOK(kKernel, GlobalMemoryStatusEx, fails(FALSE, memory)),
        // Processes and modules.
        // The module snapshot is refused while the process loads or unloads
        // modules (ERROR_BAD_LENGTH, which callers retry).
        QZ_HOOK(kKernel, CreateToolhelp32Snapshot, fails(invalid, ERROR_BAD_LENGTH).opens(Kind::handle)),
        QZ_HOOK(kKernel, Process32First, fails(FALSE, ERROR_NO_MORE_FILES)),
        QZ_HOOK(kKernel, Process32Next, fails(FALSE, ERROR_NO_MORE_FILES)),
        QZ_HOOK(kKernel, Module32First, fails(FALSE, ERROR_NO_MORE_FILES)),
        QZ_HOOK(kKernel, Module32Next, fails(FALSE, ERROR_NO_MORE_FILES)),
        // National language support (FindNLSString is looked up at run time).
        QZ_HOOK(kKernel, CompareStringW, fails(0, ERROR_INVALID_PARAMETER)),
        QZ_HOOK(kKernel, FindNLSString, fails(-1, ERROR_INVALID_PARAMETER)),
        // The keyboard, the shell, COM and DirectInput.
        QZ_HOOK("user32.dll", GetKeyboardState, fails(FALSE, denied)),
        QZ_HOOK("user32.dll", ToUnicode, fails(0)),
        QZ_HOOK("user32.dll", GetKeyNameTextW, fails(0, ERROR_INVALID_PARAMETER)),
        QZ_HOOK("shell32.dll", ShellExecuteA, fails(SE_ERR_OOM, memory)),
        QZ_SPECIAL("ole32.dll", CoCreateInstance, &co_create_instance, fails(E_OUTOFMEMORY)),
        QZ_SPECIAL("dinput8.dll", DirectInput8Create, &direct_input_create, fails(DIERR_OUTOFMEMORY)),
    };
    return rows;
}

std::vector<Import> imports_of(HMODULE module) {
    std::vector<Import> list;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto& dirs = nt_headers(module).OptionalHeader.DataDirectory;
    const auto add = [&](const char* dll, DWORD names_rva, bool delayed) {
        for (auto* t = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + names_rva); t->u1.AddressOfData; ++t) {
            std::string name = IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)
                                   ? "#" + std::to_string(IMAGE_ORDINAL(t->u1.Ordinal))
                                   : reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData)->Name;
            list.push_back({lower(dll), std::move(name), delayed});
        }
    };
    if (dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].Size)
        for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dirs[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
             d->Name; ++d)
            add(reinterpret_cast<const char*>(base + d->Name), d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk,
                false);
    if (dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].Size)
        for (auto* d = reinterpret_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(
                 base + dirs[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT].VirtualAddress);
             d->DllNameRVA; ++d)
            add(reinterpret_cast<const char*>(base + d->DllNameRVA), d->ImportNameTableRVA, true);
    return list;
}

std::string classify(const std::string& dll, const std::string& name) {
    if (find_row(dll, name)) return "hooked";
    for (const NeverGroup& g : kNever) {
        if (dll != g.dll) continue;
        std::istringstream names(g.names);
        for (std::string n; names >> n;)
            if (n == name) return std::string("never: ") + g.why;
    }
    return {};
}

int install(HMODULE module) {
    const auto* base = reinterpret_cast<unsigned char*>(module);
    const auto& dir = nt_headers(module).OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    int patched = 0;
    if (!dir.Size) return 0;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
        const std::string dll = lower(reinterpret_cast<const char*>(base + d->Name));
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<unsigned char*>(base) + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            Row* row = find_row(dll, reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            if (!row) continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) continue;
            if (!row->real) row->real = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<decltype(slots->u1.Function)>(row->hook);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            ++patched;
        }
    }
    return patched;
}

namespace {

// An export pointed elsewhere: its slot in the export table and what it held.
struct ExportSlot {
    DWORD* slot;
    DWORD rva;
};
std::vector<ExportSlot> g_exports;

// A page of jumps to the hooks above `module`: an export is an offset from
// its module's base, which on x86_64 reaches only 4 GiB up (on i686 the sum
// wraps, so anything reaches; the same search serves). Kept for good, as the
// library's imports may jump through it until the process ends.
unsigned char* jump_page(HMODULE module) {
    auto at = (reinterpret_cast<std::uintptr_t>(module) + nt_headers(module).OptionalHeader.SizeOfImage + 0xFFFF) &
              ~std::uintptr_t{0xFFFF};
    for (int tries = 0; tries < 4096; ++tries, at += 0x10000)
        if (void* page = VirtualAlloc(reinterpret_cast<void*>(at), 0x1000, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE))
            return static_cast<unsigned char*>(page);
    return nullptr;
}

// Writes a jump to `to` at `at`; returns its length.
std::size_t write_jump(unsigned char* at, const void* to) {
#if defined(__x86_64__)
    const unsigned char code[6] = {0xFF, 0x25, 0, 0, 0, 0};  // jmp [rip+0], the address follows
    std::memcpy(at, code, sizeof code);
    std::memcpy(at + sizeof code, &to, sizeof to);
    return sizeof code + sizeof to;
#else
    at[0] = 0xE9;  // jmp rel32
    const auto rel = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(to) - reinterpret_cast<std::intptr_t>(at + 5));
    std::memcpy(at + 1, &rel, sizeof rel);
    return 5;
#endif
}

}  // namespace

int hook_exports(const std::vector<Import>& imports) {
    struct Page {
        unsigned char* next = nullptr;
        unsigned char* end = nullptr;
    };
    static std::vector<std::pair<HMODULE, Page>> pages;
    // All loaded first: a DLL loaded once an export is pointed would be bound to the hook too.
    for (const Import& i : imports) LoadLibraryA(i.dll.c_str());
    int pointed = 0;
    for (const Import& i : imports) {
        Row* row = i.delayed ? nullptr : find_row(i.dll, i.name);
        const HMODULE module = GetModuleHandleA(i.dll.c_str());
        if (!row || !module) continue;
        if (!row->real) row->real = reinterpret_cast<void*>(GetProcAddress(module, i.name.c_str()));
        if (!row->real) continue;
        const auto* base = reinterpret_cast<unsigned char*>(module);
        const auto& dir = nt_headers(module).OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (!dir.Size) continue;
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        const auto* ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
        auto* functions = reinterpret_cast<DWORD*>(const_cast<unsigned char*>(base) + exports->AddressOfFunctions);
        DWORD n = 0;
        while (n < exports->NumberOfNames && i.name != reinterpret_cast<const char*>(base + names[n])) ++n;
        if (n == exports->NumberOfNames) continue;
        auto page = std::find_if(pages.begin(), pages.end(), [&](const auto& p) { return p.first == module; });
        if (page == pages.end()) {
            unsigned char* p = jump_page(module);
            if (!p) continue;
            pages.push_back({module, {p, p + 0x1000}});
            page = pages.end() - 1;
        }
        if (page->second.end - page->second.next < 16) continue;
        unsigned char* const jump = page->second.next;
        page->second.next += (write_jump(jump, row->hook) + 15) & ~std::size_t{15};
        DWORD* const slot = &functions[ordinals[n]];
        DWORD protection = 0;
        if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection)) continue;
        g_exports.push_back({slot, *slot});
        *slot = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(jump) - reinterpret_cast<std::uintptr_t>(base));
        VirtualProtect(slot, sizeof *slot, protection, &protection);
        ++pointed;
    }
    FlushInstructionCache(GetCurrentProcess(), nullptr, 0);
    return pointed;
}

void unhook_exports() {
    for (const ExportSlot& e : g_exports) {
        DWORD protection = 0;
        if (!VirtualProtect(e.slot, sizeof *e.slot, PAGE_READWRITE, &protection)) continue;
        *e.slot = e.rva;
        VirtualProtect(e.slot, sizeof *e.slot, protection, &protection);
    }
    g_exports.clear();
}

void set_diagnostic_service(IDxDiagProvider* provider) { g_service = provider; }

std::vector<std::string> lookups() {
    const ExclusiveLock lock(g_lock);
    return g_lookups;
}

}  // namespace qz::test::fault
