#pragma once

#include <windows.h>

#include <string>
#include <type_traits>
#include <utility>

// Scopes for the platform's paired calls: each gives back on leaving what it
// took, also when an error passes.

// The device context of a window, or of the screen for no window.
class TWindowDC {
public:
    explicit TWindowDC(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~TWindowDC()
    {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    TWindowDC(const TWindowDC&) = delete;
    TWindowDC& operator=(const TWindowDC&) = delete;

    HDC Handle() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A device context the program made (CreateDC, CreateCompatibleDC); none
// when the platform refused.
class TCreatedDC {
public:
    explicit TCreatedDC(HDC dc) : dc_(dc) {}
    ~TCreatedDC()
    {
        if (dc_)
            DeleteDC(dc_);
    }
    TCreatedDC(const TCreatedDC&) = delete;
    TCreatedDC& operator=(const TCreatedDC&) = delete;

    HDC Handle() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// A memory context like the given device's (the screen's for none).
class TMemoryDC : public TCreatedDC {
public:
    explicit TMemoryDC(HDC like = nullptr) : TCreatedDC(CreateCompatibleDC(like)) {}
};

// The painting of a window's invalid area, between BeginPaint and EndPaint.
class TPaintDC {
public:
    explicit TPaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~TPaintDC() { EndPaint(window_, &paint_); }
    TPaintDC(const TPaintDC&) = delete;
    TPaintDC& operator=(const TPaintDC&) = delete;

    HDC Handle() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context; the one it replaced goes back.
class TSelectedObject {
public:
    TSelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~TSelectedObject()
    {
        if (previous_)
            SelectObject(dc_, previous_);
    }
    TSelectedObject(const TSelectedObject&) = delete;
    TSelectedObject& operator=(const TSelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A palette selected into a device context, in the foreground or the
// background; the one it replaced goes back in the background.
class TSelectedPalette {
public:
    TSelectedPalette(HDC dc, HPALETTE palette, bool background)
        : dc_(dc), previous_(palette ? SelectPalette(dc, palette, background ? TRUE : FALSE) : nullptr)
    {
    }
    ~TSelectedPalette()
    {
        if (previous_)
            SelectPalette(dc_, previous_, TRUE);
    }
    TSelectedPalette(const TSelectedPalette&) = delete;
    TSelectedPalette& operator=(const TSelectedPalette&) = delete;

private:
    HDC dc_;
    HPALETTE previous_;
};

// The whole drawing state of a device context: mapping, colours, modes,
// clip region and selected objects.
class TSavedDCState {
public:
    explicit TSavedDCState(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}
    ~TSavedDCState()
    {
        if (saved_)
            RestoreDC(dc_, saved_);
    }
    TSavedDCState(const TSavedDCState&) = delete;
    TSavedDCState& operator=(const TSavedDCState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// A GDI object (bitmap, palette, brush, pen, font, region) owned for one
// scope unless released.
template <class Handle>
class TGdiObject {
public:
    explicit TGdiObject(Handle object = nullptr) : object_(object) {}
    ~TGdiObject() { Reset(); }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;

    Handle Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the object on; the scope no longer deletes it.
    Handle Release() { return std::exchange(object_, nullptr); }
    // Deletes the object held and takes the given one in its place.
    void Reset(Handle object = nullptr)
    {
        if (object_)
            DeleteObject(object_);
        object_ = object;
    }

private:
    Handle object_;
};

// The clip region of a device context, given back on leaving (no region
// when it had none). Not saved when no region could be made for the copy.
class TSavedClipRegion {
public:
    explicit TSavedClipRegion(HDC dc) : dc_(dc), region_(CreateRectRgn(0, 0, 0, 0))
    {
        had_ = region_ && GetClipRgn(dc_, region_.Get()) == 1;
    }
    ~TSavedClipRegion()
    {
        if (region_)
            SelectClipRgn(dc_, had_ ? region_.Get() : nullptr);
    }
    TSavedClipRegion(const TSavedClipRegion&) = delete;
    TSavedClipRegion& operator=(const TSavedClipRegion&) = delete;

private:
    HDC dc_;
    TGdiObject<HRGN> region_;
    bool had_ = false;
};

// A handle of a kernel object (file, mutex, event, thread, process) owned
// for one scope. Both answers of failure, null and INVALID_HANDLE_VALUE,
// hold nothing.
class TKernelHandle {
public:
    explicit TKernelHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~TKernelHandle() { Close(); }
    TKernelHandle(const TKernelHandle&) = delete;
    TKernelHandle& operator=(const TKernelHandle&) = delete;

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Closes it now; false when the platform reports a failure (for a
    // file, that what was written may not have reached the disk).
    bool Close()
    {
        HANDLE handle = std::exchange(handle_, nullptr);
        return !handle || CloseHandle(handle);
    }

private:
    HANDLE handle_;
};

// A search of a folder, from FindFirstFile to FindClose: Found answers
// whether Entry holds an entry; Next moves on to the following one.
class TFindFile {
public:
    explicit TFindFile(const std::string& pattern) : find_(FindFirstFileA(pattern.c_str(), &entry_)) {}
    ~TFindFile()
    {
        if (find_ != INVALID_HANDLE_VALUE)
            FindClose(find_);
    }
    TFindFile(const TFindFile&) = delete;
    TFindFile& operator=(const TFindFile&) = delete;

    bool Found() const { return found_; }
    const WIN32_FIND_DATAA& Entry() const { return entry_; }
    bool Next()
    {
        found_ = found_ && FindNextFileA(find_, &entry_);
        return found_;
    }

private:
    WIN32_FIND_DATAA entry_{};
    HANDLE find_;
    bool found_ = find_ != INVALID_HANDLE_VALUE;
};

// Global memory locked in place for one scope; Data is null when the block
// could not be locked.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
    ~TGlobalLock()
    {
        if (data_)
            GlobalUnlock(memory_);
    }
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;

    void* Data() const { return data_; }
    SIZE_T Size() const { return GlobalSize(memory_); }

private:
    HGLOBAL memory_;
    void* data_;
};

// A file that is deleted on leaving unless it has been kept (moved into
// another's place, say). An empty path names no file.
class TFileDeletion {
public:
    explicit TFileDeletion(std::string path) : path_(std::move(path)) {}
    ~TFileDeletion()
    {
        if (!path_.empty())
            DeleteFileA(path_.c_str());
    }
    TFileDeletion(const TFileDeletion&) = delete;
    TFileDeletion& operator=(const TFileDeletion&) = delete;

    const std::string& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

// A registry key opened for reading; not open when the key is missing.
class TRegistryKey {
public:
    TRegistryKey(HKEY root, const char* path)
    {
        if (RegOpenKeyExA(root, path, 0, KEY_READ, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~TRegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    bool IsOpen() const { return key_ != nullptr; }
    HKEY Handle() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The platform's nesting lock. Unlike the standard library's mutexes it
// cannot fail on locking, so no error path (and none of the library's
// error classes) comes with it.
class TCriticalSection {
public:
    TCriticalSection() { InitializeCriticalSection(&section_); }
    ~TCriticalSection() { DeleteCriticalSection(&section_); }
    TCriticalSection(const TCriticalSection&) = delete;
    TCriticalSection& operator=(const TCriticalSection&) = delete;

    void Lock() { EnterCriticalSection(&section_); }
    bool TryLock() { return TryEnterCriticalSection(&section_) != FALSE; }
    void Unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Runs an action when the scope ends, also when an error passes. The action
// runs in a destructor, so it must not raise.
template <class Action>
class TScopeExit {
public:
    static_assert(std::is_nothrow_invocable_v<Action&>, "the action of a scope exit must be noexcept");

    explicit TScopeExit(Action action) : action_(std::move(action)) {}
    ~TScopeExit() { action_(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    Action action_;
};
