#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/graphics/Bitmap.h"

class TFont;

// A small picture of the program's own bitmap resources, drawn with its
// bottom-left colour transparent, as the folder and drive lists show them.
std::unique_ptr<TBitmap> LoadListPicture(const std::string& name);

// Draws one owner-drawn list row: the picture at the indent, then the text,
// in the selection's colours, with the focus frame.
void DrawListRow(const DRAWITEMSTRUCT& item, TFont& font, TBitmap& picture, int indent, const std::string& text);
