#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "framework/runtime/Handles.h"

// Ends the process when one piece of work runs longer than the timeout: a
// hung reader cannot be stopped from inside, so the handler says what was
// running and the process ends with kHangExitCode.
class TWatchdog {
public:
    static constexpr unsigned kHangExitCode = 97;

    TWatchdog(DWORD timeoutMs, std::function<void()> onHang);
    ~TWatchdog();

    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

    // Marks the start and the end of one piece of work.
    void Begin() { startedAt_.store(GetTickCount64()); }
    void End() { startedAt_.store(0); }

private:
    static DWORD WINAPI Watch(void* self);

    DWORD timeoutMs_;
    std::function<void()> onHang_;
    std::atomic<std::uint64_t> startedAt_{0}; // 0 while idle
    TKernelHandle stop_;
    TKernelHandle thread_;
};
