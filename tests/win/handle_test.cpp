// The kernel-handle owner: what it closes, when, how often (never a handle
// it goes on holding or has released), and that a close leaves the thread's
// last-error code as it found it. One traits type records
// the closes (and spoils the error code, as a failing close would); the
// kernel's own traits close real handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "win/handle.h"

namespace {

using qz::win::KernelHandleTraits;
using qz::win::UniqueHandle;

std::vector<HANDLE> g_closed;

struct RecordingTraits : KernelHandleTraits {
    void close(HANDLE h) const noexcept {
        g_closed.push_back(h);
        SetLastError(ERROR_INVALID_HANDLE);
    }
};
using Recorded = UniqueHandle<RecordingTraits>;

HANDLE fake(std::uintptr_t n) { return reinterpret_cast<HANDLE>(n); }

constexpr DWORD kPlanted = 0x20001234;  // a customer-defined code no call here sets

class Owner : public ::testing::Test {
protected:
    void SetUp() override { g_closed.clear(); }
};

TEST_F(Owner, ClosesWhatItHoldsOnceOnResetReassignmentAndDestruction) {
    {
        Recorded a(fake(0x10));
        a.reset(fake(0x20));
        EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x10)}));
        EXPECT_EQ(a.get(), fake(0x20));
        a.reset();
        EXPECT_EQ(g_closed.size(), 2u);
        EXPECT_FALSE(a);
        EXPECT_EQ(a.get(), INVALID_HANDLE_VALUE);
        a.reset(fake(0x30));
    }
    EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x10), fake(0x20), fake(0x30)}));
}

TEST_F(Owner, NullAndInvalidHoldNothingAndAreNeverClosed) {
    {
        Recorded empty;
        Recorded null_handle(nullptr);
        Recorded invalid(INVALID_HANDLE_VALUE);
        EXPECT_FALSE(empty || null_handle || invalid);
        null_handle.reset();
        invalid.reset(nullptr);
    }
    EXPECT_TRUE(g_closed.empty());
    EXPECT_TRUE(Recorded(fake(0x40)));
}

TEST_F(Owner, MovesHandOverTheHandleWithoutClosingIt) {
    {
        Recorded a(fake(0x10));
        Recorded b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), fake(0x10));
        EXPECT_TRUE(g_closed.empty());
        Recorded c(fake(0x20));
        c = std::move(b);  // c's own handle goes first
        EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x20)}));
        EXPECT_EQ(c.get(), fake(0x10));
        EXPECT_FALSE(b);
    }
    EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x20), fake(0x10)}));
}

TEST_F(Owner, ResetToTheHandleHeldKeepsItOpenAndHeld) {
    {
        Recorded a(fake(0x10));
        a.reset(fake(0x10));
        a.reset(a.get());
        EXPECT_TRUE(g_closed.empty()) << "closed the handle it goes on holding";
        EXPECT_EQ(a.get(), fake(0x10));
        Recorded none;
        none.reset(INVALID_HANDLE_VALUE);  // the empty value again: nothing to close either way
        EXPECT_TRUE(g_closed.empty());
    }
    EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x10)})) << "closed once, at the end";
}

TEST_F(Owner, ReleaseHandsTheHandleOnUnclosed) {
    {
        Recorded a(fake(0x10));
        SetLastError(kPlanted);
        const HANDLE h = a.release();
        EXPECT_EQ(h, fake(0x10));
        EXPECT_FALSE(a);
        EXPECT_EQ(a.get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), kPlanted);
        a.reset(fake(0x20));  // the owner is usable again, and did not close the released one
        EXPECT_TRUE(g_closed.empty());
        Recorded b(a.release());
        EXPECT_EQ(b.get(), fake(0x20));
    }
    EXPECT_EQ(g_closed, (std::vector<HANDLE>{fake(0x20)})) << "only the owner holding it closes";
}

TEST_F(Owner, ACloseKeepsTheThreadsLastErrorCode) {
    {
        Recorded a(fake(0x10));
        SetLastError(kPlanted);
        a.reset();
        EXPECT_EQ(GetLastError(), kPlanted) << "reset";
        a.reset(fake(0x20));
        SetLastError(kPlanted + 1);
    }
    EXPECT_EQ(GetLastError(), kPlanted + 1) << "destruction";
    ASSERT_EQ(g_closed.size(), 2u);
}

TEST(KernelOwner, AReleasedOrReheldHandleStaysOpen) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    DWORD flags = 0;
    {
        UniqueHandle<KernelHandleTraits> owner(event);
        owner.reset(event);
        EXPECT_TRUE(GetHandleInformation(event, &flags)) << "reset to the same handle closed it";
        EXPECT_EQ(owner.release(), event);
    }
    EXPECT_TRUE(GetHandleInformation(event, &flags)) << "the released handle was closed";
    EXPECT_TRUE(CloseHandle(event));
}

TEST(KernelOwner, ClosesTheKernelObjectAndKeepsTheCodeAlsoWhenTheCloseFails) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    DWORD flags = 0;
    {
        UniqueHandle<KernelHandleTraits> owner(event);
        ASSERT_TRUE(GetHandleInformation(event, &flags));
        SetLastError(kPlanted);
    }
    EXPECT_EQ(GetLastError(), kPlanted);
    EXPECT_FALSE(GetHandleInformation(event, &flags)) << "the event's handle is still open";
    // The same value again: the system refuses to close it a second time, and
    // says so in the last-error code, which the owner puts back.
    SetLastError(kPlanted);
    UniqueHandle<KernelHandleTraits>(event).reset();
    EXPECT_EQ(GetLastError(), kPlanted);
    SetLastError(0);
    EXPECT_FALSE(qz::win::close_kernel_handle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << "the refusal the owner hid";
}

}  // namespace
