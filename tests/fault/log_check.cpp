#include "tests/fault/log_check.h"

#include <regex>

namespace qz::test::fault {

LogVerdict check_log(const std::string& text, const std::vector<ExpectedLine>& expected) {
    static const std::regex kLine(R"(([01]\d|2[0-3]):[0-5]\d:[0-5]\d: (\w+) - (.*)\r)");
    LogVerdict v;
    std::vector<int> seen(expected.size(), 0);
    std::size_t last = 0;  // one past the latest expected line written so far
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        std::smatch m;
        if (end == std::string::npos || !std::regex_match(line, m, kLine)) {
            v.malformed.push_back(line);
            continue;
        }
        std::size_t i = 0;
        while (i < expected.size() && expected[i].message != m[3].str()) ++i;
        if (i == expected.size() || expected[i].severity != m[2].str()) {
            v.malformed.push_back(line);
            continue;
        }
        if (seen[i]++) {
            v.doubled.push_back(expected[i].message);
            continue;
        }
        if (i + 1 < last) v.reordered.push_back(expected[i].message);
        last = std::max(last, i + 1);
    }
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (!seen[i] && !expected[i].may_be_lost) v.lost.push_back(expected[i].message);
    return v;
}

}  // namespace qz::test::fault
