#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "bitmap/UDIB.h"
#include "bitmap/USafetyBitmap.h"
#include "container/UZLIB.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/Picture.h"
#include "framework/graphics/Printer.h"
#include "tests/bitmap/MaskTestSupport.h"
#include "tests/bitmap/SafetyBitmapCellCases.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(SafetyBitmap, TakesTheMaskedImageOfThisFamily)
{
    TSafetyBitmap bitmap;
    EXPECT_NE(dynamic_cast<TMaskedImageNT*>(&bitmap.MaskedImage()), nullptr);
}

TEST(SafetyBitmap, ABitmapFileBecomesASectionOfItsOwnFormat)
{
    for (int bitCount : {24, 32}) {
        TSafetyBitmap bitmap;
        LoadBytes(bitmap, PictureFile(13, 7, bitCount));
        EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::DIB);
        EXPECT_EQ(bitmap.PixelFormat(), bitCount == 24 ? TPixelFormat::Bit24 : TPixelFormat::Bit32);
        EXPECT_EQ(Rendered(bitmap, kBackground), OpaquePicture(13, 7));
    }
}

TEST(SafetyBitmapTransparency, ShowsTheBackgroundExactlyWhereTransparentAndThePictureElsewhere)
{
    TSafetyBitmap bitmap;
    LoadTransparentPicture(bitmap);
    EXPECT_EQ(Rendered(bitmap, kBackground), ExpectedOverBackground(37, 23));
    // The same with the colour fixed.
    bitmap.SetTransparentColor(kKey);
    EXPECT_EQ(Rendered(bitmap, kBackground), ExpectedOverBackground(37, 23));
}

TEST(SafetyBitmapTransparency, AnEightBitBitmapWithoutTheExactColourDrawsOpaque)
{
    TSafetyBitmap bitmap;
    const std::vector<COLORREF> colors{RGB(254, 0, 255), RGB(10, 20, 30)};
    MakeEightBit(bitmap, colors, 6, 3, [](int x, int) { return x % 2; });
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(kKey);
    std::vector<DWORD> opaque;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            opaque.push_back(Rgb(colors[x % 2]));
    EXPECT_EQ(Rendered(bitmap, kBackground), opaque);
}

TEST(SafetyBitmapTransparency, ASecondDrawRebuildsNothingAndAChangedPixelRebuildsOnce)
{
    TSafetyBitmap bitmap;
    LoadTransparentPicture(bitmap);
    Rendered(bitmap, kBackground);
    TMaskedImage& masked = bitmap.MaskedImage();
    EXPECT_FALSE(masked.MaskDirty());
    EXPECT_FALSE(masked.ImageDirty());
    // A rebuilt mask is a new image: sharing one tells that none was made.
    TBitmap first;
    masked.AssignMaskTo(first);
    Rendered(bitmap, kBackground);
    TBitmap second;
    masked.AssignMaskTo(second);
    EXPECT_TRUE(second.SharesImageWith(first));

    bitmap.Canvas().SetPixel(18, 11, kKey);
    EXPECT_TRUE(masked.MaskDirty());
    EXPECT_TRUE(masked.ImageDirty());
    std::vector<DWORD> expected = ExpectedOverBackground(37, 23);
    expected[11 * 37 + 18] = Rgb(kBackground);
    EXPECT_EQ(Rendered(bitmap, kBackground), expected);
    TBitmap third;
    masked.AssignMaskTo(third);
    EXPECT_FALSE(third.SharesImageWith(first));
    EXPECT_TRUE(MaskBitsOf(third).IsSet(18, 11));
    EXPECT_FALSE(MaskBitsOf(first).IsSet(18, 11));
}

TEST(SafetyBitmapAssign, ACopyTakesMaskPreparedImageAndFlagsAndRebuildsNothing)
{
    TSafetyBitmap original;
    LoadTransparentPicture(original);
    Rendered(original, kBackground);
    TBitmap originalMask;
    original.MaskedImage().AssignMaskTo(originalMask);

    TSafetyBitmap copy;
    copy.Assign(original);
    EXPECT_TRUE(copy.Equals(original));
    EXPECT_TRUE(copy.Transparent());
    EXPECT_FALSE(copy.MaskedImage().MaskDirty());
    EXPECT_FALSE(copy.MaskedImage().ImageDirty());
    EXPECT_EQ(Rendered(copy, kBackground), ExpectedOverBackground(37, 23));
    TBitmap copyMask;
    copy.MaskedImage().AssignMaskTo(copyMask);
    EXPECT_TRUE(copyMask.SharesImageWith(originalMask));
    // The copy's own change is its own.
    copy.Canvas().SetPixel(0, 0, kKey);
    EXPECT_TRUE(copy.MaskedImage().MaskDirty());
    EXPECT_FALSE(original.MaskedImage().MaskDirty());
}

TEST(SafetyBitmapAssign, FromAPlainBitmapEverythingIsRebuilt)
{
    TBitmap plain;
    LoadBytes(plain, PictureFile(37, 23));
    plain.SetTransparent(true);
    TSafetyBitmap bitmap;
    bitmap.Assign(plain);
    EXPECT_TRUE(bitmap.MaskedImage().MaskDirty());
    EXPECT_EQ(Rendered(bitmap, kBackground), ExpectedOverBackground(37, 23));
}

TEST(SafetyBitmapAssign, ABitmapSharingTheImageGivesOnlyItsTransparencySettings)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(10, 6));
    TBitmap sharing;
    sharing.Assign(bitmap);
    sharing.SetTransparent(true);
    sharing.SetTransparentColor(clRed);
    ASSERT_TRUE(sharing.SharesImageWith(bitmap));

    int changes = 0;
    bitmap.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    TBitmap before;
    before.Assign(bitmap);
    // The picture is not taken again: the canvas keeps its context.
    const HDC context = bitmap.Canvas().Handle();
    bitmap.Assign(sharing);
    EXPECT_TRUE(bitmap.SharesImageWith(before));
    EXPECT_TRUE(bitmap.Canvas().HandleAllocated());
    EXPECT_EQ(bitmap.Canvas().Handle(), context);
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::Fixed);
    EXPECT_EQ(bitmap.TransparentColor() & 0xFFFFFF, clRed);
    EXPECT_GT(changes, 0);
}

// A transparent colour fixed as a system colour stays that system colour,
// not the plain colour it stands for now.
struct TKeepingStep {
    const char* name;
    void (*apply)(TSafetyBitmap& bitmap, TColor color);
};

class SafetyBitmapSystemColor : public testing::TestWithParam<TKeepingStep> {};

TEST_P(SafetyBitmapSystemColor, StaysTheSystemColourItWasFixedAs)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(10, 6));
    GetParam().apply(bitmap, clBtnFace);
    EXPECT_EQ(bitmap.TransparentMode(), TTransparentMode::Fixed);
    EXPECT_EQ(bitmap.FixedTransparentColor(), clBtnFace);
}

INSTANTIATE_TEST_SUITE_P(
    LoadAndSameImageAssignment, SafetyBitmapSystemColor,
    testing::Values(TKeepingStep{"Load",
                                 [](TSafetyBitmap& bitmap, TColor color) {
                                     bitmap.SetTransparentColor(color);
                                     LoadBytes(bitmap, PictureFile(8, 8));
                                 }},
                    TKeepingStep{"SameImageAssignment",
                                 [](TSafetyBitmap& bitmap, TColor color) {
                                     TBitmap sharing;
                                     sharing.Assign(bitmap);
                                     sharing.SetTransparentColor(color);
                                     bitmap.Assign(sharing);
                                 }}),
    [](const testing::TestParamInfo<TKeepingStep>& info) { return info.param.name; });

TEST(SafetyBitmap, EqualsBitmapsOnlyWhenTheyShareOneImage)
{
    const Bytes file = PictureFile(5, 5);
    TSafetyBitmap a;
    TSafetyBitmap b;
    LoadBytes(a, file);
    LoadBytes(b, file);
    EXPECT_FALSE(a.Equals(b));
    EXPECT_TRUE(a.Equals(a));
    TBitmap shared;
    shared.Assign(a);
    EXPECT_TRUE(a.Equals(shared));
}

// Every draw gives back the destination's copy mode and colours, also when
// it fails half-way.
TEST(SafetyBitmapDraw, TheDestinationKeepsItsCopyModeAndColours)
{
    TSafetyBitmap opaque;
    LoadBytes(opaque, PictureFile(8, 8));
    TSafetyBitmap transparent;
    LoadTransparentPicture(transparent);
    TRenderTarget target(40, 40);
    for (TSafetyBitmap* bitmap : {&opaque, &transparent}) {
        TAttachedCanvas canvas(target.Dc());
        const TCanvasColors before = SetUnusualColors(canvas);
        bitmap->Draw(canvas, RECT{0, 0, 8, 8});
        EXPECT_EQ(TCanvasColors::Of(canvas), before);
    }
    {
        TPrinterCanvasOn printer(Printer().Canvas(), target.Dc());
        const TCanvasColors before = SetUnusualColors(Printer().Canvas());
        opaque.Draw(Printer().Canvas(), RECT{0, 0, 8, 8});
        EXPECT_EQ(TCanvasColors::Of(Printer().Canvas()), before);
    }
    // The mask goes on with MERGEPAINT, then the destination fails.
    TAttachedCanvas failing(target.Dc());
    failing.OnChanging = TNotifyEvent([](TObject*) { throw EInvalidGraphic("the device failed"); });
    const TCanvasColors before = SetUnusualColors(failing);
    EXPECT_THROW(transparent.Draw(failing, RECT{0, 0, 8, 8}), EInvalidGraphic);
    EXPECT_EQ(TCanvasColors::Of(failing), before);
}

TEST(SafetyBitmapDraw, OnAnNTFamilyPrinterTheFrameworkDrawsWithoutStretchDIBits)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(12, 9));
    TRenderTarget target(12, 9);
    TPrinterCanvasOn printer(Printer().Canvas(), target.Dc());
    const TCountedStretchDIBits counted;
    Printer().Canvas().StretchDraw(RECT{0, 0, 12, 9}, bitmap);
    EXPECT_EQ(counted.Calls(), 0);
    EXPECT_EQ(target.Pixels(), OpaquePicture(12, 9));
}

// The main thread reads with the toolkit, other threads with the framework:
// the same pixels either way, plain or compressed.
TEST(SafetyBitmapLoad, TheMainThreadAndAWorkerThreadGiveTheSamePixels)
{
    for (const Bytes& data : {ContainerOf(PictureFile(23, 11)), PictureFile(23, 11)}) {
        TSafetyBitmap onMain;
        LoadBytes(onMain, data);
        TSafetyBitmap onWorker;
        OnWorkerThread([&] { LoadBytes(onWorker, data); });
        EXPECT_EQ(onMain.PixelFormat(), onWorker.PixelFormat());
        EXPECT_EQ(Rendered(onMain, kBackground), OpaquePicture(23, 11));
        EXPECT_EQ(Rendered(onWorker, kBackground), OpaquePicture(23, 11));
    }
}

// A failed load raises its error and changes nothing: not the picture, not
// the transparency settings, and no change is announced.
void ExpectFailedLoadChangesNothing(const Bytes& data, bool onMainThread, const std::string& message)
{
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(9, 5));
    bitmap.SetTransparent(true);
    bitmap.SetTransparentColor(clLime);
    TBitmap before;
    before.Assign(bitmap);
    int changes = 0;
    bitmap.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    const auto load = [&] { LoadBytes(bitmap, data); };
    EXPECT_EQ(MessageRaised([&] { onMainThread ? load() : OnWorkerThread(load); }), message);
    EXPECT_TRUE(bitmap.SharesImageWith(before));
    EXPECT_TRUE(bitmap.Transparent());
    EXPECT_EQ(bitmap.TransparentColor() & 0xFFFFFF, clLime);
    EXPECT_EQ(changes, 0);
}

Bytes DamagedContainer()
{
    Bytes container = ContainerOf(PictureFile(30, 30));
    for (std::size_t i = 24; i < container.size(); i += 3)
        container[i] ^= 0x5A;
    return container;
}

TEST(SafetyBitmapLoad, AContainerThatFailsToInflateRaisesItsErrorAndChangesNothing)
{
    ExpectFailedLoadChangesNothing(DamagedContainer(), true, "error");
    ExpectFailedLoadChangesNothing(DamagedContainer(), false, "error");
}

TEST(SafetyBitmapLoad, AContainerDeclaringMoreThanTheDecodeLimitAllowsIsRefusedOnEitherThreadAndChangesNothing)
{
    Bytes container = ContainerOf(PictureFile(30, 30));
    const auto declared = static_cast<std::uint32_t>(kMaxBitmapFileBytes + 1);
    std::memcpy(&container[13], &declared, 4);
    const std::string message = PictureDataTooLargeMessage(declared, kMaxBitmapFileBytes);
    ExpectFailedLoadChangesNothing(container, true, message);
    ExpectFailedLoadChangesNothing(container, false, message);
}

TEST(SafetyBitmapLoad, ACompressedFileWithoutABitmapInsideIsInvalidAndChangesNothing)
{
    const std::string text = "no bitmap in here, only words";
    const Bytes container = ContainerOf(Bytes(text.begin(), text.end()));
    ExpectFailedLoadChangesNothing(container, true, kInvalidBitmapMessage);
    ExpectFailedLoadChangesNothing(container, false, kInvalidBitmapMessage);
}

TEST(SafetyBitmapLoad, AClipboardDibWithoutOffsetLoads)
{
    const TGlobalCopy block(PackedDibOf(PictureFile(14, 6)));
    ASSERT_NE(block.Get(), nullptr);
    TSafetyBitmap bitmap;
    bitmap.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bit24);
    EXPECT_EQ(Rendered(bitmap, kBackground), OpaquePicture(14, 6));
    // The block is unlocked again.
    EXPECT_EQ(GlobalFlags(block.Get()) & GMEM_LOCKCOUNT, 0u);
}

// Form data: a length, then the picture. The length bounds what is read, and
// the picture may be compressed.
TEST(SafetyBitmapLoad, FormDataIsReadWithinItsLengthAndMayBeCompressed)
{
    const Bytes container = ContainerOf(PictureFile(11, 4));
    TMemoryStream form;
    const DWORD lengths[] = {static_cast<DWORD>(container.size()), 0};
    form.WriteBuffer(&lengths[0], 4);
    form.WriteBuffer(container.data(), static_cast<std::int32_t>(container.size()));
    form.WriteBuffer(&lengths[1], 4);
    form.WriteBuffer("next", 4);
    form.SetPosition(0);

    TSafetyBitmap bitmap;
    bitmap.ReadData(form);
    EXPECT_EQ(Rendered(bitmap, kBackground), OpaquePicture(11, 4));
    // An empty bitmap is stored with length 0 and reads back empty.
    TSafetyBitmap empty;
    LoadBytes(empty, PictureFile(3, 3));
    empty.ReadData(form);
    EXPECT_TRUE(empty.Empty());
    char next[4] = {};
    form.ReadBuffer(next, 4);
    EXPECT_EQ(std::string(next, 4), "next");
}

std::string ClassOfPictureFrom(const std::string& path)
{
    TPicture picture;
    picture.LoadFromFile(path);
    return std::string(picture.Graphic()->ClassName());
}

TEST(SafetyBitmapRegistration, PicturesLoadBitmapsAsSafetyBitmapsWhileRegistered)
{
    TTempFolder folder;
    const std::string bmp = folder.File("logo.bmp");
    const std::string cbm = folder.File("logo.cbm");
    WriteFile(bmp, PictureFile(7, 5));
    WriteFile(cbm, ContainerOf(PictureFile(7, 5)));
    const TGlobalCopy block(PackedDibOf(PictureFile(7, 5)));
    {
        const TSafetyBitmapRegistration registration;
        EXPECT_EQ(ClassOfPictureFrom(bmp), "TSafetyBitmap");
        TPicture picture;
        picture.LoadFromFile(cbm);
        ASSERT_EQ(picture.Graphic()->ClassName(), "TSafetyBitmap");
        EXPECT_EQ(Rendered(*picture.Graphic(), kBackground), OpaquePicture(7, 5));
        TPicture clipboard;
        clipboard.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
        EXPECT_EQ(clipboard.Graphic()->ClassName(), "TSafetyBitmap");
        const auto& formats = GraphicClasses().FileFormats();
        EXPECT_TRUE(std::any_of(formats.begin(), formats.end(), [](const auto& format) {
            return format.extension == "CBM" && format.description == "Compressed Bitmaps";
        }));
    }
    EXPECT_EQ(ClassOfPictureFrom(bmp), "TBitmap");
    EXPECT_THROW(ClassOfPictureFrom(cbm), EInvalidGraphic);
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_DIB));
}

} // namespace
