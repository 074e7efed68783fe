#pragma once

#include <windows.h>

class TStream;

// Palette services: the program-wide default palette and conversions between
// palettes and DIB colour tables. Every palette answered, the default one
// apart, belongs to the caller.

// The palette resource "DefaultPalette" of type "Palette" of the program, or
// else a copy of the halftone palette, filled to 256 entries with the
// system's static colours at both ends. Made and realised on the screen on
// first use; deleted at program end.
HPALETTE GetDefaultPalette();

// A RIFF palette resource of the module; 0 when it is missing or malformed.
HPALETTE LoadPaletteResource(HMODULE module, const char* name, const char* type);
// RIFF palette data at the stream's position; 0 for anything else, for data
// over 1,028 bytes and for more than 256 entries.
HPALETTE ReadRiffPalette(TStream& stream);
// A palette of the halftone palette's entries.
HPALETTE CopyHalftonePalette();

// Resizes the palette to count entries: the base entries (the stock default
// palette's static colours, or black and white) split between both ends, the
// palette's own colours after the first half of them, then fillers, without
// two equal colours. Refused (false, palette unchanged) for a count over 256
// or below the number of base entries.
bool FillPalette(HPALETTE palette, bool blackAndWhiteBase, int count);

// Writes the palette's entries as colour-table entries, at most capacity of
// them (a table holds 2, 16 or 256); answers how many. 0 for no palette.
int PaletteToColorTable(HPALETTE palette, RGBQUAD* table, int capacity);
// A palette of count colour-table entries; 0 for a count over 256 or below 1.
HPALETTE ColorTableToPalette(const RGBQUAD* table, int count);
