#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/TestSupport.h"
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
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_FALSE(BlockExecution(name));
    CloseHandle(event);
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

struct TWindowSearch {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM search) noexcept
{
    auto& wanted = *reinterpret_cast<TWindowSearch*>(search);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != wanted.processId)
        return TRUE;
    wanted.window = window;
    return FALSE;
}

bool NameExists(const char* name)
{
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (!opened)
        return false;
    CloseHandle(opened);
    return true;
}

// The stand-in product as a child process; ended by force if a test leaves
// it running.
class TStandInProcess {
public:
    explicit TStandInProcess(const std::string& path)
    {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = "\"" + path + "\"";
        started_ = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_);
    }

    ~TStandInProcess()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, kPatience);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    TStandInProcess(const TStandInProcess&) = delete;
    TStandInProcess& operator=(const TStandInProcess&) = delete;

    bool Started() const { return started_; }

    bool WaitUntilNameExists(const char* name) const
    {
        for (DWORD waited = 0; waited < kPatience; waited += kPoll) {
            if (NameExists(name))
                return true;
            if (WaitForSingleObject(process_.hProcess, kPoll) == WAIT_OBJECT_0)
                return false;
        }
        return false;
    }

    // Asks the window to close as a user would; ends the process by force
    // when it has no window or does not go.
    bool Close() const
    {
        TWindowSearch search{process_.dwProcessId, nullptr};
        for (DWORD waited = 0; !search.window && waited < kPatience; waited += kPoll) {
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
            if (!search.window)
                Sleep(kPoll);
        }
        if (search.window)
            PostMessageA(search.window, WM_CLOSE, 0, 0);
        if (!search.window || WaitForSingleObject(process_.hProcess, kPatience) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        return WaitForSingleObject(process_.hProcess, kPatience) == WAIT_OBJECT_0;
    }

private:
    static constexpr DWORD kPatience = 30000;
    static constexpr DWORD kPoll = 50;

    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

TEST(BlockExecution, RefusedWhileTheProductRunsAndGrantedAfterItEnded)
{
    TStandInProcess product(StandInPath("3.0.4.0"));
    ASSERT_TRUE(product.Started()) << StandInPath("3.0.4.0");
    ASSERT_TRUE(product.WaitUntilNameExists(kProductMutex));

    EXPECT_FALSE(BlockExecution(kProductMutex));

    ASSERT_TRUE(product.Close());
    TExecuteGuard guard = BlockExecution(kProductMutex);
    EXPECT_TRUE(guard);
}

} // namespace
