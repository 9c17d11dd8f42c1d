#include "log/rotating_log.h"

#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_logger.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/exception_handler.hpp>
#include <boost/log/utility/setup/common_attributes.hpp>
#include <boost/log/utility/setup/file.hpp>
#include <memory>
#include <mutex>

namespace logging = boost::log;
namespace expr = boost::log::expressions;
namespace keywords = boost::log::keywords;
namespace sinks = boost::log::sinks;
using boost::log::trivial::severity_level;

namespace qz::log {
namespace {

std::mutex g_init_mutex;
bool g_initialised = false;

}  // namespace

Severity severity_for_level(std::int32_t level) noexcept {
    switch (level) {
        case 1: return Severity::warning;
        case 2: return Severity::error;
        default: return Severity::info;
    }
}

void init() {
    std::lock_guard<std::mutex> lock(g_init_mutex);
    auto core = logging::core::get();
    // Whatever the sink meets while writing (a file that cannot be opened, a
    // full disk) stays inside the logging core; the record is lost, the caller
    // goes on.
    core->set_exception_handler(logging::make_exception_suppressor());
    if (!g_initialised) {
        // The time rule starts counting when it is first asked, which the sink
        // does only from the second record of a file on; a single record
        // before midnight would then not make the first one after it begin a
        // new file. Asking it whenever a file is opened starts the count
        // when the log begins writing.
        auto midnight = std::make_shared<sinks::file::rotation_at_time_point>(0, 0, 0);
        auto sink = logging::add_file_log(
            keywords::file_name = "qzlog_%N.txt",
            keywords::rotation_size = kRotationSize,
            keywords::time_based_rotation = [midnight] { return (*midnight)(); },
            keywords::format =
                (expr::stream << expr::format_date_time<boost::posix_time::ptime>("TimeStamp", "%H:%M:%S")
                              << ": " << logging::trivial::severity << " - " << expr::smessage),
            keywords::auto_flush = true);
        sink->locked_backend()->set_open_handler([midnight](std::ostream&) { (*midnight)(); });
        g_initialised = true;
    }
    core->set_filter(logging::trivial::severity >= logging::trivial::trace);
    logging::add_common_attributes();
}

void write(const char* message, std::int32_t level) {
    if (message == nullptr) return;
    boost::log::sources::severity_logger<severity_level> logger;
    const auto severity = static_cast<severity_level>(severity_for_level(level));
    if (auto record = logger.open_record(keywords::severity = severity)) {
        boost::log::record_ostream stream(record);
        stream << message;
        stream.flush();
        logger.push_record(boost::move(record));
    }
}

}  // namespace qz::log
