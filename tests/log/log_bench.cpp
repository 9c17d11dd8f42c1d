// Cost of one log line. First QZLog_Log of the DLL beside the plainest way to
// put the same line in a file (the local time, the line formatted into a
// buffer, one WriteFile each) and that ratio; then a profile of one call:
// the pieces of a Boost.Log record made the usual way (a severity_logger per
// call, the four common attributes, a record stream, the stream formatter of
// the log's line) timed in this process's own logging core, each stage
// adding one piece to the one before, then the log library's own init and
// write (linked in) on that core, with its file sink; then the clocks and
// the file stream alone. Not a test: it prints figures.
// Rounds of the export and of the baseline alternate, so that drift in the
// machine's load falls on both; the fastest round of each is reported.
// Short rounds, many of them: on a busy machine the fastest round is then
// one that nothing else interrupted.
// The measuring runs in a child process inside a scratch folder, so that the
// log files, which the logging core keeps open until the process ends, can
// be deleted afterwards; the child writes its figures to report.txt there.
//   usage: log_bench [LINES] [ROUNDS]   (lines per round, default 1000 and 100)
#include <windows.h>

#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_logger.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/setup/common_attributes.hpp>
#include <boost/log/utility/setup/file.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "log/rotating_log.h"
#include "testhost/engine_host.h"
#include "testhost/test_support.h"

namespace logging = boost::log;
namespace expr = boost::log::expressions;
namespace sinks = boost::log::sinks;
namespace keywords = boost::log::keywords;
using boost::log::trivial::severity_level;

namespace {

const char kMessage[] = "player 1 entered level 3 at checkpoint 12";

// Microseconds per call of `f`, fastest of `rounds` rounds of `lines` calls.
template <class F>
double best_us(int rounds, int lines, F f) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < lines; ++i) f();
        best = std::min(best, std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    return best / lines;
}

// The baseline: the same line, by hand, one WriteFile each.
struct PlainWriter {
    HANDLE file = CreateFileA("baseline.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ~PlainWriter() { CloseHandle(file); }
    void line(const char* message) {
        SYSTEMTIME t;
        GetLocalTime(&t);
        char buf[512];
        const int n = std::snprintf(buf, sizeof buf, "%02u:%02u:%02u: info - %s\r\n", t.wHour, t.wMinute,
                                    t.wSecond, message);
        DWORD done = 0;
        WriteFile(file, buf, static_cast<DWORD>(n), &done, nullptr);
    }
};

// A sink backend that takes each record and keeps nothing.
struct DropBackend : sinks::basic_sink_backend<sinks::synchronized_feeding> {
    void consume(const logging::record_view&) {}
};
// One that formats each record as the log's file sink does, and drops the text.
struct FormatBackend : sinks::basic_formatted_sink_backend<char, sinks::synchronized_feeding> {
    std::size_t chars = 0;
    void consume(const logging::record_view&, const string_type& text) { chars += text.size(); }
};

auto line_format() {
    return expr::stream << expr::format_date_time<boost::posix_time::ptime>("TimeStamp", "%H:%M:%S") << ": "
                        << logging::trivial::severity << " - " << expr::smessage;
}

// One record made the usual way; `stream`: the message is put in through a record stream.
void one_record(bool stream) {
    logging::sources::severity_logger<severity_level> logger;
    if (auto record = logger.open_record(keywords::severity = severity_level::info)) {
        if (stream) {
            logging::record_ostream os(record);
            os << kMessage;
            os.flush();
        }
        logger.push_record(boost::move(record));
    }
}

}  // namespace

int measure(int lines, int rounds, std::FILE* out);

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--here") {
        std::FILE* out = std::fopen("report.txt", "w");
        return out ? measure(std::atoi(argv[2]), std::atoi(argv[3]), out) : 1;
    }
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    qz::test::TempDir dir;
    const auto run = qz::test::run_child(self, {"--here", std::to_string(lines), std::to_string(rounds)},
                                         {dir.path()}, 600000);
    std::string report;
    qz::test::read_file(dir.file("report.txt"), report);
    std::fputs(report.c_str(), stdout);
    return run.finished ? static_cast<int>(run.exit_code) : 1;
}

int measure(int lines, int rounds, std::FILE* out) {
    auto& lib = qz::test::Library::get();
    auto log_init = QZ_FN(lib, QZLog_Init);
    auto log_line = QZ_FN(lib, QZLog_Log);

    // 1. The export beside one WriteFile per line.
    log_init();
    double t_export = 1e30, t_plain = 1e30;
    {
        PlainWriter plain;
        for (int r = 0; r < rounds; ++r) {
            t_export = std::min(t_export, best_us(1, lines, [&] { log_line(kMessage, 0); }));
            t_plain = std::min(t_plain, best_us(1, lines, [&] { plain.line(kMessage); }));
        }
    }
    std::fprintf(out, "rounds of %d lines of %zu characters, best of %d alternating rounds\n", lines,
                 sizeof kMessage + 16, rounds);
    std::fprintf(out, "QZLog_Log                           %8.0f lines/s  %6.2f us/line\n", 1e6 / t_export, t_export);
    std::fprintf(out, "GetLocalTime+snprintf+WriteFile     %8.0f lines/s  %6.2f us/line\n", 1e6 / t_plain, t_plain);
    std::fprintf(out, "ratio: QZLog_Log / one WriteFile per line = %.2f\n\n", t_plain / t_export);

    // 2. The pieces of one record, in this process's own logging core.
    auto core = logging::core::get();
    struct Stage { const char* what; double us; };
    std::vector<Stage> stages;
    stages.push_back({"severity_logger made and dropped", best_us(rounds, lines, [] {
                          logging::sources::severity_logger<severity_level> logger;
                          (void)logger;
                      })});
    core->set_filter(logging::trivial::severity >= logging::trivial::trace);
    core->add_sink(boost::make_shared<sinks::synchronous_sink<DropBackend>>());
    stages.push_back({"+ record opened, filtered, pushed to a sink that drops it",
                      best_us(rounds, lines, [] { one_record(false); })});
    logging::add_common_attributes();
    stages.push_back({"+ the four common attributes", best_us(rounds, lines, [] { one_record(false); })});
    stages.push_back({"+ the message streamed into the record", best_us(rounds, lines, [] { one_record(true); })});
    core->remove_all_sinks();
    auto formatting = boost::make_shared<sinks::synchronous_sink<FormatBackend>>();
    formatting->set_formatter(line_format());
    core->add_sink(formatting);
    stages.push_back({"+ the line formatted (time stamp, severity, message)",
                      best_us(rounds, lines, [] { one_record(true); })});
    core->remove_all_sinks();
    core->set_global_attributes(logging::attribute_set());
    core->reset_filter();
    // The library's own set-up and write, on this core.
    qz::log::init();
    stages.push_back({"the library's write (file sink, rotation checks, write, flush)",
                      best_us(rounds, lines, [] { qz::log::write(kMessage, 0); })});

    std::fprintf(out, "profile of one record (us per line, and what each stage adds):\n");
    double before = 0;
    for (const auto& s : stages) {
        std::fprintf(out, "  %-64s %6.2f  %+6.2f\n", s.what, s.us, s.us - before);
        before = s.us;
    }

    // 3. The costs inside those pieces, alone.
    const sinks::file::rotation_at_time_point midnight(0, 0, 0);
    midnight();  // starts its count
    std::ofstream text_file("stream.txt");
    const std::string formatted = "12:34:56: info - " + std::string(kMessage);
    std::fprintf(out, "\nalone (us per call):\n");
    std::fprintf(out, "  %-64s %6.2f\n", "local clock (the TimeStamp attribute's value)",
                best_us(rounds, lines, [] { (void)boost::posix_time::microsec_clock::local_time(); }));
    std::fprintf(out, "  %-64s %6.2f\n", "the midnight rule asked (second_clock::local_time inside)",
                best_us(rounds, lines, [&] { (void)midnight(); }));
    std::fprintf(out, "  %-64s %6.2f\n", "GetLocalTime",
                best_us(rounds, lines, [] { SYSTEMTIME t; GetLocalTime(&t); }));
    std::fprintf(out, "  %-64s %6.2f\n", "text-mode std::ofstream: write, newline, flush",
                best_us(rounds, lines, [&] {
                    text_file.write(formatted.data(), static_cast<std::streamsize>(formatted.size()));
                    text_file.put('\n');
                    text_file.flush();
                }));
    text_file.close();
    core->remove_all_sinks();
    std::fclose(out);
    return 0;
}
