#pragma once

#include <windows.h>

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
    ~TGdiObject()
    {
        if (object_)
            DeleteObject(object_);
    }
    TGdiObject(const TGdiObject&) = delete;
    TGdiObject& operator=(const TGdiObject&) = delete;

    Handle Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Hands the object on; the scope no longer deletes it.
    Handle Release()
    {
        Handle object = object_;
        object_ = nullptr;
        return object;
    }

private:
    Handle object_;
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
