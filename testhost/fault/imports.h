// The library's imports under the fault plan: the table of hooks, one row per
// import that is worth failing (and per call that keeps the books), the list
// of imports that never fail or are not worth failing, and the patching of
// the loaded library's import table.
#pragma once
#include <windows.h>
#include <dxdiag.h>

#include <string>
#include <vector>

#include "testhost/fault/hooks.h"

namespace qz::test::fault {

struct Import {
    std::string dll;   // lower case
    std::string name;  // "#N" for an import by ordinal
    bool delayed = false;
};

// Every import of the loaded module: its import table, then its delay-load table.
std::vector<Import> imports_of(HMODULE module);

// Every hooked entry (the rows of the table).
const std::vector<Row*>& hook_rows();

// "hooked", "never: <why>", or empty for an import nobody has classified.
std::string classify(const std::string& dll, const std::string& name);

// Points every hooked import of the module at its hook; returns how many.
// Imports by ordinal and delay-loaded ones are left alone (classify fails them).
int install(HMODULE module);

// For a library loaded while the plan is armed (its own start-up under the
// plan): loads the DLLs of `imports` (the library's, from imports_of its
// file mapped as an image resource) and points their exports that have a
// row at the hooks, so that the loader binds the library's imports to them.
// A library loaded meanwhile stays bound to the hooks after unhook_exports,
// which gives the exports back to everybody else. Returns how many were
// pointed. (Nothing else may be loaded meanwhile: it would be bound too.)
int hook_exports(const std::vector<Import>& imports);
void unhook_exports();

// The stand-in CoCreateInstance hands out for the diagnostic service (null:
// the system's). DirectInput8Create always hands out the sweep's stand-in.
void set_diagnostic_service(IDxDiagProvider* provider);

// What the library looked up through GetProcAddress since install, "dll!name".
std::vector<std::string> lookups();

}  // namespace qz::test::fault
