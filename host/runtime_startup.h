// The C++ runtime's first-use set-up, done once while the library loads.
#pragma once

namespace qz::host {

// Makes the locales and throws and catches one exception, its object taken
// from the runtime's emergency pool: the locales, the unwinder, the thread's
// exception record and the pool's lock are set up from then on
// (host/runtime_startup.cpp says why).
void prepare_runtime() noexcept;

}  // namespace qz::host
