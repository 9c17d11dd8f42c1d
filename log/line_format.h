// The text of one line of the log, as the file sink writes it before its
// line break.
#pragma once
#include <boost/log/core/record_view.hpp>
#include <boost/log/utility/formatting_ostream.hpp>

namespace qz::log {

// Writes the record's "TimeStamp" as %H:%M:%S, ": ", its "Severity" by
// name, " - " and its "Message", each piece left out when the record lacks
// it: byte for byte what the stream formatter
//   stream << format_date_time<ptime>("TimeStamp", "%H:%M:%S") << ": "
//          << trivial::severity << " - " << smessage
// writes, without that formatter's generic, per-record interpretation of
// the date-time pattern (it still writes the time stamps that are not a
// time, which the local clock never gives).
void format_line(const boost::log::record_view& rec, boost::log::formatting_ostream& out);

// Registers the attribute names the line reads with the logging library,
// once; the log's set-up calls it before its sink can format a line (and
// format_line makes them itself when nothing did). Throws what the
// registration throws, leaving nothing of a failed attempt.
void prepare_line_format();

}  // namespace qz::log
