// A file handle owned for the length of one call: closed on every path.
#pragma once
#include <windows.h>

namespace qz::files {

class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE h) noexcept : h_(h) {}
    ~FileHandle() { reset(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = other.h_;
            other.h_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }

    explicit operator bool() const noexcept { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const noexcept { return h_; }
    void reset() noexcept {
        if (*this) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

}  // namespace qz::files
