// The demo host: loads the library as the engine does, binds it, and runs a
// tour of the exports or one subcommand. Each subsystem adds its own tour
// step and subcommands from its own file.
#pragma once
#include <string>

#include "testhost/engine_host.h"

namespace qz::demo {

struct Context {
    test::Library& lib;
    test::EngineHost& host;
};

using TourFn = void (*)(Context&);
using CommandFn = int (*)(Context&, int argc, char** argv);  // argv: arguments after the name

bool register_tour(int order, const char* title, TourFn fn);
bool register_command(const char* name, const char* usage, CommandFn fn);

// Prints what the host's diagnostic log received since the last call, then forgets it.
void print_diag(Context& ctx);

}  // namespace qz::demo

#define QZ_DEMO_CAT2(a, b) a##b
#define QZ_DEMO_CAT(a, b) QZ_DEMO_CAT2(a, b)
#define QZ_DEMO_TOUR(order, title, fn) \
    static const bool QZ_DEMO_CAT(qz_demo_tour_, __LINE__) = ::qz::demo::register_tour(order, title, fn)
#define QZ_DEMO_COMMAND(name, usage, fn) \
    static const bool QZ_DEMO_CAT(qz_demo_cmd_, __LINE__) = ::qz::demo::register_command(name, usage, fn)
