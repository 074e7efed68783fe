#pragma once

#include <windows.h>

#include "framework/Components.h"

class TCanvas;

// A picture of any kind that draws itself into a rectangle of a canvas.
class TGraphic : public TPersistent {
public:
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Draw(TCanvas& canvas, const RECT& rect) = 0;
    // The palette the picture wants realised on palette displays, or none.
    virtual HPALETTE Palette() const { return nullptr; }
};
