#include "framework/ui/Clipboard.h"

EClipboardError::EClipboardError(DWORD platformError) : Exception("クリップボードを開けません", platformError) {}

TOpenClipboard::TOpenClipboard()
{
    if (!OpenClipboard(nullptr))
        throw EClipboardError();
}

TOpenClipboard::~TOpenClipboard()
{
    CloseClipboard();
}

std::vector<UINT> TOpenClipboard::Formats() const
{
    std::vector<UINT> formats;
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format))
        formats.push_back(format);
    return formats;
}

HANDLE TOpenClipboard::Data(UINT format) const
{
    return GetClipboardData(format);
}
