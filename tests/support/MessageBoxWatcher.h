#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Waits on a thread of its own for a message box of this process, reads it
// while it is up and dismisses it with its first button. Start it before the
// code under test shows the box; read the results after Wait.
class TMessageBoxWatcher {
public:
    struct TSeen {
        bool found = false;
        std::string caption;
        std::string text;
        HICON icon = nullptr;
        HWND owner = nullptr;
        // Whether the watched window was enabled while the box was up.
        bool watchedEnabled = true;
    };

    // `watched` is a window whose enabled state is recorded while the box is
    // up; `whileUp` runs on the watching thread while the box is up, for
    // looking at the program's other windows at that moment.
    explicit TMessageBoxWatcher(HWND watched = nullptr, DWORD timeoutMs = 10000,
                                std::function<void()> whileUp = {})
        : whileUp_(std::move(whileUp)), thread_([this, watched, timeoutMs] { Watch(watched, timeoutMs); })
    {
    }
    ~TMessageBoxWatcher() { Wait(); }

    TMessageBoxWatcher(const TMessageBoxWatcher&) = delete;
    TMessageBoxWatcher& operator=(const TMessageBoxWatcher&) = delete;

    const TSeen& Wait()
    {
        if (thread_.joinable())
            thread_.join();
        return seen_;
    }

private:
    static std::string TextOf(HWND window)
    {
        char buffer[1024] = {};
        GetWindowTextA(window, buffer, sizeof buffer);
        return buffer;
    }

    static BOOL CALLBACK CheckWindow(HWND window, LPARAM data)
    {
        char name[16] = {};
        GetClassNameA(window, name, sizeof name);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (std::string(name) != "#32770" || process != GetCurrentProcessId() || !IsWindowVisible(window))
            return TRUE;
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
    }

    static HWND FindBox()
    {
        HWND found = nullptr;
        EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    void Watch(HWND watched, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!(box = FindBox())) {
            if (GetTickCount() - start > timeoutMs)
                return;
            Sleep(20);
        }
        seen_.found = true;
        seen_.caption = TextOf(box);
        seen_.text = TextOf(GetDlgItem(box, 0xFFFF));
        seen_.icon = reinterpret_cast<HICON>(SendDlgItemMessageA(box, 0x440, STM_GETICON, 0, 0));
        seen_.owner = GetWindow(box, GW_OWNER);
        if (watched)
            seen_.watchedEnabled = IsWindowEnabled(watched) != FALSE;
        if (whileUp_)
            whileUp_();
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }

    TSeen seen_;
    std::function<void()> whileUp_;
    std::thread thread_;
};
