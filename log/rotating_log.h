// The rotating text log: "qzlog_%N.txt" in the directory current at set-up,
// a new file every 10 MiB and at local midnight, every record flushed.
#pragma once
#include <cstdint>

namespace qz::log {

constexpr std::uintmax_t kRotationSize = 10 * 1024 * 1024;

// Severities as the trivial severity type numbers them.
enum class Severity { trace, debug, info, warning, error, fatal };

// 1 is a warning, 2 an error, anything else info.
Severity severity_for_level(std::int32_t level) noexcept;

// Registers the file sink, the core filter and the "TimeStamp" attribute
// (local clock), all or nothing: a call that meets a failure leaves none of
// them and throws, and the next init() or write() completes the set-up. A
// further call keeps the sink that exists, so no record is written twice and
// the file being written is not reopened (which would empty it).
void init();

// Writes one record (severity by level, the message verbatim) through the
// logging core; a null message writes nothing.
void write(const char* message, std::int32_t level);

}  // namespace qz::log
