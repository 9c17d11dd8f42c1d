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

}  // namespace qz
