#pragma once

#include <windows.h>

// The device-independent form of any bitmap handle in its own depth
// (uncompressed; deeper than 8 bits without a table): the size of the info
// header with its colour table, and of the pixels.
void GetDIBSizes(HBITMAP bitmap, DWORD& infoHeaderSize, DWORD& imageSize);
// Exports header, colour table and pixels in that form into buffers of those
// sizes, the colours taken through the palette when one is given. The
// bitmap must not be selected into a context. False when the platform
// refuses.
bool GetDIB(HBITMAP bitmap, HPALETTE palette, void* info, void* bits);
