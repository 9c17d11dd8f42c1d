#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "demo/demo.h"

namespace {

void tour(qz::demo::Context& ctx) {
    auto init = QZ_FN(ctx.lib, QZLog_Init);
    auto log = QZ_FN(ctx.lib, QZLog_Log);
    init();
    log("tour started", 0);
    log("a warning", 1);
    log("an error", 2);
    std::ifstream in("qzlog_0.txt");
    std::stringstream text;
    text << in.rdbuf();
    std::printf("QZLog_Init(); QZLog_Log x3 -> qzlog_0.txt holds:\n%s", text.str().c_str());
}

int command_log(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost log MESSAGE [LEVEL]\n");
        return 2;
    }
    QZ_FN(ctx.lib, QZLog_Init)();
    QZ_FN(ctx.lib, QZLog_Log)(argv[0], argc > 1 ? std::atoi(argv[1]) : 0);
    return 0;
}

}  // namespace

QZ_DEMO_TOUR(20, "Log: QZLog_Init, QZLog_Log (files qzlog_N.txt in the current folder)", tour);
QZ_DEMO_COMMAND("log", "MESSAGE [LEVEL]   append one line to qzlog_0.txt (the file is emptied first)", command_log);
