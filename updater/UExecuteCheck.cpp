#include "updater/UExecuteCheck.h"

namespace {

// The platform's answer for the name, with its error code as the only one
// set: a code left over from an earlier call cannot be taken for this one's.
HANDLE CreateOwnedMutex(const std::string& mutexName)
{
    SetLastError(ERROR_SUCCESS);
    return CreateMutexA(nullptr, TRUE, mutexName.c_str());
}

} // namespace

TExecuteBlocker::TExecuteBlocker(const std::string& mutexName) : mutex_(CreateOwnedMutex(mutexName))
{
    // Any code counts as refusal: ERROR_ALREADY_EXISTS comes with a handle to
    // the existing mutex, other codes (a name used by another kind of object)
    // with none.
    if (GetLastError() != ERROR_SUCCESS)
        CloseMutex();
}

void TExecuteBlocker::CloseMutex()
{
    mutex_.Close();
}

TExecuteGuard BlockExecution(const std::string& mutexName)
{
    auto blocker = std::make_shared<TExecuteBlocker>(mutexName);
    if (!blocker->IsBlocking())
        return {};
    return blocker;
}
