#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "framework/runtime/Handles.h"
#include "tests/support/TestSupport.h"
#include "tests/support/UiDriver.h"
#include "updater/UExecuteCheck.h"

namespace {

// Only the stand-in test below may use the product's own name: test programs
// run side by side, and each other test takes a name of its own.
const char kProductMutex[] = "Zelmoria.3.0.Tessaro";

TEST(BlockExecution, SecondHoldIsRefusedUntilTheLastReferenceIsDropped)
{
    const std::string name = UniqueName("Zelmoria.test.hold");
    TExecuteGuard first = BlockExecution(name);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->IsBlocking());
    EXPECT_NE(first->Handle(), nullptr);
    EXPECT_FALSE(BlockExecution(name));

    TExecuteGuard copy = first;
    first.reset();
    EXPECT_FALSE(BlockExecution(name));
    copy.reset();
    EXPECT_TRUE(BlockExecution(name));
}

TEST(BlockExecution, NameOfAnotherKindOfObjectCountsAsRunning)
{
    const std::string name = UniqueName("Zelmoria.test.event");
    {
        const TKernelHandle event(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
        ASSERT_TRUE(event);
        EXPECT_FALSE(BlockExecution(name));
    }
    EXPECT_TRUE(BlockExecution(name));
}

TEST(ExecuteBlocker, RefusedBlockerHoldsNothingAndClosingFreesTheName)
{
    const std::string name = UniqueName("Zelmoria.test.close");
    TExecuteBlocker holder(name);
    ASSERT_TRUE(holder.IsBlocking());
    {
        TExecuteBlocker refused(name);
        EXPECT_FALSE(refused.IsBlocking());
        EXPECT_EQ(refused.Handle(), nullptr);
    }
    // The refused blocker must not have closed the holder's mutex.
    EXPECT_FALSE(TExecuteBlocker(name).IsBlocking());

    holder.CloseMutex();
    EXPECT_FALSE(holder.IsBlocking());
    EXPECT_EQ(holder.Handle(), nullptr);
    holder.CloseMutex();
    EXPECT_TRUE(TExecuteBlocker(name).IsBlocking());
}

bool NameExists(const char* name)
{
    return static_cast<bool>(TKernelHandle(OpenMutexA(SYNCHRONIZE, FALSE, name)));
}

TEST(BlockExecution, RefusedWhileTheProductRunsAndGrantedAfterItEnded)
{
    TProcess product(StandInPath("3.0.4.0"));
    ASSERT_TRUE(WaitUntil([] { return NameExists(kProductMutex); }, 30000));

    EXPECT_FALSE(BlockExecution(kProductMutex));

    product.Close();
    ASSERT_TRUE(product.WaitForExit(0));
    TExecuteGuard guard = BlockExecution(kProductMutex);
    EXPECT_TRUE(guard);
}

} // namespace
