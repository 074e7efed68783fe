#pragma once

#include <windows.h>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/runtime/Components.h"

// Rectangle arithmetic, part-of-bitmap stretching, platform tests and the
// interface query shared by the bitmap toolkit and the image-pack library.

int RectWidth(const RECT& rect);
int RectHeight(const RECT& rect);
// Division truncates toward zero: the centre of (-3, -3, 0, 0) is (-1, -1).
POINT RectCenter(const RECT& rect);
// The rectangle moved so that its centre is the point.
RECT CenterRectAt(const RECT& rect, POINT center);
// A rectangle at the rectangle's top-left with its aspect ratio, as large as
// fits maxWidth x maxHeight (MulDiv rounding).
RECT ScaleToFit(const RECT& rect, int maxWidth, int maxHeight);
// The source scaled to fit the frame, centred on the frame's centre.
RECT FitRectCentered(const RECT& source, const RECT& frame);
// No width or no height; a reversed rectangle is not degenerate.
bool IsRectDegenerate(const RECT& rect);

// Stretches the part source of the bitmap into destination on the canvas,
// with the bitmap's own drawing of a part, on every path of it (transparent,
// printer); draws nothing when either rectangle has no width or height. The
// bitmap's context and its mapping are left alone.
void StretchDrawPart(TCanvas& canvas, const RECT& destination, TBitmap& bitmap, const RECT& source);

// The platform family recorded at program start.
bool IsWinNT();
int ScreenBitsPerPixel();
// A screen of 8 bits per pixel or fewer shows colours through a palette.
bool IsPaletteScreen();

// Asks an object for an interface: through the object's own IUnknown when
// it has one. Answers true and a counted reference in out on success; false
// and no reference otherwise.
bool QueryObjectInterface(TObject* object, REFIID id, void** out);
