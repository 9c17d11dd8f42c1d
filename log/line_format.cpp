#include "log/line_format.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/trivial.hpp>
#include <charconv>
#include <cstring>
#include <string>

#include "win/no_destroy.h"

namespace logging = boost::log;
namespace expr = boost::log::expressions;
using boost::log::trivial::severity_level;

namespace qz::log {
namespace {

// The names the line reads, registered with the logging library by the
// log's set-up (prepare_line_format), not while the library loads: a
// registration that fails there would end the process that loads it. Made
// on first use (a failed attempt leaves nothing and the next use tries
// again) and never destroyed.
struct Names {
    logging::attribute_name time_stamp{"TimeStamp"};
    logging::attribute_name severity{logging::trivial::severity.get_name()};
    logging::attribute_name message{expr::smessage.get_name()};
};

const Names& names() {
    static win::NoDestroy<Names> names;
    return names.get();
}

}  // namespace

void prepare_line_format() { names(); }

void format_line(const logging::record_view& rec, logging::formatting_ostream& out) {
    const auto& values = rec.attribute_values();
    const Names& n = names();
    if (auto stamp = logging::extract<boost::posix_time::ptime>(n.time_stamp, values)) {
        if (stamp->is_special()) {
            // Made only for such a stamp (never, from the local clock): one
            // allocation fewer that the first line can meet a failure in.
            static const logging::formatter generic_stamp =
                expr::stream << expr::format_date_time<boost::posix_time::ptime>("TimeStamp", "%H:%M:%S");
            generic_stamp(rec, out);
        } else {
            const auto t = stamp->time_of_day();
            const int parts[] = {static_cast<int>(t.hours()), static_cast<int>(t.minutes()),
                                 static_cast<int>(t.seconds())};
            char text[8] = {'0', '0', ':', '0', '0', ':', '0', '0'};
            for (int i = 0; i < 3; ++i) {
                text[3 * i] = static_cast<char>('0' + parts[i] / 10);
                text[3 * i + 1] = static_cast<char>('0' + parts[i] % 10);
            }
            out.write(text, sizeof text);
        }
    }
    out.write(": ", 2);
    if (auto severity = logging::extract<severity_level>(n.severity, values)) {
        // As the severity's operator<< writes it: the name, or the number
        // of a value without one.
        if (const char* name = logging::trivial::to_string(*severity)) {
            out.write(name, static_cast<std::streamsize>(std::strlen(name)));
        } else {
            // (Written past the stream's own buffer, as every piece here.)
            char digits[12];
            const char* end = std::to_chars(digits, digits + sizeof digits, static_cast<int>(*severity)).ptr;
            out.write(digits, end - digits);
        }
    }
    out.write(" - ", 3);
    if (auto message = logging::extract<std::string>(n.message, values))
        out.write(message->data(), static_cast<std::streamsize>(message->size()));
}

}  // namespace qz::log
