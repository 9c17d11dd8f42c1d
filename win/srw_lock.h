// A slim reader/writer lock of the system held exclusively for a scope. The
// lock needs no allocation, so taking it cannot fail where memory has run out
// (the runtime's mutex allocates on its first use, and on a thread of the
// host's also the thread library's record of that thread).
#pragma once
#include <windows.h>

namespace qz::win {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace qz::win
