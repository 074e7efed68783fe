#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Every visible top-level window of another process, looked for about every
// millisecond on a thread of its own from the making of this object until the
// process ends. Unlike the hook of TShownWindows, which sees one thread, it
// sees the windows of all the process's threads, and those that Windows
// shows on the process's behalf.
class TWindowsSeen {
public:
    struct TSeen {
        HWND window;
        std::string className;
        std::string caption;
    };

    // The process handle must stay open while this object lives.
    TWindowsSeen(HANDLE process, DWORD processId);
    ~TWindowsSeen();
    TWindowsSeen(const TWindowsSeen&) = delete;
    TWindowsSeen& operator=(const TWindowsSeen&) = delete;

    // Waits for the process to end, then answers each window seen, in the
    // order first seen, with its class and caption at that moment.
    std::vector<TSeen> UntilExit();

private:
    void Poll();

    HANDLE process_;
    DWORD processId_;
    std::mutex mutex_;
    std::vector<TSeen> seen_;
    std::thread thread_;
};
