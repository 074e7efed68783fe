#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "framework/runtime/Handles.h"

// Scopes for the paired calls that only the tests and their tools make, in
// the manner of framework/runtime/Handles.h: each gives back on leaving what
// it took, also when an error or a failed assertion passes.

// A module loaded for one scope (as a program or as data only); none when
// it could not be loaded.
class TLoadedModule {
public:
    explicit TLoadedModule(const std::string& path, DWORD flags = 0)
        : module_(LoadLibraryExA(path.c_str(), nullptr, flags))
    {
    }
    ~TLoadedModule()
    {
        if (module_)
            FreeLibrary(module_);
    }
    TLoadedModule(const TLoadedModule&) = delete;
    TLoadedModule& operator=(const TLoadedModule&) = delete;

    HMODULE Get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }

private:
    HMODULE module_;
};

// A window hook installed for one scope; none when the platform refused.
class TWindowsHook {
public:
    explicit TWindowsHook(HHOOK hook) : hook_(hook) {}
    ~TWindowsHook()
    {
        if (hook_)
            UnhookWindowsHookEx(hook_);
    }
    TWindowsHook(const TWindowsHook&) = delete;
    TWindowsHook& operator=(const TWindowsHook&) = delete;

    explicit operator bool() const { return hook_ != nullptr; }

private:
    HHOOK hook_;
};

// A window the test made, destroyed on leaving.
class TOwnedWindow {
public:
    explicit TOwnedWindow(HWND window) : window_(window) {}
    ~TOwnedWindow()
    {
        if (window_)
            DestroyWindow(window_);
    }
    TOwnedWindow(const TOwnedWindow&) = delete;
    TOwnedWindow& operator=(const TOwnedWindow&) = delete;

    HWND Get() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

private:
    HWND window_;
};

// Pages reserved and committed, read and write, for one scope; Data is null
// when they could not be had.
class TVirtualPages {
public:
    explicit TVirtualPages(SIZE_T size)
        : base_(static_cast<unsigned char*>(VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)))
    {
    }
    ~TVirtualPages()
    {
        if (base_)
            VirtualFree(base_, 0, MEM_RELEASE);
    }
    TVirtualPages(const TVirtualPages&) = delete;
    TVirtualPages& operator=(const TVirtualPages&) = delete;

    unsigned char* Data() const { return base_; }

private:
    unsigned char* base_;
};

// The bytes in a block of moveable global memory, as the clipboard holds
// them; freed with the object unless handed on.
class TGlobalCopy {
public:
    explicit TGlobalCopy(const std::vector<std::uint8_t>& bytes) : block_(GlobalAlloc(GMEM_MOVEABLE, bytes.size()))
    {
        if (!block_ || bytes.empty())
            return;
        const TGlobalLock lock(block_);
        if (lock.Data())
            std::memcpy(lock.Data(), bytes.data(), bytes.size());
    }
    ~TGlobalCopy()
    {
        if (block_)
            GlobalFree(block_);
    }
    TGlobalCopy(const TGlobalCopy&) = delete;
    TGlobalCopy& operator=(const TGlobalCopy&) = delete;

    HGLOBAL Get() const { return block_; }
    // Hands the block to a new holder, the clipboard for one.
    HGLOBAL Release() { return std::exchange(block_, nullptr); }

private:
    HGLOBAL block_;
};

// A timer of the calling thread, without a window, that calls its procedure
// from the thread's message loop until the scope ends.
class TThreadTimer {
public:
    TThreadTimer(UINT intervalMs, TIMERPROC onTime) : timer_(SetTimer(nullptr, 0, intervalMs, onTime)) {}
    ~TThreadTimer()
    {
        if (timer_)
            KillTimer(nullptr, timer_);
    }
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;

private:
    UINT_PTR timer_;
};

// The process's filter of unhandled faults; the one it replaced goes back.
class TUnhandledFaultFilter {
public:
    explicit TUnhandledFaultFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
        : previous_(SetUnhandledExceptionFilter(filter))
    {
    }
    ~TUnhandledFaultFilter() { SetUnhandledExceptionFilter(previous_); }
    TUnhandledFaultFilter(const TUnhandledFaultFilter&) = delete;
    TUnhandledFaultFilter& operator=(const TUnhandledFaultFilter&) = delete;

private:
    LPTOP_LEVEL_EXCEPTION_FILTER previous_;
};

// The process's working folder moved for one scope; the one before comes
// back.
class TWorkingFolder {
public:
    explicit TWorkingFolder(const std::string& folder) : previous_(Current())
    {
        SetCurrentDirectoryA(folder.c_str());
    }
    ~TWorkingFolder() { SetCurrentDirectoryA(previous_.c_str()); }
    TWorkingFolder(const TWorkingFolder&) = delete;
    TWorkingFolder& operator=(const TWorkingFolder&) = delete;

private:
    static std::string Current()
    {
        char folder[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, folder);
        return folder;
    }

    std::string previous_;
};

// An update of an executable's resources: written by Commit, thrown away
// when the scope ends without it.
class TResourceUpdate {
public:
    explicit TResourceUpdate(const std::string& path) : update_(BeginUpdateResourceA(path.c_str(), FALSE)) {}
    ~TResourceUpdate()
    {
        if (update_)
            EndUpdateResourceA(update_, TRUE);
    }
    TResourceUpdate(const TResourceUpdate&) = delete;
    TResourceUpdate& operator=(const TResourceUpdate&) = delete;

    HANDLE Get() const { return update_; }
    explicit operator bool() const { return update_ != nullptr; }
    // Writes the changes into the file; false when that failed.
    bool Commit() { return EndUpdateResourceA(std::exchange(update_, nullptr), FALSE) != FALSE; }

private:
    HANDLE update_;
};
