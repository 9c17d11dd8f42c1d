// What a run's log files must hold: every line the run wrote, once, in order
// and well formed ("HH:MM:SS: <severity> - <message>"), except the lines the
// run's fault was allowed to cost.
#pragma once
#include <string>
#include <vector>

namespace qz::test::fault {

struct ExpectedLine {
    std::string message;   // unique within a run
    std::string severity;  // info, warning, error
    bool may_be_lost = false;
};

struct LogVerdict {
    std::vector<std::string> lost;       // messages missing that had to be there
    std::vector<std::string> malformed;  // lines that are not a line of the run
    std::vector<std::string> doubled;    // messages written more than once
    std::vector<std::string> reordered;  // messages written before one logged earlier
    bool clean() const { return lost.empty() && malformed.empty() && doubled.empty() && reordered.empty(); }
};

// `text`: the log files' contents, oldest file first.
LogVerdict check_log(const std::string& text, const std::vector<ExpectedLine>& expected);

}  // namespace qz::test::fault
