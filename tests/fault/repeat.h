// A scenario's repeatable step done a second time in the same process: the
// proof that heap blocks a fault left behind are kept for reuse, not leaked.
// A runtime may keep memory on purpose (the thread library keeps its record
// of a thread that ended for the next thread): such memory is made once and
// taken again, so the same failure met a second time leaves no more. A leak
// leaves more every time.
#pragma once
#include <string>
#include <vector>

namespace qz::test::fault {

struct Repeat {
    bool done = false;       // the step was done a second time
    bool faulted = false;    // with the run's fault, which the repeat met
    bool same_path = false;  // along the calls the step made the first time (see same_path)
    long blocks_before = 0, blocks_after = 0;  // heap blocks alive around the repeat
};

// Whether the repeat made the calls the step made the first time. `round`
// names the calls of the whole round in order, the step's are those after
// the first `first` up to `last`; `again` names the repeat's. With a fault
// at `at` (counted in the round), the calls up to and with the failed one
// count: what follows a failure may differ, since what the first failure
// left is what the second takes again. Without one (`at` 0), all of them.
bool same_path(const std::vector<std::string>& round, long first, long last, const std::vector<std::string>& again,
               long at);

// Whether the heap blocks a run left beyond the fault-free run are kept for
// reuse: its step met the same fault again along the same path and left no
// more blocks alive than the fault-free run's repeat of the step did.
bool kept_for_reuse(const Repeat& run, const Repeat& fault_free);

}  // namespace qz::test::fault
