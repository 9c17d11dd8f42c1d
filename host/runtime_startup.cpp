// The C++ runtime's own set-up, done while the library loads, when memory is
// still to be had. These parts of the runtime (and of the file system
// library the log uses) prepare themselves on first use and do not survive
// a failed allocation while they do:
//   - the unwinder's once-only registration (the thread library's once
//     record, allocated on first use and never checked) and the sorted table
//     of the module's unwind records;
//   - the thread-local record of the exception in flight (allocated per
//     thread, with a thread-library key made on first use);
//   - the process's locale (the classic one is made once, under the thread
//     library's once record), and the file system library's, which converts
//     path names (made on first use; a first use that fails leaks its
//     conversion facet, and the next makes another);
//   - the lock of the runtime's emergency pool, which serves exceptions when
//     malloc fails. The thread library allocates a lock on its first use, and
//     this one is first used only when malloc has already failed: under a
//     lasting shortage its own failure throws again, without end.
// One locale, one path conversion and one exception made here set them all
// up; for the last, the first malloc of that exception is refused, so that
// its object comes from the pool.
#include "host/runtime_startup.h"

#include <boost/filesystem/path.hpp>
#include <cstddef>
#include <locale>

namespace {
bool g_refuse_next_malloc = false;  // set and read only while the library loads
}  // namespace

// Every malloc of the library's code (the runtime's included) comes here: the
// link wraps the name (-Wl,--wrap=malloc).
extern "C" void* __real_malloc(std::size_t size);
extern "C" void* __wrap_malloc(std::size_t size);
extern "C" void* __wrap_malloc(std::size_t size) {
    if (g_refuse_next_malloc) {
        g_refuse_next_malloc = false;
        return nullptr;
    }
    return __real_malloc(size);
}

namespace qz::host {
namespace {
[[gnu::noinline]] void throw_one() { throw 0; }
}  // namespace

void prepare_runtime() noexcept {
    try {
        const std::locale global;
        boost::filesystem::path::codecvt();
    } catch (...) {
    }
    g_refuse_next_malloc = true;
    try {
        throw_one();
    } catch (...) {
    }
    g_refuse_next_malloc = false;
}

}  // namespace qz::host
