// The handle owners: each handle closed once, by its last owner.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "win32/scoped_win32.h"

namespace {

std::vector<int> closed;

void Record(int handle) noexcept
{
    closed.push_back(handle);
}
using Owned = UniqueHandle<int, Record>;

TEST(ScopedWin32, AHandleMovedOnIsClosedOnceByItsLastOwnerAndATakenOneNever)
{
    closed.clear();
    {
        Owned first(7);
        Owned second(std::move(first));
        Owned third;
        third = std::move(second);
        Owned empty;
        Owned taken(5);
        EXPECT_EQ(taken.Take(), 5);
        EXPECT_FALSE(taken);
        taken.Reset();
        EXPECT_TRUE(closed.empty());
    }
    EXPECT_EQ(closed, std::vector<int>{7});
}

TEST(ScopedWin32, AnOwnerGivenAnotherHandleClosesItsOwnFirst)
{
    closed.clear();
    Owned owner(1);
    owner.Reset(2);
    *owner.Receive() = 3;
    Owned other(4);
    owner = std::move(other);
    EXPECT_EQ(closed, (std::vector<int>{1, 2, 3}));
}

}  // namespace
