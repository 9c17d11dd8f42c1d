#include "testhost/fault/plan.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unordered_set>

namespace qz::test::fault {
namespace {

struct State {
    SRWLOCK lock = SRWLOCK_INIT;
    Mode mode = Mode::off;
    bool books_open = false;
    long at = 0;
    long calls = 0;
    long injected = 0;
    const char* first_hit = nullptr;
    std::vector<const char*> trace;
    std::unordered_set<std::intptr_t> live[3];
};

// Never destroyed: the library may still call in while the process ends.
State& state() {
    static State* const s = new State;
    return *s;
}

}  // namespace

bool parse_mode(const std::string& text, Mode& mode) {
    if (text == "none") mode = Mode::count;
    else if (text == "single") mode = Mode::single;
    else if (text == "lasting") mode = Mode::lasting;
    else return false;
    return true;
}

void arm(Mode mode, long at) {
    State& s = state();
    Guard guard(s.lock);
    s.mode = mode;
    s.at = at;
    s.calls = s.injected = 0;
    s.first_hit = nullptr;
    s.trace.clear();
    s.books_open = mode != Mode::off;
}

void clear() {
    State& s = state();
    Guard guard(s.lock);
    s.mode = Mode::off;
}

bool take(const char* name, const void* caller) noexcept {
    State& s = state();
    Guard guard(s.lock);
    if (s.mode == Mode::off) return false;
    const long n = ++s.calls;
    if (s.mode == Mode::count) {
        try {
            s.trace.push_back(name);
        } catch (...) {
        }
        return false;
    }
    const bool fails = s.mode == Mode::single ? n == s.at : n >= s.at;
    if (!fails) return false;
    if (s.injected++ == 0) s.first_hit = name;
    // QZ_FAULT_STACKS=1: where each failure was given, for a symbolizer.
    static const bool stacks = std::getenv("QZ_FAULT_STACKS") != nullptr;
    if (stacks) {
        void* frames[16];
        const USHORT depth = RtlCaptureStackBackTrace(1, 16, frames, nullptr);
        std::fprintf(stderr, "fault %ld %s from %p:", n, name, caller);
        for (USHORT i = 0; i < depth; ++i) std::fprintf(stderr, " %p", frames[i]);
        std::fprintf(stderr, "\n");
    }
    return true;
}

long calls() noexcept { return state().calls; }
long injected() noexcept { return state().injected; }
const char* first_hit() noexcept { return state().first_hit; }

std::vector<std::string> trace() {
    State& s = state();
    Guard guard(s.lock);
    return {s.trace.begin(), s.trace.end()};
}

// Keeping the books leaves the caller's last-error code and errno as the call left them.
struct KeepErrors {
    DWORD error = GetLastError();
    int err = errno;
    ~KeepErrors() {
        SetLastError(error);
        errno = err;
    }
};

void opened(Kind kind, std::intptr_t value) {
    const KeepErrors keep;
    State& s = state();
    Guard guard(s.lock);
    if (s.books_open) s.live[static_cast<int>(kind)].insert(value);
}

void closed(Kind kind, std::intptr_t value) {
    const KeepErrors keep;
    State& s = state();
    Guard guard(s.lock);
    s.live[static_cast<int>(kind)].erase(value);
}

std::size_t live(Kind kind) {
    State& s = state();
    Guard guard(s.lock);
    return s.live[static_cast<int>(kind)].size();
}

}  // namespace qz::test::fault
