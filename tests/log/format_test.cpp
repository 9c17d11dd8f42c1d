// The log's line formatter against the stream formatter it stands in for,
// white box: records with every severity and values without a name, time
// stamps at the ends of the day and ones that are not a time, messages with
// bytes a format could trip on, and records that lack a piece or carry it
// under another type, each formatted by both in this test's own logging core.
#include <gtest/gtest.h>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/log/attributes/attribute_value_impl.hpp>
#include <boost/log/attributes/constant.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/trivial.hpp>
#include <optional>
#include <string>
#include <vector>

#include "log/line_format.h"

namespace logging = boost::log;
namespace expr = boost::log::expressions;
namespace sinks = boost::log::sinks;
namespace pt = boost::posix_time;
using boost::log::trivial::severity_level;

namespace {

// Formats each record both ways.
struct BothFormats : sinks::basic_sink_backend<sinks::synchronized_feeding> {
    std::vector<std::pair<std::string, std::string>> lines;  // (library's, stream formatter's)
    void consume(const logging::record_view& rec) {
        static const logging::formatter reference =
            expr::stream << expr::format_date_time<pt::ptime>("TimeStamp", "%H:%M:%S") << ": "
                         << logging::trivial::severity << " - " << expr::smessage;
        std::string ours, theirs;
        {
            logging::formatting_ostream out(ours);
            qz::log::format_line(rec, out);
            out.flush();
        }
        {
            logging::formatting_ostream out(theirs);
            reference(rec, out);
            out.flush();
        }
        lines.emplace_back(ours, theirs);
    }
};

struct Pieces {
    std::optional<pt::ptime> stamp;
    std::optional<severity_level> severity;
    std::optional<std::string> message;
    bool stamp_as_int = false, severity_as_int = false;  // the name, with a value of another type
};

void log_record(const Pieces& p) {
    auto core = logging::core::get();
    logging::attribute_set attrs;
    if (p.stamp) attrs.insert("TimeStamp", logging::attributes::constant<pt::ptime>(*p.stamp));
    if (p.stamp_as_int) attrs.insert("TimeStamp", logging::attributes::constant<int>(140207));
    if (p.severity) attrs.insert("Severity", logging::attributes::constant<severity_level>(*p.severity));
    if (p.severity_as_int) attrs.insert("Severity", logging::attributes::constant<int>(3));
    auto record = core->open_record(attrs);
    ASSERT_TRUE(record);
    if (p.message)
        record.attribute_values().insert("Message", logging::attributes::make_attribute_value(*p.message));
    core->push_record(boost::move(record));
}

}  // namespace

TEST(LogFormat, LinesEqualTheStreamFormattersByteForByte) {
    auto backend = boost::make_shared<BothFormats>();
    auto sink = boost::make_shared<sinks::synchronous_sink<BothFormats>>(backend);
    logging::core::get()->add_sink(sink);

    const pt::ptime day(boost::gregorian::date(2026, 3, 14));
    const std::vector<pt::ptime> stamps = {
        day, day + pt::time_duration(9, 5, 7), day + pt::hours(14) + pt::minutes(2) + pt::seconds(7),
        day + pt::time_duration(23, 59, 59) + pt::microseconds(999999),
        pt::ptime(boost::date_time::not_a_date_time), pt::ptime(boost::date_time::pos_infin),
        pt::ptime(boost::date_time::neg_infin)};
    const std::vector<std::string> messages = {"Door open", "", "100% %s %d %n", "two\nlines\r\n",
                                               std::string("nul \0 inside", 12), "\xC3\xA9t\xC3\xA9 \xFF"};
    std::vector<severity_level> severities;
    for (int s = 0; s <= 7; ++s) severities.push_back(static_cast<severity_level>(s));  // 6, 7: no name
    for (const auto& stamp : stamps)
        for (auto severity : severities)
            for (const auto& message : messages) log_record({stamp, severity, message});
    // Pieces missing, or under another type.
    log_record({});
    log_record({stamps[2], std::nullopt, std::nullopt});
    log_record({std::nullopt, severity_level::error, "no time"});
    log_record({stamps[1], severity_level::info, std::nullopt});
    log_record({std::nullopt, std::nullopt, "int stamp", true, false});
    log_record({stamps[1], std::nullopt, "int severity", false, true});

    logging::core::get()->remove_sink(sink);
    ASSERT_EQ(backend->lines.size(), stamps.size() * severities.size() * messages.size() + 6);
    for (const auto& [ours, theirs] : backend->lines) EXPECT_EQ(ours, theirs);
    // Two of them as the log shows them.
    EXPECT_EQ(backend->lines[2 * severities.size() * messages.size() + 3 * messages.size()].first,
              "14:02:07: warning - Door open");
    EXPECT_EQ(backend->lines.back().first, "09:05:07: " " - int severity");
}
