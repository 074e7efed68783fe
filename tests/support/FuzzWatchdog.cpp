#include "tests/support/FuzzWatchdog.h"

TWatchdog::TWatchdog(DWORD timeoutMs, std::function<void()> onHang)
    : timeoutMs_(timeoutMs), onHang_(std::move(onHang)), stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      thread_(CreateThread(nullptr, 0, Watch, this, 0, nullptr))
{
}

TWatchdog::~TWatchdog()
{
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI TWatchdog::Watch(void* self)
{
    auto& watchdog = *static_cast<TWatchdog*>(self);
    while (WaitForSingleObject(watchdog.stop_.Get(), 50) == WAIT_TIMEOUT) {
        const std::uint64_t started = watchdog.startedAt_.load();
        if (started != 0 && GetTickCount64() - started > watchdog.timeoutMs_) {
            // Nothing may leave this thread's Win32 frame: the process ends
            // here whatever the handler does.
            try {
                watchdog.onHang_();
            } catch (...) {
            }
            TerminateProcess(GetCurrentProcess(), kHangExitCode);
        }
    }
    return 0;
}
