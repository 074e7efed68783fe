#include "updater/ButtonGlyph.h"

#include <memory>

#include "framework/controls/GlyphButton.h"
#include "framework/graphics/Bitmap.h"

void LoadButtonGlyph(TBitBtn& button)
{
    auto glyph = std::make_unique<TBitmap>();
    glyph->LoadFromResourceName(GetModuleHandleA(nullptr), "Button");
    // The glyph's ground (its bottom-left colour) lets the button show through.
    glyph->SetTransparent(true);
    button.SetGlyph(std::move(glyph));
}
