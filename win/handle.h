// The library's one owner of kernel handles. A traits type says which values
// hold no object and how a held one is closed; each kind of handle is a
// one-line type over it (files::FileHandle, diag::Snapshot). The owner closes
// on reset, reassignment and destruction (unless release() handed the handle
// on), so no path leaks a handle, and a close never changes the thread's
// last-error code: a caller may read GetLastError() after its owners have
// gone out of scope.
//
// This is the only file of the library that calls CloseHandle.
#pragma once
#include <windows.h>

#include <utility>

namespace qz::win {

// CloseHandle itself, for seams that hand a close entry around (the system
// Toolhelp table): it sets the last-error code like the system call does.
inline BOOL WINAPI close_kernel_handle(HANDLE handle) noexcept { return ::CloseHandle(handle); }

// Handles the kernel closes with CloseHandle. Null and INVALID_HANDLE_VALUE
// both mean "no object": the system functions return one or the other.
struct KernelHandleTraits {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool holds_object(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    void close(HANDLE h) const noexcept { close_kernel_handle(h); }
};

template <class Traits>
class UniqueHandle : private Traits {
public:
    UniqueHandle() noexcept : h_(Traits::empty()) {}
    explicit UniqueHandle(HANDLE h, Traits traits = Traits()) noexcept : Traits(std::move(traits)), h_(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : Traits(static_cast<const Traits&>(other)), h_(std::exchange(other.h_, Traits::empty())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            static_cast<Traits&>(*this) = static_cast<const Traits&>(other);
            h_ = std::exchange(other.h_, Traits::empty());
        }
        return *this;
    }

    explicit operator bool() const noexcept { return Traits::holds_object(h_); }
    HANDLE get() const noexcept { return h_; }

    // Holds `h` instead of the handle held, which it closes if that names an
    // object and is not `h` itself (the owner keeps holding it then).
    void reset(HANDLE h = Traits::empty()) noexcept {
        const HANDLE old = std::exchange(h_, h);
        if (old == h || !Traits::holds_object(old)) return;
        const DWORD error = GetLastError();
        Traits::close(old);
        SetLastError(error);
    }

    // Gives the handle up without closing it: the caller owns it now, and
    // the owner holds nothing.
    [[nodiscard]] HANDLE release() noexcept { return std::exchange(h_, Traits::empty()); }

private:
    HANDLE h_;
};

}  // namespace qz::win
