#include <gtest/gtest.h>

#include <thread>

#include "framework/runtime/ProgramStart.h"

namespace {

TEST(ProgramStart, TheMainThreadIsTheOneThatStartedTheProgramWhoeverAsksFirst)
{
    // A worker asks before this thread does: the answer must still be the
    // thread that ran the program's start, not the first one to ask.
    DWORD seenByWorker = 0;
    bool workerIsMain = true;
    std::thread worker([&] {
        seenByWorker = MainThreadId();
        workerIsMain = IsMainThread();
    });
    worker.join();
    EXPECT_EQ(seenByWorker, GetCurrentThreadId());
    EXPECT_FALSE(workerIsMain);
    EXPECT_TRUE(IsMainThread());
}

TEST(ProgramStart, PlatformIsTheOneTheSystemReportsUntilATestReplacesIt)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    const DWORD real = PlatformId();
    EXPECT_EQ(real, version.dwPlatformId);

    SetPlatformIdForTests(VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(PlatformId(), static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    SetPlatformIdForTests(real);
    EXPECT_EQ(PlatformId(), real);
}

} // namespace
