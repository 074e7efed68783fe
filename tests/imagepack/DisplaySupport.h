#pragma once

#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Canvas.h"
#include "framework/graphics/Picture.h"
#include "framework/runtime/Handles.h"
#include "framework/ui/Form.h"
#include "imagepack/UImageEx.h"
#include "imagepack/UImagePack.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/support/ScreenPixels.h"

// One image, 100 x 50: the left half in one colour, the right half in
// another. Indices from the count on are invalid.
class TTestPack : public TImagePack {
public:
    explicit TTestPack(TComponent* owner, COLORREF left = RGB(255, 0, 0), COLORREF right = RGB(0, 0, 255))
        : TImagePack(owner)
    {
        image.SetPixelFormat(TPixelFormat::Bit32);
        image.SetSize(100, 50);
        TCanvas& canvas = image.Canvas();
        canvas.Brush().SetColor(left);
        canvas.FillRect(RECT{0, 0, 50, 50});
        canvas.Brush().SetColor(right);
        canvas.FillRect(RECT{50, 0, 100, 50});
    }

    static constexpr std::string_view kClassName = "TTestPack";
    std::string_view ClassName() const override { return kClassName; }

    std::int32_t GetCount() override { return count; }
    RECT GetImageRect(std::int32_t index) override
    {
        return IsInvalidIndex(index) ? RECT{0, 0, 0, 0} : RECT{0, 0, image.Width(), image.Height()};
    }
    void GetImage(TPicture& picture, std::int32_t) override { picture.Assign(image); }
    void StretchDraw(TCanvas& canvas, const RECT& rect, std::int32_t index) override
    {
        ++draws;
        TImagePack::StretchDraw(canvas, rect, index);
    }

    std::int32_t count = 1;
    int draws = 0;
    TBitmap image;
};

// The component of the name and class that the owner holds; raises, failing
// the test, when it holds none.
template <class T>
T* Found(TComponent& owner, const std::string& name)
{
    auto* found = dynamic_cast<T*>(owner.FindComponent(name));
    if (!found)
        throw std::runtime_error("no " + name + " of the class asked for");
    return found;
}

// A borderless form on the screen, to hold the controls under test.
class TTestForm : public TForm {
public:
    explicit TTestForm(TComponent* owner = nullptr) : TForm(owner)
    {
        SetBorderStyle(TFormBorderStyle::None);
        SetBounds(40, 40, 300, 260);
    }

    static constexpr std::string_view kClassName = "TTestForm";
    std::string_view ClassName() const override { return kClassName; }
};

// What a window shows, read back from its device context.
class TWindowPixels {
public:
    explicit TWindowPixels(HWND window)
    {
        RECT client;
        GetClientRect(window, &client);
        const TWindowDC source(window);
        pixels_ = PixelsOf(source.Handle(), 0, 0, client.right, client.bottom);
    }

    int Width() const { return pixels_.width; }
    int Height() const { return pixels_.height; }
    COLORREF At(int x, int y) const { return pixels_.At(x, y); }
    // 0x00RRGGBB, as a render target answers.
    std::vector<DWORD> Rgbs() const
    {
        std::vector<DWORD> rgbs;
        for (COLORREF pixel : pixels_.colors)
            rgbs.push_back(Rgb(pixel));
        return rgbs;
    }
    // How many pixels of the rectangle differ from the colour.
    int CountOther(const RECT& rect, COLORREF color) const
    {
        int other = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x)
                other += At(x, y) != color;
        return other;
    }

private:
    TPixels pixels_;
};

// Paints what is invalid now, then reads the window back.
inline TWindowPixels PaintedPixels(TWinControl& control)
{
    UpdateWindow(control.Handle());
    return TWindowPixels(control.Handle());
}
