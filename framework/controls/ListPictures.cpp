#include "framework/controls/ListPictures.h"

#include "framework/graphics/Canvas.h"

std::unique_ptr<TBitmap> LoadListPicture(const std::string& name)
{
    auto picture = std::make_unique<TBitmap>();
    picture->LoadFromResourceName(GetModuleHandleA(nullptr), name);
    picture->SetTransparent(true);
    return picture;
}

void DrawListRow(const DRAWITEMSTRUCT& item, TFont& font, TBitmap& picture, int indent, const std::string& text)
{
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    TCanvas canvas;
    canvas.SetHandle(item.hDC);
    canvas.Font().Assign(font);
    canvas.Brush().SetColor(selected ? clHighlight : clWindow);
    canvas.Font().SetColor(selected ? clHighlightText : clWindowText);
    canvas.FillRect(item.rcItem);
    const int x = item.rcItem.left + 2 + indent;
    const int height = item.rcItem.bottom - item.rcItem.top;
    canvas.Draw(x, item.rcItem.top + (height - picture.Height()) / 2, picture);
    const SIZE extent = canvas.TextExtent(text);
    canvas.Brush().SetStyle(TBrushStyle::Clear);
    canvas.TextOut(x + picture.Width() + 4, item.rcItem.top + (height - extent.cy) / 2, text);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(item.hDC, &item.rcItem);
    canvas.SetHandle(nullptr);
}
