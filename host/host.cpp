#include "host/host.h"

#include "host/binding.h"

namespace qz::host {
namespace {

template <class F>
F slot_as(Fn fn) noexcept {
    return reinterpret_cast<F>(slot(fn));
}

}  // namespace

void diag(const char* text) {
    if (auto f = slot_as<void(__cdecl*)(const char*)>(Fn::diag)) f(text);
}

void diag_var(const char* format, Number value) {
    if (auto f = slot_as<void(__cdecl*)(const char*, Number)>(Fn::diag_var)) f(format, value);
}

IDirect3DDevice9* draw_begin() {
    auto f = slot_as<IDirect3DDevice9*(__cdecl*)()>(Fn::draw_begin);
    return f ? f() : nullptr;
}

}  // namespace qz::host
