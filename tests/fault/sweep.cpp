// The fault sweep: every call of the library that can fail is failed in turn,
// in a fresh process each, and the host must live through it.
//
//   fault_sweep                     the sweep (exit 0: single faults all held,
//                                   lasting faults all left the host alive)
//   fault_sweep --only S            the sweep of scenario S alone
//   fault_sweep --only S MODE K     the same checks for one run (reproduction)
//   fault_sweep --scenario S --fault none|single|lasting --at K
//                                   one run (what the sweep starts): writes
//                                   result.txt into the current folder
//
// QZ_FAULT_JOBS (2) runs at once, QZ_FAULT_LASTING_POINTS (16) lasting faults
// per scenario (an even spread), QZ_FAULT_EVERY (1) single faults at every
// N-th fault point only (where each run is slow: under emulation),
// QZ_FAULT_RUN_SECONDS (15) per run;
// QZ_FAULT_STACKS=1 makes each run print the stack of every failure it gives,
// and a run that leaves heap blocks beyond the fault-free run say where those
// were made (module+offset frames, for addr2line after adding the image base).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testhost/engine_host.h"
#include "testhost/fault/gate.h"
#include "testhost/fault/imports.h"
#include "testhost/fault/plan.h"
#include "testhost/test_support.h"
#include "tests/fault/log_check.h"
#include "tests/fault/repeat.h"
#include "tests/fault/scenarios.h"

namespace qz::test::fault {
namespace {

// Values and texts on one line of the result file.
std::string escape(const std::string& s) {
    std::string e;
    for (char c : s) {
        if (c == '\\') e += "\\\\";
        else if (c == '\n') e += "\\n";
        else if (c == '\r') e += "\\r";
        else if (c == '\t') e += "\\t";
        else e += c;
    }
    return e;
}

std::vector<std::string> split(const std::string& s, char by) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = s.find(by, from)) != std::string::npos; from = at + 1) parts.push_back(s.substr(from, at - from));
    parts.push_back(s.substr(from));
    return parts;
}

const char* mode_name(Mode m) { return m == Mode::single ? "single" : m == Mode::lasting ? "lasting" : "none"; }

// ---------------------------------------------------------------- one run

LONG WINAPI on_crash(EXCEPTION_POINTERS* e) {
    std::fprintf(stderr, "crash: exception 0x%08lx at %p\n", static_cast<unsigned long>(e->ExceptionRecord->ExceptionCode),
                 e->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), e->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// The scenario's repeatable step a second time, after the round (not under
// a lasting fault, whose round does without the step): with the run's fault
// at the same call when the fault fell inside the step's first time, else
// without one. `round`: the round's calls.
Repeat repeat_step(const Scenario& scenario, Run& run, Mode mode, long at, const std::vector<std::string>& round) {
    Repeat r;
    if (!scenario.again || run.again_first < 0 || (mode != Mode::count && mode != Mode::single)) return r;
    const bool inside = mode == Mode::single && run.again_first < at && at <= run.again_last;
    r.done = true;
    r.blocks_before = static_cast<long>(live(Kind::block));
    arm(inside ? Mode::single : Mode::count, inside ? at - run.again_first : 0);
    run.repeating = true;
    run.offset = run.again_first;
    scenario.again(run);
    run.repeating = false;
    run.offset = 0;
    r.blocks_after = static_cast<long>(live(Kind::block));
    r.faulted = inside && injected() == 1;
    r.same_path = same_path(round, run.again_first, run.again_last, trace(), inside ? at : 0);
    return r;
}

int run_one(const Scenario& scenario, Mode mode, long at) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(on_crash);
    if (!scenario.loads) {
        install(Library::get().handle());
        if (std::getenv("QZ_FAULT_STACKS")) std::fprintf(stderr, "library at %p\n", static_cast<void*>(Library::get().handle()));
    }
    g_com_gate = [](const char* method, HRESULT failure) { return take(method) ? failure : S_OK; };
    EngineHost host;
    std::optional<HostThread> known;
    if (!scenario.loads) known.emplace();
    Run run{host, known ? &*known : nullptr, {}, {}};
    run.lasting = mode == Mode::lasting;
    // The engine binds first; the host scenario sweeps the binding itself.
    if (!scenario.loads && std::string(scenario.name) != "host") host.bind();
    arm(mode, at);
    scenario.armed(run);
    const long round_calls = calls(), round_injected = injected();
    const char* const round_hit = first_hit();
    const std::vector<std::string> round = trace();
    const Repeat again = repeat_step(scenario, run, mode, at, round);
    clear();
    run.armed = false;
    if (scenario.after) scenario.after(run);

    std::ofstream out("result.txt", std::ios::binary);
    out << "calls " << round_calls << "\ninjected " << round_injected << "\nhit " << (round_hit ? round_hit : "-")
        << "\nlive " << live(Kind::block) << ' ' << live(Kind::handle) << ' ' << live(Kind::stream) << ' '
        << live_com_objects() << '\n';
    if (again.done)
        out << "again " << again.faulted << ' ' << again.same_path << ' ' << again.blocks_before << ' '
            << again.blocks_after << '\n';
    if (mode == Mode::count)
        for (const std::string& name : round) out << "trace " << name << '\n';
    for (const std::string& name : lookups()) out << "lookup " << name << '\n';
    for (const std::string& stack : live_stacks(Kind::block)) out << "block " << stack << '\n';
    for (const Outcome& o : run.outcomes) {
        out << "out " << escape(o.label) << '\t' << escape(o.value);
        for (const std::string& f : o.failures) out << '\t' << escape(f);
        out << '\n';
    }
    for (const LoggedLine& l : run.lines)
        out << "line " << l.message << '\t' << l.severity << '\t' << l.first << '\t' << l.last << '\t' << l.armed << '\n';
    out << "end\n";
    return out.good() ? 0 : 1;
}

// ------------------------------------------------------------- the sweep

enum Fault { crash, hang, wrong, leak, lost, malformed, order, kFaultKinds };
const char* const kFaultNames[kFaultKinds] = {"crash/abort", "hang", "wrong result", "leak",
                                              "lost line", "malformed line", "doubled/reordered line"};

// What the sweep reads back from one run.
struct Report {
    bool finished = false, parsed = false;
    DWORD exit_code = 0;
    double seconds = 0;
    long calls = 0, injected = 0;
    std::string hit, output, log_text;
    std::size_t live[4] = {};
    std::vector<std::string> trace, lookups;
    std::vector<std::string> block_stacks;  // QZ_FAULT_STACKS: where each live block was made, sorted
    Repeat again;
    std::vector<std::vector<std::string>> outs;  // label, value, failures...
    std::vector<LoggedLine> lines;
};

struct Job {
    const Scenario* scenario;
    Mode mode;
    long at;
};

std::string read_all(const std::string& path) {
    std::string s;
    read_file(path, s);
    return s;
}

void read_back(const std::string& dir, Report& r) {
    r.output = read_all(dir + "\\output.txt");
    std::vector<std::string> files;
    WIN32_FIND_DATAA fd;
    const HANDLE find = FindFirstFileA((dir + "\\qzlog_*.txt").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do files.push_back(fd.cFileName);
        while (FindNextFileA(find, &fd));
        FindClose(find);
    }
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return std::atol(a.c_str() + 6) < std::atol(b.c_str() + 6);
    });
    for (const std::string& f : files) r.log_text += read_all(dir + "\\" + f);

    std::istringstream in(read_all(dir + "\\result.txt"));
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "calls") r.calls = std::atol(rest.c_str());
        else if (key == "injected") r.injected = std::atol(rest.c_str());
        else if (key == "hit") r.hit = rest == "-" ? "" : rest;
        else if (key == "live") std::istringstream(rest) >> r.live[0] >> r.live[1] >> r.live[2] >> r.live[3];
        else if (key == "trace") r.trace.push_back(rest);
        else if (key == "lookup") r.lookups.push_back(rest);
        else if (key == "block") r.block_stacks.push_back(rest);
        else if (key == "again") {
            std::istringstream in(rest);
            in >> r.again.faulted >> r.again.same_path >> r.again.blocks_before >> r.again.blocks_after;
            r.again.done = !in.fail();
        }
        else if (key == "out") r.outs.push_back(split(rest, '\t'));
        else if (key == "line") {
            const auto f = split(rest, '\t');
            if (f.size() == 5) r.lines.push_back({f[0], f[1], std::atol(f[2].c_str()), std::atol(f[3].c_str()), f[4] == "1"});
        } else if (key == "end") r.parsed = true;
    }
}

// Runs jobs, `jobs` at a time, each in a fresh folder of its own under
// `root`; done(job, report) for each. The folders' names all have the same
// length: a run's allocations follow the length of its paths.
template <class Done>
void run_jobs(const std::string& root, const std::vector<Job>& list, int jobs, DWORD limit_ms, Done&& done) {
    struct Slot {
        Job job;
        std::string dir;
        RunningChild child{};
        ULONGLONG started = 0;
    };
    static int folders = 0;
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::vector<Slot> running;
    std::size_t next = 0;
    const auto finish = [&](std::size_t i, bool finished) {
        Slot& s = running[i];
        const ChildResult ended = s.child.wait(finished ? 10000 : 0);
        Report r;
        r.finished = ended.finished;
        r.exit_code = ended.exit_code;
        r.seconds = static_cast<double>(GetTickCount64() - s.started) / 1000.0;
        read_back(s.dir, r);
        done(s.job, r);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    };
    while (next < list.size() || !running.empty()) {
        while (next < list.size() && running.size() < static_cast<std::size_t>(jobs)) {
            char name[16];
            std::snprintf(name, sizeof name, "\\r%06d", folders++);
            Slot s{list[next++], root + name};
            CreateDirectoryA(s.dir.c_str(), nullptr);
            ChildOptions options(s.dir);
            options.output = s.dir + "\\output.txt";
            const bool started = start_child(
                s.child, exe,
                {"--scenario", s.job.scenario->name, "--fault", mode_name(s.job.mode), "--at", std::to_string(s.job.at)},
                options);
            s.started = GetTickCount64();
            if (!started) {
                Report r;
                r.finished = true;
                r.exit_code = GetLastError();
                r.output = "cannot start the run";
                done(s.job, r);
                continue;
            }
            running.push_back(std::move(s));
        }
        if (running.empty()) continue;
        std::vector<HANDLE> handles;
        ULONGLONG soonest = ~0ull;
        for (const Slot& s : running) {
            handles.push_back(s.child.pi.hProcess);
            soonest = std::min(soonest, s.started + limit_ms);
        }
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = static_cast<DWORD>(soonest > now ? soonest - now : 0);
        const DWORD w = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, wait);
        if (w < WAIT_OBJECT_0 + handles.size()) {
            finish(w - WAIT_OBJECT_0, true);
            continue;
        }
        for (std::size_t i = running.size(); i-- > 0;)
            if (GetTickCount64() >= running[i].started + limit_ms) finish(i, false);
    }
}

// What a run said that tells most: the runtime's last words, else its first line.
std::string telling_line(const std::string& text) {
    std::istringstream in(text);
    std::string first, last_words;
    for (std::string line; std::getline(in, line) && last_words.empty();) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (first.empty()) first = line;
        if (line.find("terminate") != std::string::npos || line.find("crash:") != std::string::npos) last_words = line;
    }
    const std::string& said = last_words.empty() ? first : last_words;
    return said.size() > 140 ? said.substr(0, 140) + "..." : said;
}

bool accepted(const std::string& value, const std::vector<std::string>& failures) {
    for (const std::string& f : failures) {
        if (value == f) return true;
        if (!f.empty() && f.back() == '*' && value.compare(0, f.size() - 1, f, 0, f.size() - 1) == 0) return true;
    }
    return false;
}

// With QZ_FAULT_STACKS: where the blocks alive after the run but not after
// the fault-free one were made, and the other way round (a block made on
// another path in one run; both lists sorted, alike stacks count each).
std::string made_at(const std::vector<std::string>& run, const std::vector<std::string>& fault_free) {
    std::vector<std::string> more, fewer;
    std::set_difference(run.begin(), run.end(), fault_free.begin(), fault_free.end(), std::back_inserter(more));
    std::set_difference(fault_free.begin(), fault_free.end(), run.begin(), run.end(), std::back_inserter(fewer));
    std::string s;
    for (const std::string& stack : more) s += "\n    made at " + stack;
    for (const std::string& stack : fewer) s += "\n    fault-free only, made at " + stack;
    return s;
}

// The checks of one run against the scenario's fault-free run: which kinds
// of fault it shows, and what went wrong, in words. Heap blocks beyond the
// fault-free run's that the repeat of the step shows kept for reuse are no
// leak: `kept` says so, in words.
std::vector<std::pair<Fault, std::string>> judge(const Job& job, const Report& r, const Report& base,
                                                 std::string* kept = nullptr) {
    std::vector<std::pair<Fault, std::string>> found;
    if (!r.finished) return {{hang, "killed at the time limit"}};
    if (r.exit_code == 3) return {{crash, "abort (exit 3): " + telling_line(r.output)}};
    if (r.exit_code != 0 || !r.parsed) {
        char code[64];
        std::snprintf(code, sizeof code, "exit 0x%08lx%s", static_cast<unsigned long>(r.exit_code),
                      r.exit_code < 0x100 ? ", no result" : "");
        return {{crash, std::string(code) + ": " + telling_line(r.output)}};
    }
    // Results: the fault-free one or a documented failure.
    for (std::size_t i = 0; i < r.outs.size() && i < base.outs.size(); ++i) {
        const auto& o = r.outs[i];
        if (o.size() < 2 || o[1] == base.outs[i][1] || accepted(o[1], {o.begin() + 2, o.end()})) continue;
        found.push_back({wrong, o[0] + " = \"" + o[1] + "\", fault-free \"" + base.outs[i][1] + "\""});
    }
    if (r.outs.size() != base.outs.size()) found.push_back({wrong, "results missing"});
    // Books: nothing more left alive than the fault-free run leaves.
    const char* const what[4] = {"heap blocks", "handles", "streams", "COM objects"};
    for (int i = 0; i < 4; ++i) {
        if (r.live[i] <= base.live[i]) continue;
        const std::string more = std::to_string(r.live[i] - base.live[i]) + " " + what[i] + " more alive than fault-free";
        if (i == 0 && kept_for_reuse(r.again, base.again)) {
            if (kept)
                *kept = more + "; the same fault in a second run of the step left " +
                        std::to_string(r.again.blocks_after - r.again.blocks_before) + ", fault-free " +
                        std::to_string(base.again.blocks_after - base.again.blocks_before) +
                        made_at(r.block_stacks, base.block_stacks);
            continue;
        }
        found.push_back({leak, more + (i == 0 ? made_at(r.block_stacks, base.block_stacks) : "")});
    }
    // The log: only the lines the fault may cost are missing.
    if (!base.lines.empty()) {
        std::vector<ExpectedLine> expected;
        for (const LoggedLine& l : r.lines) {
            const bool costs = job.mode == Mode::single ? (l.first < job.at && job.at <= l.last)
                                                        : (job.mode == Mode::lasting && l.armed && l.last >= job.at);
            expected.push_back({l.message, l.severity, costs});
        }
        const LogVerdict v = check_log(r.log_text, expected);
        const auto list = [](const std::vector<std::string>& items) {
            std::string s;
            for (const auto& i : items) s += (s.empty() ? "\"" : ", \"") + escape(i) + "\"";
            return s;
        };
        if (!v.lost.empty()) found.push_back({lost, "lost " + list(v.lost)});
        if (!v.malformed.empty()) found.push_back({malformed, "malformed " + list(v.malformed)});
        if (!v.doubled.empty()) found.push_back({order, "doubled " + list(v.doubled)});
        if (!v.reordered.empty()) found.push_back({order, "reordered " + list(v.reordered)});
    }
    return found;
}

// Under a lasting fault the host must live and the log recover; other results are reported.
bool fails_the_sweep(const Job& job, Fault kind) {
    return job.mode == Mode::single || kind == crash || kind == hang || kind == lost || kind == malformed ||
           kind == order;
}

int env_number(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

// Every import must be hooked or listed as never failing.
int check_imports(const std::set<std::string>& looked_up) {
    int hooked = 0, never = 0, unclassified = 0;
    for (const Import& i : imports_of(Library::get().handle())) {
        const std::string c = i.delayed ? std::string() : classify(i.dll, i.name);
        if (c == "hooked") ++hooked;
        else if (!c.empty()) ++never;
        else {
            ++unclassified;
            std::printf("fault sweep: UNCLASSIFIED import %s!%s%s\n", i.dll.c_str(), i.name.c_str(),
                        i.delayed ? " (delay-loaded: not patched)" : "");
        }
    }
    for (const std::string& l : looked_up) {
        const std::size_t bang = l.find('!');
        if (classify(l.substr(0, bang), l.substr(bang + 1)).empty()) {
            ++unclassified;
            std::printf("fault sweep: UNCLASSIFIED run-time look-up %s\n", l.c_str());
        }
    }
    std::printf("fault sweep: imports: %d hooked, %d never failed, %d unclassified; %zu looked up at run time\n",
                hooked, never, unclassified, looked_up.size());
    return unclassified;
}

// `scenario`: only its runs; `only`: only these runs (of one scenario), with their output.
int sweep(const Scenario* scenario, const std::vector<Job>* only) {
    const ULONGLONG t0 = GetTickCount64();
    const int jobs = env_number("QZ_FAULT_JOBS", 2);
    const int points = env_number("QZ_FAULT_LASTING_POINTS", 16);
    const int every = env_number("QZ_FAULT_EVERY", 1);
    const DWORD limit = static_cast<DWORD>(env_number("QZ_FAULT_RUN_SECONDS", 15)) * 1000;
    // Loaded here too, before any run: the module queries find it in this
    // process, so every run walks the same processes.
    Library::get();
    std::printf("fault sweep: %s, %s DLL, %d at a time\n", "qzutilities.dll", sizeof(void*) == 8 ? "x86_64" : "i686", jobs);

    // The fault-free runs: each scenario's count of fault points and its results.
    std::vector<Job> bases;
    for (const Scenario& s : scenarios())
        if (scenario ? scenario == &s : !s.on_request) bases.push_back({&s, Mode::count, 0});
    std::map<const Scenario*, Report> base;
    int bad_bases = 0;
    double base_seconds = 0;
    std::set<std::string> looked_up;
    const TempDir root;
    run_jobs(root.path(), bases, jobs, limit, [&](const Job& job, const Report& r) {
        base[job.scenario] = r;
        base_seconds += r.seconds;
        looked_up.insert(r.lookups.begin(), r.lookups.end());
        auto problems = judge(job, r, r);
        for (const auto& o : r.outs)
            if (o.size() >= 2 && accepted(o[1], {o.begin() + 2, o.end()}))
                problems.push_back({wrong, o[0] + " = \"" + o[1] + "\" is a failure result"});
        if (job.scenario->again && !r.again.done)
            problems.push_back({wrong, "the repeatable step was not done"});
        else if (r.again.done && !r.again.same_path)
            problems.push_back({wrong, "the repeatable step made other calls its second time"});
        for (const auto& [kind, text] : problems) {
            ++bad_bases;
            std::printf("FAIL fault-free %s: %s: %s\n", job.scenario->name, kFaultNames[kind], text.c_str());
        }
    });
    const int unclassified = check_imports(looked_up);
    std::printf("fault sweep: a fault-free run takes %.2f s\n", bases.empty() ? 0.0 : base_seconds / bases.size());

    std::vector<Job> list;
    long total_points = 0;
    for (const Scenario& scenario : scenarios()) {
        if (!base.count(&scenario)) continue;
        const Scenario* s = &scenario;
        const Report& r = base[s];
        total_points += r.calls;
        if (only) continue;
        long singles = 0;
        for (long k = 1; k <= r.calls; k += every, ++singles) list.push_back({s, Mode::single, k});
        const long n = std::min<long>(r.calls, points);
        for (long i = 0; i < n; ++i) list.push_back({s, Mode::lasting, n == 1 ? 1 : 1 + i * (r.calls - 1) / (n - 1)});
        std::printf("fault sweep: scenario %-8s %4ld fault points, %ld single, %ld lasting\n", s->name, r.calls,
                    singles, n);
    }
    if (only) list = *only;

    struct Tally {
        int runs = 0, failed = 0, not_reached = 0, kept = 0, kinds[kFaultKinds] = {};
        double seconds = 0;
    } tally[2];
    std::vector<std::string> failures;
    std::map<std::string, int> unreached;
    run_jobs(root.path(), list, jobs, limit, [&](const Job& job, const Report& r) {
        Tally& t = tally[job.mode == Mode::lasting];
        ++t.runs;
        t.seconds += r.seconds;
        if (r.parsed && r.injected == 0) ++t.not_reached, ++unreached[job.scenario->name];
        if (only) std::printf("run output:\n%s\nlog files:\n%s\n", r.output.c_str(), r.log_text.c_str());
        const Report& b = base[job.scenario];
        const std::string fn = !r.hit.empty() ? r.hit : job.at <= static_cast<long>(b.trace.size()) ? b.trace[job.at - 1] : "?";
        bool counted = false;
        std::string kept;
        const auto found = judge(job, r, b, &kept);
        if (!kept.empty()) {
            ++t.kept;
            failures.push_back(std::string("kept ") + mode_name(job.mode) + " " + job.scenario->name + " k=" +
                               std::to_string(job.at) + " " + fn + ": " + kept);
        }
        for (const auto& [kind, text] : found) {
            ++t.kinds[kind];
            const bool fatal = fails_the_sweep(job, kind);
            if (fatal && !counted) ++t.failed, counted = true;
            failures.push_back(std::string(fatal ? "FAIL " : "note ") + mode_name(job.mode) + " " + job.scenario->name +
                               " k=" + std::to_string(job.at) + " " + fn + ": " + kFaultNames[kind] + ": " + text);
        }
    });
    std::sort(failures.begin(), failures.end());
    for (const std::string& f : failures) std::printf("%s\n", f.c_str());

    std::printf("fault sweep: %zu scenarios, %ld fault points, %zu runs\n", base.size(), total_points, list.size());
    for (int m = 0; m < 2; ++m) {
        const Tally& t = tally[m];
        std::printf("fault sweep: %s faults: %d runs (%d not reached), %d failed:", m ? "lasting" : "single", t.runs,
                    t.not_reached, t.failed);
        for (int k = 0; k < kFaultKinds; ++k) std::printf("%s %s %d", k ? "," : "", kFaultNames[k], t.kinds[k]);
        std::printf("; kept for reuse %d; %.2f s a run\n", t.kept, t.runs ? t.seconds / t.runs : 0.0);
    }
    if (!unreached.empty()) {
        std::printf("fault sweep: runs that made fewer calls than the fault-free one (no fault given):");
        for (const auto& [name, n] : unreached) std::printf(" %s %d", name.c_str(), n);
        std::printf("\n");
    }
    std::printf("fault sweep: lasting faults fail the sweep for a crash, a hang or a broken log; wrong results and "
                "leaks under them are notes. Kept for reuse: heap blocks beyond the fault-free run's that the same "
                "fault in a second run of the scenario's repeatable step did not add to\n");
    const bool ok = !bad_bases && !unclassified && !tally[0].failed && !tally[1].failed;
    std::printf("fault sweep: %s in %.1f s\n", ok ? "passed" : "FAILED", static_cast<double>(GetTickCount64() - t0) / 1000.0);
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace qz::test::fault

int main(int argc, char** argv) {
    using namespace qz::test::fault;
    // (A test runner's --gtest_* options are not ours: the sweep writes no report file.)
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--gtest_", 0) != 0) args.push_back(argv[i]);
    Mode mode = Mode::off;
    if (args.size() == 6 && args[0] == "--scenario" && args[2] == "--fault" && args[4] == "--at") {
        const Scenario* s = find_scenario(args[1]);
        if (!s || !parse_mode(args[3], mode)) return 2;
        return run_one(*s, mode, std::atol(args[5].c_str()));
    }
    if ((args.size() == 2 || args.size() == 4) && args[0] == "--only") {
        const Scenario* s = find_scenario(args[1]);
        if (!s || (args.size() == 4 && (!parse_mode(args[2], mode) || mode == Mode::count))) {
            std::fprintf(stderr, "usage: fault_sweep --only SCENARIO [single|lasting K]\n");
            return 2;
        }
        if (args.size() == 2) return sweep(s, nullptr);
        const std::vector<Job> one = {{s, mode, std::atol(args[3].c_str())}};
        return sweep(s, &one);
    }
    if (!args.empty()) {
        std::fprintf(stderr, "usage: fault_sweep [--only SCENARIO [single|lasting K]]\n");
        return 2;
    }
    return sweep(nullptr, nullptr);
}
