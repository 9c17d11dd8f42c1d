#include "testhost/fault/plan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
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
    // QZ_FAULT_STACKS=1: where each live item was handed out (return addresses).
    bool keep_stacks = std::getenv("QZ_FAULT_STACKS") != nullptr;
    std::unordered_map<std::intptr_t, std::vector<void*>> stacks[3];
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
    const ExclusiveLock lock(s.lock);
    s.mode = mode;
    s.at = at;
    s.calls = s.injected = 0;
    s.first_hit = nullptr;
    s.trace.clear();
    s.books_open = mode != Mode::off;
}

void clear() {
    State& s = state();
    const ExclusiveLock lock(s.lock);
    s.mode = Mode::off;
}

bool take(const char* name, const void* caller) noexcept {
    State& s = state();
    const ExclusiveLock lock(s.lock);
    if (s.mode == Mode::off) return false;
    const long n = ++s.calls;
    try {
        s.trace.push_back(name);
    } catch (...) {
    }
    if (s.mode == Mode::count) return false;
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
    const ExclusiveLock lock(s.lock);
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
    void* frames[24];
    const USHORT depth = s.keep_stacks ? RtlCaptureStackBackTrace(1, 24, frames, nullptr) : 0;
    const ExclusiveLock lock(s.lock);
    if (!s.books_open) return;
    s.live[static_cast<int>(kind)].insert(value);
    if (s.keep_stacks) s.stacks[static_cast<int>(kind)][value].assign(frames, frames + depth);
}

void closed(Kind kind, std::intptr_t value) {
    const KeepErrors keep;
    State& s = state();
    const ExclusiveLock lock(s.lock);
    s.live[static_cast<int>(kind)].erase(value);
    s.stacks[static_cast<int>(kind)].erase(value);
}

std::size_t live(Kind kind) {
    State& s = state();
    const ExclusiveLock lock(s.lock);
    return s.live[static_cast<int>(kind)].size();
}

void keep_stacks(bool on) {
    State& s = state();
    const ExclusiveLock lock(s.lock);
    s.keep_stacks = on;
}

std::vector<std::string> live_stacks(Kind kind) {
    std::vector<std::vector<void*>> found;
    {
        State& s = state();
        const ExclusiveLock lock(s.lock);
        for (const auto& [value, frames] : s.stacks[static_cast<int>(kind)])
            if (s.live[static_cast<int>(kind)].count(value)) found.push_back(frames);
    }
    // Each frame as module+offset, which another process of the same
    // programs gives alike; the frames inside the fault harness are left out.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&live_stacks), &self);
    std::vector<std::string> texts;
    for (const auto& frames : found) {
        std::string text;
        for (void* frame : frames) {
            if (!frame) break;  // the walk's end (what may follow is no frame)
            HMODULE module = nullptr;
            char path[MAX_PATH] = "?";
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCSTR>(frame), &module);
            if (module == self && text.empty()) continue;
            if (module) GetModuleFileNameA(module, path, MAX_PATH);
            const char* name = path;
            for (const char* c = path; *c; ++c)
                if (*c == '\\' || *c == '/') name = c + 1;
            char frame_text[MAX_PATH + 32];
            std::snprintf(frame_text, sizeof frame_text, "%s%s+0x%llx", text.empty() ? "" : " ", name,
                          static_cast<unsigned long long>(static_cast<const char*>(frame) -
                                                          reinterpret_cast<const char*>(module)));
            text += frame_text;
        }
        texts.push_back(std::move(text));
    }
    std::sort(texts.begin(), texts.end());
    return texts;
}

}  // namespace qz::test::fault
