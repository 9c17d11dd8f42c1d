#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "demo/demo.h"

namespace {

void tour(qz::demo::Context& ctx) {
    auto crc = QZ_FN(ctx.lib, QZ_Crc_Calculate);
    auto size = QZ_FN(ctx.lib, QZ_Crc_Filesize);
    auto date = QZ_FN(ctx.lib, QZ_GetLastWriteTime);
    auto exec = QZ_FN(ctx.lib, QZ_Exec);
    const char* name = "qz_tour_digits.txt";
    { std::ofstream(name, std::ios::binary) << "123456789"; }
    const std::int32_t c = crc(name);
    std::printf("QZ_Crc_Calculate(\"%s\") = %08X (%d), QZ_Crc_Filesize = %d\n", name,
                static_cast<unsigned>(c), c, size(name));
    const char* d = date(name);
    std::printf("QZ_GetLastWriteTime(\"%s\") = %s\n", name, d ? d : "(null)");
    DeleteFileA(name);
    d = date("no such file.txt");
    std::printf("QZ_GetLastWriteTime(\"no such file.txt\") = %s, the host's log received:\n", d ? d : "(null)");
    qz::demo::print_diag(ctx);
    std::printf("QZ_Exec(null, \"no such file.txt\") = %d (the shell's file-not-found code)\n",
                exec(nullptr, "no such file.txt"));
}

int command_crc(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost crc FILE...\n");
        return 2;
    }
    auto crc = QZ_FN(ctx.lib, QZ_Crc_Calculate);
    auto size = QZ_FN(ctx.lib, QZ_Crc_Filesize);
    for (int i = 0; i < argc; ++i) {
        const std::int32_t c = crc(argv[i]);
        std::printf("%08X %11d %10d %s\n", static_cast<unsigned>(c), c, size(argv[i]), argv[i]);
    }
    return 0;
}

int command_date(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost date FILE\n");
        return 2;
    }
    const char* d = QZ_FN(ctx.lib, QZ_GetLastWriteTime)(argv[0]);
    if (!d) {
        qz::demo::print_diag(ctx);
        return 1;
    }
    std::printf("%s\n", d);
    return 0;
}

int command_exec(qz::demo::Context& ctx, int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: qzhost exec FILE [VERB]\n");
        return 2;
    }
    const std::int32_t r = QZ_FN(ctx.lib, QZ_Exec)(argc > 1 ? argv[1] : nullptr, argv[0]);
    std::printf("%d\n", r);
    return r > 32 ? 0 : 1;
}

}  // namespace

QZ_DEMO_TOUR(40, "Files: QZ_Crc_Calculate, QZ_Crc_Filesize, QZ_GetLastWriteTime, QZ_Exec", tour);
QZ_DEMO_COMMAND("crc", "FILE...         CRC-32 as 8 hex digits and as the script's signed integer, then the size", command_crc);
QZ_DEMO_COMMAND("date", "FILE           the file's local last-write date DD/MM/YYYY", command_date);
QZ_DEMO_COMMAND("exec", "FILE [VERB]    open the file through the shell (default verb); prints the shell's result", command_exec);
