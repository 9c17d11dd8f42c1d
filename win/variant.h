// An owner of one VARIANT: initialised when made, cleared when reset, refilled
// or destroyed, so a value read on any path (a failed read, the wrong type)
// gives back what it holds: a string, an interface reference.
#pragma once
#include <windows.h>
#include <oleauto.h>

namespace qz {

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    ~Variant() { reset(); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    const VARIANT* get() const noexcept { return &v_; }

    // Clears the value held (the variant is then VT_EMPTY).
    void reset() noexcept { VariantClear(&v_); }
    // For a call that fills the variant: clears the value held and returns
    // the empty variant.
    VARIANT* put() noexcept {
        reset();
        return &v_;
    }

private:
    VARIANT v_;
};

}  // namespace qz
