// The fault plan of one process: which call of the library fails, and the
// books of what the library's calls hand out and take back.
//
// Every hooked call that can fail, and every method of the stand-in COM
// objects that can fail, asks take() first. While the plan is armed each such
// call is counted; in single mode the at-th call fails, in lasting mode every
// call from the at-th on. clear() ends the failures (the counting stops too)
// and leaves the books open, so that what is given back later still counts.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "win/srw_lock.h"

namespace qz::test::fault {

enum class Mode { off, count, single, lasting };

// What the hooks share is kept under a slim lock (win/srw_lock.h): they
// also run under the loader's lock (thread attach), where nothing may wait on
// another thread's start.
using win::ExclusiveLock;

// "none" (counted, nothing fails), "single", "lasting"; false if unknown.
bool parse_mode(const std::string& text, Mode& mode);

// Starts counting afresh; the books stay as they are.
void arm(Mode mode, long at);
void clear();

// Counts one call of `name` and says whether it fails; `caller` is where
// the library called from (for QZ_FAULT_STACKS).
bool take(const char* name, const void* caller = nullptr) noexcept;

long calls() noexcept;        // counted so far
long injected() noexcept;     // failures given so far
const char* first_hit() noexcept;  // name of the first failed call, or null
// The names of the counted calls in order.
std::vector<std::string> trace();

// The books. Blocks are heap blocks (the C runtime's and HeapAlloc's),
// handles kernel handles, streams C runtime FILEs. Only what was handed out
// while the books were open is followed.
enum class Kind { block, handle, stream };
void opened(Kind kind, std::intptr_t value);
void closed(Kind kind, std::intptr_t value);
std::size_t live(Kind kind);

// Where each live item of a kind was handed out, one text per item, sorted:
// its return addresses as "module+0xoffset", from the library's call on.
// Recorded only while keep_stacks is on (QZ_FAULT_STACKS=1 turns it on).
void keep_stacks(bool on);
std::vector<std::string> live_stacks(Kind kind);

}  // namespace qz::test::fault
