#pragma once

class TBitBtn;

// Puts the bitmap "Button" on a glyph button: the main window's update
// button and the start buttons of the dialogs.
void LoadButtonGlyph(TBitBtn& button);
