#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo.h"

namespace {

using Query = decltype(&::QZ_IsProcess);  // QZ_IsModule's type too

constexpr std::int32_t kStride = 64;

// Asks one query with a table of 64-byte records, as a script would hold it.
std::int32_t ask(Query q, const std::vector<std::string>& names) {
    std::vector<char> records(names.size() * kStride, '\0');
    for (std::size_t i = 0; i < names.size(); ++i) names[i].copy(&records[i * kStride], kStride - 1);
    const char* first = records.data();
    return q(&first, static_cast<std::int32_t>(names.size()), kStride);
}

std::string own_exe_name() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(p.find_last_of("\\/") + 1);
}

void tour(qz::demo::Context& ctx) {
    auto is_process = QZ_FN(ctx.lib, QZ_IsProcess);
    auto is_module = QZ_FN(ctx.lib, QZ_IsModule);
    const std::string me = own_exe_name();
    std::string shouted = me;
    for (char& c : shouted)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const std::vector<std::vector<std::string>> process_tables = {
        {me}, {shouted}, {"no_such_game.exe", me}, {"C:\\" + me}, {"no_such_game.exe"}};
    for (const auto& t : process_tables) {
        std::string shown;
        for (const auto& n : t) shown += (shown.empty() ? "\"" : ", \"") + n + "\"";
        std::printf("QZ_IsProcess({%s}) = %d\n", shown.c_str(), ask(is_process, t));
    }
    for (const char* name : {"qzutilities.dll", "KERNEL32.DLL", "no_such_module.dll"})
        std::printf("QZ_IsModule({\"%s\"}) = %d\n", name, ask(is_module, {name}));
    std::printf("QZ_IsProcess(table, 0, 64) = %d (no records)\n", [&] {
        const char* first = me.c_str();
        return is_process(&first, 0, kStride);
    }());
    // The scan's empty entry, with arguments as a script might push them, and without.
    ctx.lib.fn<void(__cdecl*)(const char*, std::int32_t)>("QZ_OutsideOfWhiteListModules")(me.c_str(), 1);
    QZ_FN(ctx.lib, QZ_OutsideOfWhiteListModules)();
    std::printf("QZ_OutsideOfWhiteListModules(\"%s\", 1), QZ_OutsideOfWhiteListModules(): returned, did nothing\n",
                me.c_str());
}

int command_processes(qz::demo::Context& ctx, int, char**) {
    QZ_FN(ctx.lib, QZ_DiagProcess)();
    qz::demo::print_diag(ctx);
    return 0;
}

int command_modules(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost modules NAME\n");
        return 2;
    }
    QZ_FN(ctx.lib, QZ_DiagModule)(argv[0]);
    qz::demo::print_diag(ctx);
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(80, "Diagnostics: QZ_IsProcess, QZ_IsModule (name tables of 64-byte records), QZ_OutsideOfWhiteListModules",
             tour);
QZ_DEMO_COMMAND("processes", "                  QZ_DiagProcess: every running process into the diag log", command_processes);
QZ_DEMO_COMMAND("modules", "NAME              QZ_DiagModule: the modules of the process named NAME (case counts)",
                command_modules);
