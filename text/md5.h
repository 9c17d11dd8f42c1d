// MD5 message digest (RFC 1321) and its lowercase hexadecimal text.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace qz::text {

class Md5 {
public:
    Md5() noexcept;
    void update(const void* data, std::size_t size) noexcept;
    std::array<std::uint8_t, 16> finish() noexcept;  // the object is spent afterwards

private:
    void block(const std::uint8_t* p) noexcept;
    std::uint32_t state_[4];
    std::uint64_t bytes_ = 0;
    std::uint8_t buffer_[64];
};

// 32 lowercase hex digits and a zero byte.
void md5_hex(const void* data, std::size_t size, char out[33]) noexcept;

// Replaces the zero-terminated text in `buf` (at least 33 bytes) with the hex
// digest of its bytes; bytes after the 33rd stay. Returns 1, or 0 for null.
int digest_in_place(char* buf) noexcept;

}  // namespace qz::text
