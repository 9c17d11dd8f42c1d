// Shared helpers of the file tests: test bytes, their zlib CRC, and the
// process's handle count.
#pragma once
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "testhost/test_support.h"

namespace qz::test::files {

inline std::uint32_t zlib_crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Deterministic, not periodic within any buffer size the tests use.
inline std::string pseudo_random_bytes(std::size_t n) {
    std::mt19937 gen(static_cast<std::uint32_t>(n));
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(gen() >> 24);
    return s;
}

// Open handles of this process, from the system's handle table (Wine's
// GetProcessHandleCount does not follow handles opened and closed).
inline DWORD handle_count() {
    struct Entry { ULONG owner_pid; BYTE type, flags; USHORT value; PVOID object; ULONG access; };
    struct Table { ULONG count; Entry entries[1]; };
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<unsigned char> buf(1 << 16);
    ULONG needed = 0;
    LONG status;  // 16: the system handle table; 0xC0000004: the buffer is too small
    while ((status = query(16, buf.data(), static_cast<ULONG>(buf.size()), &needed)) == LONG(0xC0000004))
        buf.resize(std::max<size_t>(buf.size() * 2, needed + 4096));
    if (status < 0) return 0;
    const auto* table = reinterpret_cast<const Table*>(buf.data());
    DWORD n = 0;
    for (ULONG i = 0; i < table->count; ++i) n += table->entries[i].owner_pid == GetCurrentProcessId();
    return n;
}

// Handles gained over `times` calls of `body`, after one first call (the
// system's first-use allocations are not leaks).
template <class Body>
DWORD growth_after(int times, Body body) {
    body();
    const DWORD before = handle_count();
    for (int i = 0; i < times; ++i) body();
    const DWORD after = handle_count();
    return after > before ? after - before : 0;
}

}  // namespace qz::test::files
