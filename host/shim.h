// Every export is a thin shim: it converts its arguments, calls code that can
// be tested on its own, and lets nothing escape into the host. Each module has
// its own unwinder (static libgcc), so each export catches for itself.
#pragma once

// The public prototypes: a definition that strays from them does not compile.
#include "include/qzutilities.h"

#define QZ_API extern "C" __cdecl

namespace qz {

// Runs body(); any exception ends the call with `fallback` instead.
template <class R, class Body>
R guarded(R fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

template <class Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

namespace detail {
[[gnu::noinline]] inline void throw_one() { throw 0; }
}  // namespace detail

// A module's first exception sets its unwinder up: a once-only registration
// in the thread library and the sorted table of the module's unwind records,
// both allocated on first use, and the thread library does not survive a
// failed allocation there. The host's first calls (the binding, the log's
// set-up) throw one here, while memory is still to be had, so that no later
// failure meets that set-up.
inline void prepare_unwinding() noexcept {
    static const bool prepared = [] {
        try {
            detail::throw_one();
        } catch (...) {
        }
        return true;
    }();
    (void)prepared;
}

}  // namespace qz
