// Calls from the library back into the host engine, through the slots that
// the binding (A6_DLLAPI) fills. The engine calls A6_DLLAPI before any export
// that reaches these; before that every slot is null and the calls below do
// nothing (draw_begin answers "no device") instead of jumping through null.
#pragma once
#include "host/number.h"

struct IDirect3DDevice9;

namespace qz::host {

// Appends text to the host's diagnostic log.
void diag(const char* text);
// Appends a format holding one "%f" with the number written in its place.
void diag_var(const char* format, Number value);
// The host's current Direct3D 9 device, or null when it has none.
IDirect3DDevice9* draw_begin();

}  // namespace qz::host
