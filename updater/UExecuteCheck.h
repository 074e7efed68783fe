#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/runtime/Handles.h"

// Holds a system-wide named mutex whose existence tells that the product is
// running or being replaced. The name is taken only when no object of that
// name existed; otherwise the blocker ends up holding nothing.
class TExecuteBlocker {
public:
    explicit TExecuteBlocker(const std::string& mutexName);

    TExecuteBlocker(const TExecuteBlocker&) = delete;
    TExecuteBlocker& operator=(const TExecuteBlocker&) = delete;

    HANDLE Handle() const { return mutex_.Get(); }
    void CloseMutex();
    bool IsBlocking() const { return static_cast<bool>(mutex_); }

private:
    TKernelHandle mutex_;
};

// The name stays taken while any copy of the reference lives.
using TExecuteGuard = std::shared_ptr<TExecuteBlocker>;

// Empty when the name already exists (the product runs) or cannot be taken.
TExecuteGuard BlockExecution(const std::string& mutexName);
