// Shared helpers of the file tests: files with given bytes, their zlib CRC,
// and the process's handle count.
#pragma once
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "testhost/test_support.h"

namespace qz::test::files {

inline std::uint32_t zlib_crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Deterministic, not periodic within any buffer size the tests use.
inline std::string pseudo_random_bytes(std::size_t n, std::uint32_t seed = 12345) {
    std::string s(n, '\0');
    std::uint32_t x = seed;
    for (auto& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

// Open handles of this process, from the system's handle table (Wine's
// GetProcessHandleCount does not follow handles opened and closed).
inline DWORD handle_count() {
    struct Entry {
        ULONG owner_pid;
        BYTE object_type;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(16 /* system handles */, buf.data(), static_cast<ULONG>(buf.size()), &needed);
        if (status == static_cast<LONG>(0xC0000004)) {  // too small
            buf.resize(std::max<size_t>(buf.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return 0;
        const auto* table = reinterpret_cast<const Table*>(buf.data());
        DWORD n = 0;
        const DWORD pid = GetCurrentProcessId();
        for (ULONG i = 0; i < table->count; ++i) n += table->entries[i].owner_pid == pid;
        return n;
    }
}

// Sets all three times of a file to one UTC FILETIME.
inline bool set_write_time(const std::string& path, std::uint64_t filetime) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME ft{static_cast<DWORD>(filetime), static_cast<DWORD>(filetime >> 32)};
    const BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok != FALSE;
}

inline std::uint64_t utc_filetime(WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

}  // namespace qz::test::files
