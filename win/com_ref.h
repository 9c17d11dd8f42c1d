// An owner of one COM interface reference: released when the owner is reset,
// reassigned or destroyed, so no path leaks it.
#pragma once
#include <utility>

namespace qz {

template <class T>
class ComRef {
public:
    ComRef() noexcept = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // Releases the reference held, if any.
    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For a creating call's out parameter: drops the reference held and
    // returns the empty slot.
    T** put() noexcept {
        reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

}  // namespace qz
