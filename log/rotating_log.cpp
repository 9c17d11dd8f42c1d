#include "log/rotating_log.h"

#include <windows.h>

#include <array>
#include <atomic>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/log/attributes/attribute_value_impl.hpp>
#include <boost/log/attributes/clock.hpp>
#include <boost/log/attributes/constant.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/sink.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/exception_handler.hpp>
#include <boost/make_shared.hpp>
#include <memory>
#include <string>

#include "win/srw_lock.h"
#include "log/line_format.h"

namespace logging = boost::log;
namespace expr = boost::log::expressions;
namespace keywords = boost::log::keywords;
namespace sinks = boost::log::sinks;
using boost::log::trivial::severity_level;

namespace qz::log {
namespace {

// The set-up's lock (win/srw_lock.h: taking it cannot fail).
SRWLOCK g_init_lock = SRWLOCK_INIT;
using win::ExclusiveLock;
std::atomic<bool> g_wanted{false};  // init() was called
std::atomic<bool> g_ready{false};   // and the file sink is registered

// Rotation at local midnight: Boost's rule (rotation_at_time_point at
// 00:00:00), asked only when the local date has changed since it was last
// asked. Between two records of the same local date no midnight can have
// passed, so the rule would answer no; asking it costs a whole time-zone
// look-up (its clock reads std::time), while the date here comes from the
// clock the records' time stamps use (microsec_clock, the same local-time
// conversion as the rule's), and only once per second of the system clock
// (within one second the local date cannot change). Called by the sink
// under its lock.
class MidnightRule {
public:
    bool operator()() {
        const ULONGLONG second = system_second();
        if (second == checked_second_) return false;
        checked_second_ = second;
        const auto today = boost::posix_time::microsec_clock::local_time().date();
        if (today == asked_on_) return false;
        asked_on_ = today;
        return rule_();
    }
    // Asks the rule whatever the date (a file was opened: the rule's count starts).
    void ask() {
        checked_second_ = system_second();
        asked_on_ = boost::posix_time::microsec_clock::local_time().date();
        rule_();
    }

private:
    static ULONGLONG system_second() {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        return ((ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime) / 10000000u;
    }

    sinks::file::rotation_at_time_point rule_{0, 0, 0};
    boost::gregorian::date asked_on_;  // not a date until the first question
    ULONGLONG checked_second_ = 0;
};

// The file sink's front end: each record formatted into one buffer the sink
// keeps and handed to the file, under one lock. (The library's formatting
// front ends keep a formatting context per thread, made on a thread's first
// record and stored in thread-specific storage: a store that fails loses the
// context and its memory, and every thread that ever logs keeps a buffer.
// The file is written under a lock anyway; formatting under it too makes
// another thread wait for a record's formatting as well.) The lock is a slim
// reader/writer lock, as the set-up's.
class LineSink final : public sinks::sink {
public:
    explicit LineSink(boost::shared_ptr<sinks::text_file_backend> backend)
        : sink(false), backend_(std::move(backend)), stream_(line_) {
        // A write the buffer could not take throws (no line goes out cut short).
        stream_.exceptions(std::ios_base::badbit | std::ios_base::failbit);
    }

    bool will_consume(const logging::attribute_value_set&) override { return true; }  // the core filters

    // A failure anywhere (no memory for the line, a file that cannot be
    // written) costs this record only: the buffer is left empty and the
    // stream good for the next.
    void consume(const logging::record_view& rec) override {
        const ExclusiveLock lock(lock_);
        const Reset reset{*this};
        format_line(rec, stream_);
        stream_.flush();
        backend_->consume(rec, line_);
    }

    void flush() override {
        const ExclusiveLock lock(lock_);
        backend_->flush();
    }

private:
    // A buffer that grew past this for a long record is given back after it.
    static constexpr std::size_t kKeptBuffer = 64 * 1024;

    struct Reset {
        LineSink& sink;
        ~Reset() {
            // (format_line writes past the stream's own small buffer; whatever
            // a failure left in it is moved out, to go with the rest.)
            try {
                sink.stream_.rdbuf()->pubsync();
            } catch (...) {
            }
            sink.stream_.rdbuf()->storage_overflow(false);
            sink.stream_.clear();
            if (sink.line_.capacity() > kKeptBuffer) std::string().swap(sink.line_);
            else sink.line_.clear();
        }
    };

    SRWLOCK lock_ = SRWLOCK_INIT;
    const boost::shared_ptr<sinks::text_file_backend> backend_;
    std::string line_;
    logging::formatting_ostream stream_;
};

// Set-up is all or nothing: the time stamp and the filter come first, so no
// record reaches the file without its time, and the file sink is registered
// last; a step that fails leaves nothing of this attempt behind, and the
// next call of init() or write() tries again. Called under g_init_lock.
void set_up() {
    prepare_line_format();
    auto core = logging::core::get();
    // Whatever the sink meets while writing (a file that cannot be opened, a
    // full disk) stays inside the logging core; the record is lost, the caller
    // goes on.
    core->set_exception_handler(logging::make_exception_suppressor());
    core->set_filter(logging::trivial::severity >= logging::trivial::trace);
    // The one global attribute the line shows (of the common ones, LineID,
    // ProcessID and ThreadID are never written, and each would cost every
    // record a value of its own). An earlier attempt may have added it.
    auto stamp = core->add_global_attribute("TimeStamp", logging::attributes::local_clock());
    try {
        // The time rule starts counting when it is first asked, which the sink
        // does only from the second record of a file on; a single record
        // before midnight would then not make the first one after it begin a
        // new file. Asking it whenever a file is opened starts the count
        // when the log begins writing.
        auto midnight = std::make_shared<MidnightRule>();
        auto backend = boost::make_shared<sinks::text_file_backend>(
            keywords::file_name = "qzlog_%N.txt",
            keywords::rotation_size = kRotationSize,
            keywords::time_based_rotation = [midnight] { return (*midnight)(); },
            keywords::auto_flush = true);
        backend->set_open_handler([midnight](std::ostream&) { midnight->ask(); });
        core->add_sink(boost::make_shared<LineSink>(std::move(backend)));
    } catch (...) {
        if (stamp.second) core->remove_global_attribute(stamp.first);
        throw;
    }
    g_ready.store(true, std::memory_order_release);
}

}  // namespace

static_assert(static_cast<int>(Severity::info) == severity_level::info &&
                  static_cast<int>(Severity::warning) == severity_level::warning &&
                  static_cast<int>(Severity::error) == severity_level::error &&
                  static_cast<int>(Severity::fatal) == severity_level::fatal,
              "Severity follows the trivial severity levels");

Severity severity_for_level(std::int32_t level) noexcept {
    switch (level) {
        case 1: return Severity::warning;
        case 2: return Severity::error;
        default: return Severity::info;
    }
}

void init() {
    g_wanted.store(true, std::memory_order_release);
    const ExclusiveLock lock(g_init_lock);
    if (!g_ready.load(std::memory_order_acquire)) set_up();
}

void write(const char* message, std::int32_t level) {
    if (message == nullptr) return;
    // A set-up that met a failure completes here, before the record: the log
    // is never left dead, nor half set up, for the rest of the process.
    if (g_wanted.load(std::memory_order_acquire) && !g_ready.load(std::memory_order_acquire)) init();
    // The record's own attribute, its severity: one constant set for each
    // severity the levels map to, made once and only read from then on.
    // Indexed by Severity (the trivial levels have the same order).
    static const std::array<logging::attribute_set, 6> severities = [] {
        std::array<logging::attribute_set, 6> sets;
        for (std::size_t i = 0; i < sets.size(); ++i)
            sets[i].insert(logging::trivial::severity.get_name(),
                           logging::attributes::constant<severity_level>(static_cast<severity_level>(i)));
        return sets;
    }();
    static const auto core = logging::core::get();  // the process's logging core, for good
    const auto& attributes = severities[static_cast<std::size_t>(severity_for_level(level))];
    // Opened against the core's filter; the message, byte for byte, becomes
    // the record's "Message" as a record stream would leave it; pushed to
    // the sink.
    if (auto record = core->open_record(attributes)) {
        record.attribute_values().insert(expr::smessage.get_name(),
                                         logging::attributes::make_attribute_value(std::string(message)));
        core->push_record(boost::move(record));
    }
}

}  // namespace qz::log
