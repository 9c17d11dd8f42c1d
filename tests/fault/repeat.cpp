#include "tests/fault/repeat.h"

#include <algorithm>

namespace qz::test::fault {

bool same_path(const std::vector<std::string>& round, long first, long last, const std::vector<std::string>& again,
               long at) {
    if (first < 0 || last < first || static_cast<long>(round.size()) < last) return false;
    if (at == 0)
        return static_cast<long>(again.size()) == last - first &&
               std::equal(round.begin() + first, round.begin() + last, again.begin());
    if (at <= first || at > last || static_cast<long>(again.size()) < at - first) return false;
    return std::equal(round.begin() + first, round.begin() + at, again.begin());
}

bool kept_for_reuse(const Repeat& run, const Repeat& fault_free) {
    return run.done && run.faulted && run.same_path && fault_free.done && fault_free.same_path &&
           run.blocks_after - run.blocks_before <= fault_free.blocks_after - fault_free.blocks_before;
}

}  // namespace qz::test::fault
