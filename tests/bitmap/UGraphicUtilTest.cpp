#include <gtest/gtest.h>

#include "bitmap/UGraphicUtil.h"
#include "framework/runtime/ProgramStart.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/framework/runtime/CountedFake.h"

// Rectangles compare and print by their four edges.
static bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != FALSE;
}

static void PrintTo(const RECT& r, std::ostream* out)
{
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

// {0BDA2C2E-5B0A-4C55-9E33-6F1C1B35A001}
const IID IID_ITestThing = {0x0bda2c2e, 0x5b0a, 0x4c55, {0x9e, 0x33, 0x6f, 0x1c, 0x1b, 0x35, 0xa0, 0x01}};

class ITestThing : public IUnknown {};

class TCounted : public TObject, public TCountedFake<ITestThing> {
public:
    TCounted() : TCountedFake(IID_ITestThing) {}
};

TEST(QueryObjectInterface, AsksTheObjectsOwnQueryAndHandsOutACountedReference)
{
    TCounted object;
    void* found = nullptr;
    ASSERT_TRUE(QueryObjectInterface(&object, IID_ITestThing, &found));
    EXPECT_EQ(found, static_cast<ITestThing*>(&object));
    EXPECT_EQ(object.references, 1u);

    void* missing = &object;
    EXPECT_FALSE(QueryObjectInterface(&object, IID_IDispatch, &missing));
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(object.references, 1u);
}

TEST(QueryObjectInterface, AnObjectWithoutIUnknownHasNoInterface)
{
    TObject plain;
    void* found = &plain;
    EXPECT_FALSE(QueryObjectInterface(&plain, IID_IUnknown, &found));
    EXPECT_EQ(found, nullptr);
}

TEST(Geometry, CentresTruncateTowardZero)
{
    EXPECT_EQ(RectCenter(RECT{-3, -3, 0, 0}).x, -1);
    EXPECT_EQ(RectCenter(RECT{-3, -3, 0, 0}).y, -1);
    EXPECT_EQ(RectCenter(RECT{0, 0, 3, 3}).x, 1);
    EXPECT_EQ(CenterRectAt(RECT{0, 0, 4, 2}, POINT{10, 10}), (RECT{8, 9, 12, 11}));
    EXPECT_EQ(RectWidth(RECT{5, 1, 2, 9}), -3);
    EXPECT_EQ(RectHeight(RECT{5, 1, 2, 9}), 8);
}

TEST(Geometry, FittingKeepsTheAspectBothWaysAndCentres)
{
    EXPECT_EQ(FitRectCentered(RECT{0, 0, 200, 100}, RECT{0, 0, 100, 100}), (RECT{0, 25, 100, 75}));
    EXPECT_EQ(FitRectCentered(RECT{0, 0, 100, 200}, RECT{0, 0, 100, 100}), (RECT{25, 0, 75, 100}));
    // Enlarging too, rounded to nearest.
    EXPECT_EQ(FitRectCentered(RECT{0, 0, 100, 50}, RECT{0, 0, 200, 200}), (RECT{0, 50, 200, 150}));
    EXPECT_EQ(FitRectCentered(RECT{0, 0, 100, 50}, RECT{0, 0, 60, 100}), (RECT{0, 35, 60, 65}));
    EXPECT_EQ(ScaleToFit(RECT{7, 9, 10, 12}, 20, 10), (RECT{7, 9, 17, 19}));
}

TEST(Geometry, OnlyAMissingWidthOrHeightIsDegenerate)
{
    EXPECT_FALSE(IsRectDegenerate(RECT{10, 0, 5, 5}));
    EXPECT_TRUE(IsRectDegenerate(RECT{3, 0, 3, 5}));
    EXPECT_TRUE(IsRectDegenerate(RECT{0, 4, 5, 4}));
}

// A 4 x 2 bitmap of eight distinct colours.
void PaintCells(TBitmap& bitmap)
{
    bitmap.SetPixelFormat(TPixelFormat::Bit24);
    bitmap.SetSize(4, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            bitmap.Canvas().SetPixel(x, y, RGB(40 * x + 10, 100 * y + 20, 30));
}

TEST(StretchDrawPart, StretchesExactlyThePartAndLeavesTheBitmapsMappingAsItWas)
{
    TBitmap bitmap;
    PaintCells(bitmap);
    const HDC own = bitmap.Canvas().Handle();
    TRenderTarget target(4, 4);
    TAttachedCanvas canvas(target.Dc());
    // The cell (1, 0)-(3, 1) doubled.
    StretchDrawPart(canvas, RECT{0, 0, 4, 2}, bitmap, RECT{1, 0, 3, 1});
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            EXPECT_EQ(target.Pixel(x, y), Rgb(RGB(40 * (1 + x / 2) + 10, 20, 30))) << x << "," << y;
    EXPECT_EQ(target.Pixel(0, 2), Rgb(RGB(255, 255, 255)));

    EXPECT_EQ(bitmap.Canvas().Handle(), own);
    EXPECT_EQ(GetMapMode(own), MM_TEXT);
    POINT origin{1, 1};
    GetViewportOrgEx(own, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    SIZE extent{};
    GetViewportExtEx(own, &extent);
    EXPECT_EQ(extent.cx, 1);
}

TEST(StretchDrawPart, TheWholeBitmapIsAPlainStretchAndEmptyRectanglesDrawNothing)
{
    TBitmap bitmap;
    PaintCells(bitmap);
    SetViewportOrgEx(bitmap.Canvas().Handle(), 5, 5, nullptr);
    TRenderTarget target(4, 2);
    TAttachedCanvas canvas(target.Dc());
    // A mapping of the caller's own stays untouched by a whole-bitmap draw.
    StretchDrawPart(canvas, RECT{0, 0, 4, 2}, bitmap, RECT{0, 0, 4, 2});
    POINT origin{};
    GetViewportOrgEx(bitmap.Canvas().Handle(), &origin);
    EXPECT_EQ(origin.x, 5);
    SetViewportOrgEx(bitmap.Canvas().Handle(), 0, 0, nullptr);

    TRenderTarget untouched(4, 2, RGB(1, 1, 1));
    TAttachedCanvas other(untouched.Dc());
    StretchDrawPart(other, RECT{0, 0, 0, 2}, bitmap, RECT{0, 0, 4, 2});
    StretchDrawPart(other, RECT{0, 0, 4, 2}, bitmap, RECT{1, 1, 3, 1});
    EXPECT_EQ(untouched.Pixel(0, 0), Rgb(RGB(1, 1, 1)));
}

TEST(StretchDrawPart, APartOfABitmapDrawnOntoABitmapSharingItsImage)
{
    // A device bitmap: the copy the target makes reads the source's pixels
    // through the very context the part is drawn from.
    TBitmap source;
    PaintCells(source);
    source.SetHandleType(TBitmapHandleType::DDB);
    TBitmap target;
    target.Assign(source);
    StretchDrawPart(target.Canvas(), RECT{0, 0, 4, 2}, source, RECT{3, 1, 4, 2});
    EXPECT_FALSE(target.SharesImageWith(source));
    EXPECT_EQ(target.Canvas().Pixel(2, 1), RGB(130, 120, 30));
    EXPECT_EQ(source.Canvas().Pixel(0, 0), RGB(10, 20, 30));
}

TEST(Platform, TheFamilyAndScreenDepthAreThePlatformsOwn)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(IsWinNT(), version.dwPlatformId == VER_PLATFORM_WIN32_NT);
    // The family is the one recorded at start, not asked for afresh.
    const DWORD families[] = {VER_PLATFORM_WIN32_WINDOWS, VER_PLATFORM_WIN32s, VER_PLATFORM_WIN32_NT};
    for (const DWORD family : families) {
        SetPlatformIdForTests(family);
        EXPECT_EQ(IsWinNT(), family == VER_PLATFORM_WIN32_NT) << family;
    }
    SetPlatformIdForTests(version.dwPlatformId);
    const TWindowDC screen;
    const int bits = GetDeviceCaps(screen.Handle(), BITSPIXEL) * GetDeviceCaps(screen.Handle(), PLANES);
    EXPECT_EQ(ScreenBitsPerPixel(), bits);
    EXPECT_EQ(IsPaletteScreen(), bits <= 8);
}

} // namespace
