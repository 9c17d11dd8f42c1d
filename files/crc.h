// CRC-32 (reflected, polynomial 0xEDB88320, as zlib and PNG use it; summed by
// libdeflate, with carry-less multiplication where the processor has it) and size
// of a whole file, read by a narrow path in the process code page. Every
// failure comes back as 0, the same value an empty file gives.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace qz::files {

// The file is summed through one buffer of this size, whatever its length:
// small enough that what a read leaves in it is still in the processor's
// cache when it is summed, large enough that the reads cost little (of
// 64 KiB to 1 MiB, 256 KiB read and summed fastest; files_bench prints
// the figures).
constexpr std::size_t kCrcChunk = std::size_t{256} << 10;

// Opens a file for reading without denying other readers or writers (as
// the runtime's deny-none share mode does). Invalid handle on failure,
// including a null path and a directory.
HANDLE open_shared_for_reading(const char* path) noexcept;

// CRC-32 of the first `limit` bytes of an open file, read from its start
// through `buffer`. A file that is shorter by now (it shrank) is summed up
// to its end; bytes added after `limit` are not read, so a file that keeps
// growing cannot keep the call going. False when a read fails.
bool crc_of_open_file(HANDLE file, std::uint64_t limit, unsigned char* buffer, std::size_t buffer_size,
                      std::uint32_t& crc) noexcept;

// The CRC-32 of the file's contents as measured at opening; 0 on failure.
std::uint32_t file_crc(const char* path);
// The low 32 bits of the file's size; 0 on failure.
std::int32_t file_size_low32(const char* path) noexcept;

}  // namespace qz::files
