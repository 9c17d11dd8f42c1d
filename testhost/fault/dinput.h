// A stand-in DirectInput 8 (narrow interfaces) for the fault sweep: the
// object DirectInput8Create hands out and the system mouse it creates. The
// mouse moves by (3, -2) between reads. Every method that can fail asks the
// fault gate first; objects free themselves on their last Release and are
// counted, so a run can show that the library gave each one back.
#pragma once
#ifndef DIRECTINPUT_VERSION
#define DIRECTINPUT_VERSION 0x0800
#endif
#include <windows.h>
#include <dinput.h>

namespace qz::test::fault {

// A new DirectInput object (one reference, the caller's).
IDirectInput8A* new_direct_input();

// DirectInput objects and devices alive now.
int live_direct_input_objects();

}  // namespace qz::test::fault
