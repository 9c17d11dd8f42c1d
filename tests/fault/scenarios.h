// The sweep's scenarios: each calls a group of exports with valid arguments,
// as a host would, in a fresh process whose library has its imports hooked.
// A scenario reports each export's result together with the results the
// export documents for a failure; the sweep accepts the fault-free result or
// one of those.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testhost/engine_host.h"

namespace qz::test::fault {

struct Outcome {
    std::string label;
    std::string value;
    std::vector<std::string> failures;  // a trailing '*' accepts any rest
};

// One QZLog_Log call and the span of counted calls it made.
struct LoggedLine {
    std::string message;
    std::string severity;
    long first = 0, last = 0;  // calls() before and after
    bool armed = true;         // false: written after the fault plan cleared
};

// A thread of the host's that has called the library before, so that the
// runtime's records of it exist: it runs one job at a time, on request.
class HostThread {
public:
    HostThread();  // starts the thread; it meets the library once
    ~HostThread();
    HostThread(const HostThread&) = delete;
    HostThread& operator=(const HostThread&) = delete;
    void run(std::function<void()> job);  // on the thread; returns when done

private:
    static DWORD WINAPI main(void* self);
    std::function<void()> job_;
    HANDLE go_, done_, thread_;
};

struct Run {
    EngineHost& host;
    HostThread* known;  // started before the fault plan (null when the scenario loads the library)
    std::vector<Outcome> outcomes;
    std::vector<LoggedLine> lines;
    bool armed = true;
    bool lasting = false;  // the fault plan fails every call from its point on
    // The span of the round's repeatable step (Scenario::again), in calls()
    // before and after it; -1 until the round does it.
    long again_first = -1, again_last = -1;
    bool repeating = false;  // the step is being done a second time
    long offset = 0;         // added to calls() in the lines' spans (the repeat's, in the round's count)

    void out(std::string label, std::string value, std::vector<std::string> failures = {});
    // Writes one line through QZLog_Log, recording its span.
    void log(const std::string& message, std::int32_t level);
    // Does the scenario's repeatable step, recording its span.
    void repeatable(void (*step)(Run&));
};

struct Scenario {
    const char* name;
    void (*armed)(Run&);  // under the fault plan
    void (*after)(Run&);  // after it cleared (may be null)
    // A step of `armed` that can be done again in the same process and then
    // makes the same calls (null: none). `armed` does it through
    // Run::repeatable; the sweep does it a second time after the round, with
    // the run's fault at the same call when the fault fell inside it (see
    // tests/fault/repeat.h).
    void (*again)(Run&) = nullptr;
    // The scenario loads the library itself, under the plan: the run does not
    // load it before (nor bind it, nor start the known thread).
    bool loads = false;
    bool on_request = false;  // swept only when named (fault_sweep --only NAME)
};

const std::vector<Scenario>& scenarios();
const Scenario* find_scenario(const std::string& name);

// Stand-in COM objects the library still holds at the end of the run.
int live_com_objects();

}  // namespace qz::test::fault
