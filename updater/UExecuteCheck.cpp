#include "updater/UExecuteCheck.h"

TExecuteBlocker::TExecuteBlocker(const std::string& mutexName)
{
    // Cleared first so that a code left over from an earlier call cannot be
    // taken for this one's.
    SetLastError(ERROR_SUCCESS);
    handle_ = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    // Any code counts as refusal: ERROR_ALREADY_EXISTS comes with a handle to
    // the existing mutex, other codes (a name used by another kind of object)
    // with none.
    if (GetLastError() != ERROR_SUCCESS)
        CloseMutex();
}

TExecuteBlocker::~TExecuteBlocker()
{
    CloseMutex();
}

void TExecuteBlocker::CloseMutex()
{
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

TExecuteGuard BlockExecution(const std::string& mutexName)
{
    auto blocker = std::make_shared<TExecuteBlocker>(mutexName);
    if (!blocker->IsBlocking())
        return {};
    return blocker;
}
