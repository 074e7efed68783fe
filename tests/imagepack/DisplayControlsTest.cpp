#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bitmap/UPaletteUtil.h"
#include "framework/graphics/Metafile.h"
#include "framework/runtime/Layout.h"
#include "framework/ui/Application.h"
#include "framework/ui/ReportedErrors.h"
#include "imagepack/ImagePackClasses.h"
#include "imagepack/UImageEx.h"
#include "imagepack/UMatrixImagePack.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/imagepack/DisplaySupport.h"
#include "tests/imagepack/NotifySupport.h"
#include "tests/support/TestColours.h"

namespace {

constexpr COLORREF kBrush = RGB(0, 160, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Counts its invalidations; exposes its window procedure.
class TWatchedImage : public TImageEx {
public:
    using TImageEx::TImageEx;
    using TImageEx::WndProc;

    void Invalidate() override
    {
        ++invalidations;
        TImageEx::Invalidate();
    }

    int invalidations = 0;
};

// A control without a window of its own, filled black.
class TSwatch : public TControl {
public:
    explicit TSwatch(TComponent* owner) : TControl(owner) {}
    std::string_view ClassName() const override { return "TSwatch"; }
    void Paint(TCanvas& canvas) override
    {
        canvas.Brush().SetColor(kBlack);
        canvas.FillRect(ClientRect());
    }
};

// A pack whose image comes with its loaded step, as a pack that loads its
// picture then does; it notes what the image control was like at that time.
class TLoadingPack : public TTestPack {
public:
    explicit TLoadingPack(TComponent* owner) : TTestPack(owner) { count = 0; }

    static constexpr std::string_view kClassName = "TLoadingPack";
    std::string_view ClassName() const override { return kClassName; }

    void Loaded() override
    {
        TTestPack::Loaded();
        if (auto* image = dynamic_cast<TImageEx*>(Owner()->FindComponent("Image1"))) {
            imageLoadingAtLoaded = image->Loading();
            imageLinkedAtLoaded = image->ImagePack() == this;
            imageWidthAtLoaded = image->Width();
        }
        count = 1;
        Changed();
    }

    bool imageLoadingAtLoaded = true;
    bool imageLinkedAtLoaded = false;
    int imageWidthAtLoaded = -1;
};

// Notes whether it was ever sized while it was being read and showed a pack.
class TRecordingImage : public TImageEx {
public:
    using TImageEx::TImageEx;

    static constexpr std::string_view kClassName = "TRecordingImage";
    std::string_view ClassName() const override { return kClassName; }

    void SetBounds(int left, int top, int width, int height) override
    {
        sizedWhileReading = sizedWhileReading || (Loading() && ImagePack());
        TImageEx::SetBounds(left, top, width, height);
    }

    bool sizedWhileReading = false;
};

class DisplayControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application().SetOnException(
            TExceptionEvent([this](TObject*, const std::exception& error) { errors.push_back(error.what()); }));
        form = std::make_unique<TTestForm>();
        pack = new TTestPack(form.get());
        image = new TWatchedImage(form.get());
        image->SetParent(form.get());
        image->Brush().SetColor(kBrush);
        image->SetImagePack(pack);
        form->Show();
    }
    void TearDown() override
    {
        // The tests paint outside a message loop: what the windows reported
        // is handed on here.
        TReportedErrors::HandleAll();
        form.reset();
        Application().SetOnException({});
        EXPECT_TRUE(errors.empty()) << errors.front();
    }

    // Paints the whole control afresh and reads it back.
    TWindowPixels Repainted()
    {
        InvalidateRect(image->Handle(), nullptr, FALSE);
        return PaintedPixels(*image);
    }

    std::unique_ptr<TTestForm> form;
    TTestPack* pack = nullptr;
    TWatchedImage* image = nullptr;
    std::vector<std::string> errors;
};

// The image drawn into the rectangle, left half red and right half blue,
// with nothing of the brush inside; the brush everywhere else.
void ExpectImageAt(const TWindowPixels& pixels, const RECT& at)
{
    const int middle = (at.left + at.right) / 2;
    EXPECT_EQ(pixels.CountOther(RECT{at.left, at.top, middle - 1, at.bottom}, kRed), 0);
    EXPECT_EQ(pixels.CountOther(RECT{middle + 1, at.top, at.right, at.bottom}, kBlue), 0);
    for (int y = at.top; y < at.bottom; ++y)
        EXPECT_NE(pixels.At(middle, y), kBrush) << y;
    const int width = pixels.Width();
    const int height = pixels.Height();
    EXPECT_EQ(pixels.CountOther(RECT{0, 0, width, at.top}, kBrush), 0);
    EXPECT_EQ(pixels.CountOther(RECT{0, at.bottom, width, height}, kBrush), 0);
    EXPECT_EQ(pixels.CountOther(RECT{0, at.top, at.left, at.bottom}, kBrush), 0);
    EXPECT_EQ(pixels.CountOther(RECT{at.right, at.top, width, at.bottom}, kBrush), 0);
}

TEST_F(DisplayControls, KeepRatioCentresTheLargestFittingImageWithBrushBandsAround)
{
    struct Case {
        int width, height;
        RECT image;
    };
    for (const Case& c : {Case{200, 200, {0, 50, 200, 150}}, Case{60, 100, {0, 35, 60, 65}},
                          Case{300, 100, {50, 0, 250, 100}}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        image->SetBounds(0, 0, c.width, c.height);
        const TWindowPixels pixels = Repainted();
        ASSERT_EQ(pixels.Width(), c.width);
        ASSERT_EQ(pixels.Height(), c.height);
        ExpectImageAt(pixels, c.image);
    }
}

TEST_F(DisplayControls, WithoutKeepRatioTheImageIsStretchedOverTheWholeClientArea)
{
    image->SetKeepRatio(false);
    image->SetBounds(0, 0, 200, 200);
    const TWindowPixels pixels = Repainted();
    EXPECT_EQ(pixels.CountOther(RECT{0, 0, 99, 200}, kRed), 0);
    EXPECT_EQ(pixels.CountOther(RECT{101, 0, 200, 200}, kBlue), 0);
}

TEST_F(DisplayControls, AutoSizeTakesTheImageSizeOnlyForAnIndexThePackHas)
{
    image->SetBounds(7, 9, 40, 30);
    image->SetImageIndex(3);
    image->SetAutoSize(true);
    EXPECT_EQ(image->Width(), 40);
    EXPECT_EQ(image->Height(), 30);
    pack->draws = 0;
    const TWindowPixels pixels = Repainted();
    EXPECT_EQ(pixels.CountOther(RECT{0, 0, 40, 30}, kBrush), 0);
    EXPECT_EQ(pack->draws, 0);

    image->SetImageIndex(0);
    EXPECT_EQ(image->Left(), 7);
    EXPECT_EQ(image->Top(), 9);
    EXPECT_EQ(image->Width(), 100);
    EXPECT_EQ(image->Height(), 50);
    ExpectImageAt(Repainted(), RECT{0, 0, 100, 50});
}

TEST_F(DisplayControls, TheSamePackSetAgainIsNeitherLinkedAgainNorRepainted)
{
    const int before = image->invalidations;
    image->SetImagePack(pack);
    EXPECT_EQ(image->invalidations, before);
    EXPECT_EQ(pack->Broadcaster().ListenerCount(), 1);
    EXPECT_EQ(image->Listener().BroadcasterCount(), 1);

    auto* other = new TTestPack(form.get());
    image->SetImagePack(other);
    EXPECT_GT(image->invalidations, before);
    EXPECT_EQ(pack->Broadcaster().ListenerCount(), 0);
    EXPECT_EQ(other->Broadcaster().ListenerCount(), 1);
    ASSERT_EQ(image->Listener().BroadcasterCount(), 1);
    EXPECT_EQ(image->Listener().Broadcasters(0), static_cast<IBroadcaster*>(other));
}

TEST_F(DisplayControls, APackDestroyedUnderTheControlLeavesItWithItsBrush)
{
    image->SetBounds(0, 0, 200, 200);
    ExpectImageAt(Repainted(), RECT{0, 50, 200, 150});
    delete pack;
    EXPECT_EQ(image->ImagePack(), nullptr);
    EXPECT_EQ(image->Listener().BroadcasterCount(), 0);
    EXPECT_EQ(image->Listener().RefCount(), 0);
    // The control asked for its repaint itself.
    const TWindowPixels pixels = PaintedPixels(*image);
    EXPECT_EQ(pixels.CountOther(RECT{0, 0, 200, 200}, kBrush), 0);
}

TEST_F(DisplayControls, AControlDestroyedFirstLeavesThePacksListeners)
{
    TReceiver receiver;
    TListener other(receiver.Handler());
    other.Attach(pack);
    delete image;
    image = nullptr;
    ASSERT_EQ(pack->Broadcaster().ListenerCount(), 1);
    EXPECT_EQ(pack->Broadcaster().Listeners(0), static_cast<IListener*>(&other));
    // The listener that stays holds the only reference.
    EXPECT_EQ(pack->Broadcaster().RefCount(), 1);
    pack->Changed();
    EXPECT_EQ(receiver.Count(NotifyPackChanged), 1);
    other.Detach(pack);
    EXPECT_EQ(pack->Broadcaster().RefCount(), 0);
}

TEST_F(DisplayControls, NotificationsFromAPackOtherThanTheCurrentOneAreIgnored)
{
    auto* previous = new TTestPack(form.get());
    image->Listener().Attach(previous);
    image->SetAutoSize(true);
    image->SetBounds(0, 0, 20, 20);
    pack->count = 0;
    const int before = image->invalidations;
    previous->Changed();
    EXPECT_EQ(image->invalidations, before);
    delete previous;
    EXPECT_EQ(image->ImagePack(), pack);
    EXPECT_EQ(image->invalidations, before);

    // The current pack is heard.
    pack->count = 1;
    pack->Changed();
    EXPECT_GT(image->invalidations, before);
    EXPECT_EQ(image->Width(), 100);
}

TEST_F(DisplayControls, AnImageOutsideTheAreaToPaintIsNotDrawn)
{
    image->SetBounds(0, 0, 200, 200);
    ExpectImageAt(Repainted(), RECT{0, 50, 200, 150});
    image->Brush().SetColor(kBlack);
    ValidateRect(image->Handle(), nullptr);
    const RECT band{0, 0, 200, 50};
    InvalidateRect(image->Handle(), &band, FALSE);
    pack->draws = 0;
    const TWindowPixels pixels = PaintedPixels(*image);
    EXPECT_EQ(pack->draws, 0);
    EXPECT_EQ(pixels.CountOther(band, kBlack), 0);
    EXPECT_EQ(pixels.CountOther(RECT{0, 150, 200, 200}, kBrush), 0);
    EXPECT_EQ(pixels.At(10, 100), kRed);
}

TEST_F(DisplayControls, ChildControlsWithoutAWindowShowOverTheImage)
{
    image->SetKeepRatio(false);
    image->SetBounds(0, 0, 200, 200);
    auto* swatch = new TSwatch(form.get());
    swatch->SetParent(image);
    swatch->SetBounds(90, 90, 20, 20);
    const TWindowPixels pixels = Repainted();
    EXPECT_EQ(pixels.CountOther(RECT{90, 90, 110, 110}, kBlack), 0);
    EXPECT_EQ(pixels.At(50, 50), kRed);
}

// Graphics whose drawing raises, as where a device context cannot be made:
// a metafile, which a pack draws from a copy of its picture, and a safety
// bitmap, which it draws straight from its own picture.
class TFailingMetafile : public TMetafile {
public:
    static constexpr std::string_view kClassName = "TFailingMetafile";
    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TFailingMetafile>(); }
    void Draw(TCanvas&, const RECT&) override { throw EOutOfResources(ERROR_NOT_ENOUGH_MEMORY); }
};

class TFailingBitmap : public TSafetyBitmap {
public:
    void DrawPart(TCanvas&, const RECT&, const RECT&) override { throw EOutOfResources(ERROR_NOT_ENOUGH_MEMORY); }
};

std::unique_ptr<TGraphic> FailingMetafile()
{
    auto metafile = std::make_unique<TFailingMetafile>();
    metafile->SetWidth(100);
    metafile->SetHeight(50);
    TMetafileCanvas(*metafile, nullptr).FillRect(RECT{0, 0, 100, 50});
    return metafile;
}

std::unique_ptr<TGraphic> FailingBitmap()
{
    auto bitmap = std::make_unique<TFailingBitmap>();
    bitmap->SetSize(100, 50);
    return bitmap;
}

struct TFailingKind {
    const char* name;
    std::unique_ptr<TGraphic> (*make)();
};

class FailingImageDraw : public DisplayControls, public testing::WithParamInterface<TFailingKind> {};

// The fixture's end checks that no error reached the application.
TEST_P(FailingImageDraw, ShowsTheErrorPictureInItsPlaceAndRaisesNothing)
{
    auto* failing = new TMatrixImagePack(form.get());
    failing->Image().ReplaceGraphic(GetParam().make());
    image->SetImagePack(failing);
    image->SetBounds(0, 0, 100, 50);
    TRenderTarget expected(100, 50, kBrush);
    expected.Draw(*ErrorPicture().Graphic(), RECT{0, 0, 100, 50});
    EXPECT_EQ(Repainted().Rgbs(), expected.Pixels());

    // A canvas without a context cannot show the error picture either.
    TCanvas noContext;
    EXPECT_NO_THROW(failing->StretchDraw(noContext, RECT{0, 0, 100, 50}, 0));
}

INSTANTIATE_TEST_SUITE_P(CopiedAndStraight, FailingImageDraw,
                         testing::Values(TFailingKind{"Metafile", &FailingMetafile},
                                         TFailingKind{"SafetyBitmap", &FailingBitmap}),
                         [](const testing::TestParamInfo<TFailingKind>& info) { return info.param.name; });

TEST_F(DisplayControls, TheWindowIsNeverErasedAndIsRepaintedWholeWhenMovedOrResized)
{
    HWND window = image->Handle();
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW), 0u);

    TRenderTarget target(4, 4, kBlack);
    EXPECT_EQ(image->WndProc(WM_ERASEBKGND, reinterpret_cast<WPARAM>(target.Dc()), 0), 1);
    EXPECT_EQ(target.Pixel(1, 1), 0u);

    image->SetBounds(0, 0, 120, 80);
    for (const RECT bounds : {RECT{10, 0, 130, 80}, RECT{10, 0, 100, 60}}) {
        UpdateWindow(window);
        const int before = image->invalidations;
        image->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
        EXPECT_GT(image->invalidations, before);
        RECT update{};
        ASSERT_TRUE(GetUpdateRect(window, &update, FALSE));
        EXPECT_EQ(update.right - update.left, bounds.right - bounds.left);
        EXPECT_EQ(update.bottom - update.top, bounds.bottom - bounds.top);
    }

    image->SetFullRepaint(false);
    UpdateWindow(window);
    const int before = image->invalidations;
    image->SetBounds(20, 0, 90, 60);
    EXPECT_EQ(image->invalidations, before);
}

TEST_F(DisplayControls, ThePaletteIsTheDefaultOneAndOnlyAPaletteScreenGetsItSelected)
{
    EXPECT_EQ(image->GetPalette(), GetDefaultPalette());
    // This display shows colours directly: the paint context keeps its own.
    class TPaletteProbe : public TImageEx {
    public:
        using TImageEx::TImageEx;
        using TImageEx::PaintWindow;
        void Paint(TCanvas& canvas) override { selected = GetCurrentObject(canvas.Handle(), OBJ_PAL); }
        HGDIOBJ selected = nullptr;
    } probe(nullptr);
    TRenderTarget target(4, 4);
    probe.PaintWindow(target.Dc());
    EXPECT_EQ(probe.selected, GetStockObject(DEFAULT_PALETTE));
}

TEST_F(DisplayControls, BrushIsTheControlsOwnCopyAndRepaintsOnChange)
{
    TBrush given;
    given.SetStyle(TBrushStyle::Cross);
    const int before = image->invalidations;
    image->SetBrush(given);
    EXPECT_EQ(image->Brush().Color(), clWhite);
    EXPECT_EQ(image->Brush().Style(), TBrushStyle::Cross);
    EXPECT_GT(image->invalidations, before);
    // A copy: what becomes of the given brush changes nothing in the control.
    given.SetColor(kRed);
    given.SetStyle(TBrushStyle::Solid);
    EXPECT_EQ(image->Brush().Color(), clWhite);
    EXPECT_EQ(image->Brush().Style(), TBrushStyle::Cross);
}

TEST(OriginalControl, FillsItsClientAreaWithItsBrush)
{
    TTestForm form;
    auto* control = new TOriginalControl(&form);
    EXPECT_EQ(control->Width(), 75);
    EXPECT_EQ(control->Height(), 25);
    EXPECT_TRUE(control->FullRepaint());
    control->SetParent(&form);
    control->Brush().SetColor(kBrush);
    form.Show();
    InvalidateRect(control->Handle(), nullptr, FALSE);
    EXPECT_EQ(PaintedPixels(*control).CountOther(RECT{0, 0, 75, 25}, kBrush), 0);
}

// Layouts of a form holding the controls; the pack comes with its loaded step.
class DisplayLayouts : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterImagePackClasses();
        TClassRegistry::Register<TLoadingPack>();
        TClassRegistry::Register<TRecordingImage>();
    }

    static std::unique_ptr<TTestForm> Read(const std::string& text)
    {
        auto form = std::make_unique<TTestForm>();
        TLayoutReader("test", text).Read(*form);
        return form;
    }
};

TEST_F(DisplayLayouts, TransparentIsReadAndDroppedAndTheBrushIsAlwaysStored)
{
    const auto form = Read(R"(TTestForm frmTest {
  TImageEx Image1 {
    Left = 0
    Top = 0
    Width = 370
    Height = 251
    Transparent = true
    ImagePack = Pack1
  }
  TBitmapControl Bitmap1 {
    Transparent = false
    FullRepaint = false
  }
  TOriginalControl Original1 {
    Transparent = true
    Brush.Color = clRed
    Brush.Style = bsClear
  }
  TLoadingPack Pack1 {
  }
})");
    auto* image = Found<TImageEx>(*form, "Image1");
    EXPECT_EQ(image->ImagePack(), form->FindComponent("Pack1"));
    auto* bitmap = Found<TBitmapControl>(*form, "Bitmap1");
    EXPECT_FALSE(bitmap->FullRepaint());
    auto* original = Found<TOriginalControl>(*form, "Original1");
    EXPECT_EQ(original->Brush().Color(), clRed);
    EXPECT_EQ(original->Brush().Style(), TBrushStyle::Clear);

    const std::string written = WriteLayout(*form);
    EXPECT_EQ(written.find("Transparent"), std::string::npos) << written;
    const std::string imageWritten = written.substr(written.find("TImageEx Image1"));
    const std::string imageBlock = imageWritten.substr(0, imageWritten.find('}'));
    EXPECT_NE(imageBlock.find("Brush.Color = clWhite"), std::string::npos) << imageBlock;
    EXPECT_NE(imageBlock.find("Brush.Style = bsSolid"), std::string::npos);
    EXPECT_NE(imageBlock.find("ImageIndex = 0"), std::string::npos);
    EXPECT_NE(imageBlock.find("ImagePack = Pack1"), std::string::npos);
    EXPECT_EQ(imageBlock.find("KeepRatio"), std::string::npos);
    EXPECT_EQ(imageBlock.find("AutoSize"), std::string::npos);

    const auto again = Read(written);
    EXPECT_EQ(WriteLayout(*again), written);
}

TEST_F(DisplayLayouts, TheControlSizesItselfWhenThePackAnnouncesItsImagesAfterReading)
{
    const auto form = Read(R"(TTestForm frmTest {
  TImageEx Image1 {
    Width = 370
    Height = 251
    Brush.Color = clWhite
    Brush.Style = bsSolid
    AutoSize = true
    ImagePack = Pack1
    ImageIndex = 0
  }
  TLoadingPack Pack1 {
  }
})");
    auto* image = Found<TImageEx>(*form, "Image1");
    auto* pack = Found<TLoadingPack>(*form, "Pack1");
    EXPECT_FALSE(pack->imageLoadingAtLoaded);
    EXPECT_TRUE(pack->imageLinkedAtLoaded);
    EXPECT_EQ(pack->imageWidthAtLoaded, 370);
    EXPECT_EQ(image->Width(), 100);
    EXPECT_EQ(image->Height(), 50);
}

TEST_F(DisplayLayouts, APackNamedBeforeTheControlStillSizesItOnceReadingHasFinished)
{
    // The pack announces its images while the control is still being read.
    const auto form = Read(R"(TTestForm frmTest {
  TLoadingPack Pack1 {
  }
  TRecordingImage Image1 {
    AutoSize = true
    ImagePack = Pack1
  }
})");
    auto* image = Found<TRecordingImage>(*form, "Image1");
    EXPECT_FALSE(image->sizedWhileReading);
    EXPECT_EQ(image->Width(), 100);
    EXPECT_EQ(image->Height(), 50);
}

} // namespace
