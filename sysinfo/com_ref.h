// Owns one reference to a COM interface and releases it on every path.
#pragma once
#include <unknwn.h>

namespace qz::sysinfo {

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For out-parameters: drops what is held and hands out the slot.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void reset() noexcept {
        if (T* p = p_) {
            p_ = nullptr;
            p->Release();
        }
    }

private:
    T* p_ = nullptr;
};

}  // namespace qz::sysinfo
