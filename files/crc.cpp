#include "files/crc.h"

#include <libdeflate.h>

#include <algorithm>
#include <memory>
#include <new>

#include "files/handle.h"

namespace qz::files {

HANDLE open_shared_for_reading(const char* path) noexcept {
    if (!path) return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool crc_of_open_file(HANDLE file, std::uint64_t limit, unsigned char* buffer, std::size_t buffer_size,
                      std::uint32_t& crc) noexcept {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    // ReadFile takes a 32-bit count; keep each read well inside it.
    const std::size_t chunk = std::min<std::size_t>(buffer_size, std::size_t{1} << 30);
    std::uint32_t running = 0;
    std::uint64_t left = limit;
    while (left > 0) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, chunk));
        DWORD got = 0;
        if (!ReadFile(file, buffer, want, &got, nullptr)) return false;
        if (got == 0) break;  // the file ended early: it shrank since it was measured
        running = libdeflate_crc32(running, buffer, got);
        left -= got;
    }
    crc = running;
    return true;
}

std::uint32_t file_crc(const char* path) {
    FileHandle file(open_shared_for_reading(path));
    if (!file) return 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) return 0;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kCrcChunk]);
    if (!buffer) return 0;
    std::uint32_t crc = 0;
    if (!crc_of_open_file(file.get(), static_cast<std::uint64_t>(size.QuadPart), buffer.get(), kCrcChunk, crc))
        return 0;
    return crc;
}

std::int32_t file_size_low32(const char* path) noexcept {
    FileHandle file(open_shared_for_reading(path));
    if (!file) return 0;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return 0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(size.QuadPart & 0xFFFFFFFFu));
}

}  // namespace qz::files
