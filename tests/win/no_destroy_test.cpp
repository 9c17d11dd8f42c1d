// The never-destroyed holder (win/no_destroy.h): it builds its object from
// the arguments given, keeps it where its alignment asks, and never runs its
// destructor, also not at exit.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "win/no_destroy.h"

namespace {

using qz::win::NoDestroy;

int g_destroyed = 0;

struct Counted {
    Counted(std::unique_ptr<int> owned, int& seen) : owned(std::move(owned)), seen(&seen) {}
    ~Counted() { ++g_destroyed; }
    std::unique_ptr<int> owned;
    int* seen;
};

struct alignas(64) Wide {
    unsigned char bytes[3];
};

// A static holder's destructor is trivial: nothing is registered to run at exit.
static_assert(std::is_trivially_destructible_v<NoDestroy<Counted>>);
static_assert(std::is_trivially_destructible_v<NoDestroy<std::string>>);
static_assert(!std::is_copy_constructible_v<NoDestroy<int>> && !std::is_copy_assignable_v<NoDestroy<int>>);
static_assert(alignof(NoDestroy<Wide>) == 64 && sizeof(NoDestroy<Wide>) == sizeof(Wide));

TEST(NoDestroy, BuildsFromTheArgumentsAndNeverDestroys) {
    g_destroyed = 0;
    int seen = 0;
    {
        NoDestroy<Counted> holder(std::make_unique<int>(7), seen);  // a move-only and a reference argument
        ASSERT_TRUE(holder.get().owned);
        EXPECT_EQ(*holder.get().owned, 7);
        EXPECT_EQ(holder.get().seen, &seen);
        EXPECT_EQ(&holder.get(), &holder.get());
        holder.get().owned.reset();  // the holder never frees it
        EXPECT_FALSE(holder.get().owned);
    }
    EXPECT_EQ(g_destroyed, 0);
}

TEST(NoDestroy, KeepsTheObjectsAlignment) {
    NoDestroy<char> before('x');
    NoDestroy<Wide> wide;
    NoDestroy<char> after('y');
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&wide.get()) % 64, 0u);
    EXPECT_EQ(before.get(), 'x');
    EXPECT_EQ(after.get(), 'y');
}

}  // namespace
