#include "framework/runtime/ProgramStart.h"

namespace {

struct TStartRecord {
    DWORD mainThreadId;
    DWORD platformId;
};

TStartRecord& Record()
{
    static TStartRecord record = [] {
        OSVERSIONINFOA version{};
        version.dwOSVersionInfoSize = sizeof version;
        GetVersionExA(&version);
        return TStartRecord{GetCurrentThreadId(), version.dwPlatformId};
    }();
    return record;
}

// Static initialisation runs on the main thread before the program's entry,
// so the record is taken there even when the first question comes later from
// another thread.
const bool recordedAtStart = (Record(), true);

} // namespace

DWORD MainThreadId()
{
    return Record().mainThreadId;
}

bool IsMainThread()
{
    return GetCurrentThreadId() == Record().mainThreadId;
}

DWORD PlatformId()
{
    return Record().platformId;
}

void SetPlatformIdForTests(DWORD platformId)
{
    Record().platformId = platformId;
}
