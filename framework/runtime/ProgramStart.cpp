#include "framework/runtime/ProgramStart.h"

namespace {

// Written once by the entry, before any other thread exists.
DWORD mainThreadId = 0;
DWORD platformId = 0;

} // namespace

void RecordProgramStart()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    mainThreadId = GetCurrentThreadId();
    platformId = version.dwPlatformId;
}

DWORD MainThreadId()
{
    return mainThreadId;
}

bool IsMainThread()
{
    return GetCurrentThreadId() == mainThreadId;
}

DWORD PlatformId()
{
    return platformId;
}

void SetPlatformIdForTests(DWORD id)
{
    platformId = id;
}
