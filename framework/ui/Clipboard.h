#pragma once

#include <windows.h>

#include <vector>

#include "framework/runtime/Components.h"
#include "framework/runtime/Errors.h"

// Raised when the clipboard cannot be opened: another window holds it.
class EClipboardError : public Exception {
public:
    explicit EClipboardError(DWORD platformError = GetLastError());
};

// The system clipboard as a source that pictures can be assigned from; what
// it holds is read through TOpenClipboard.
class TClipboard : public TPersistent {};

// The clipboard held open for reading for one scope.
class TOpenClipboard {
public:
    TOpenClipboard();
    ~TOpenClipboard();
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;

    // In the clipboard's own order.
    std::vector<UINT> Formats() const;
    // Stays the clipboard's; 0 when the format is not there.
    HANDLE Data(UINT format) const;
};
