#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "demo/demo.h"
#include "host/number.h"

namespace qz::demo {
namespace {

struct Step {
    int order;
    const char* title;
    TourFn fn;
};
struct Command {
    const char* name;
    const char* usage;
    CommandFn fn;
};
std::vector<Step>& steps() {
    static std::vector<Step> s;
    return s;
}
std::vector<Command>& commands() {
    static std::vector<Command> c;
    return c;
}

int usage() {
    std::printf("usage: qzhost [--dll PATH] [COMMAND ARGS...]\n"
                "  with no command: a tour of the library's exports\n");
    auto cmds = commands();
    std::sort(cmds.begin(), cmds.end(), [](auto& a, auto& b) { return std::strcmp(a.name, b.name) < 0; });
    for (const auto& c : cmds) std::printf("  %s %s\n", c.name, c.usage);
    return 2;
}

}  // namespace

bool register_tour(int order, const char* title, TourFn fn) {
    steps().push_back({order, title, fn});
    return true;
}

bool register_command(const char* name, const char* usage, CommandFn fn) {
    commands().push_back({name, usage, fn});
    return true;
}

void print_diag(Context& ctx) {
    for (const auto& text : ctx.host.diag_calls()) std::printf("  diag     \"%s\"\n", text.c_str());
    for (const auto& v : ctx.host.diag_var_calls())
        std::printf("  diag_var \"%s\", %d (= %g)\n", v.format.c_str(), v.value, qz::host::to_double(v.value));
    ctx.host.clear_records();
}

}  // namespace qz::demo

int main(int argc, char** argv) {
    using namespace qz::demo;
    int i = 1;
    std::wstring dll;
    if (i + 1 < argc && std::strcmp(argv[i], "--dll") == 0) {
        std::string narrow(argv[i + 1]);
        dll.assign(narrow.begin(), narrow.end());
        i += 2;
    }
    if (i < argc && (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)) return usage();
    try {
        qz::test::Library* lib = nullptr;
        if (dll.empty()) {
            lib = &qz::test::Library::get();
        } else {
            static qz::test::Library chosen(dll);
            lib = &chosen;
        }
        qz::test::EngineHost host;
        Context ctx{*lib, host};
        const int bound = host.bind(*lib);
        if (i < argc) {
            for (const auto& c : commands())
                if (std::strcmp(c.name, argv[i]) == 0) return c.fn(ctx, argc - i - 1, argv + i + 1);
            std::fprintf(stderr, "qzhost: unknown command %s\n", argv[i]);
            return usage();
        }
        std::printf("A6_DLLAPI(engine) = %d after %zu lookups\n", bound, host.lookups().size());
        auto tour = steps();
        std::stable_sort(tour.begin(), tour.end(), [](auto& a, auto& b) { return a.order < b.order; });
        for (const auto& s : tour) {
            std::printf("\n== %s\n", s.title);
            s.fn(ctx);
            print_diag(ctx);
        }
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qzhost: %s\n", e.what());
        return 1;
    }
}
