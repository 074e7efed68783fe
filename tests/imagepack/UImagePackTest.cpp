#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Picture.h"
#include "imagepack/UImagePack.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/imagepack/NotifySupport.h"
#include "tests/support/TestColours.h"

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 32-bit memory bitmap of one colour, to draw on and read back.
class TSurface {
public:
    TSurface(int width, int height, COLORREF color)
    {
        bitmap_.SetPixelFormat(TPixelFormat::Bit32);
        bitmap_.SetSize(width, height);
        Fill(RECT{0, 0, width, height}, color);
    }
    void Fill(const RECT& rect, COLORREF color)
    {
        Canvas().Brush().SetColor(color);
        Canvas().FillRect(rect);
    }
    TCanvas& Canvas() { return bitmap_.Canvas(); }
    TBitmap& Bitmap() { return bitmap_; }
    COLORREF Pixel(int x, int y) { return Canvas().Pixel(x, y); }

private:
    TBitmap bitmap_;
};

// One image at a fixed rectangle, 100 x 50: left half red, right half blue.
// Image 1, when there is one, cannot be had.
class TTestPack : public TImagePack {
public:
    explicit TTestPack(TComponent* owner = nullptr) : TImagePack(owner)
    {
        image.Fill(RECT{0, 0, 50, 50}, kRed);
        image.Fill(RECT{50, 0, 100, 50}, kBlue);
    }
    std::string_view ClassName() const override { return "TTestPack"; }
    std::int32_t GetCount() override { return count; }
    RECT GetImageRect(std::int32_t) override { return rect; }
    void GetImage(TPicture& picture, std::int32_t index) override
    {
        if (index == 1)
            throw std::runtime_error("no such image");
        picture.Assign(image.Bitmap());
    }

    std::int32_t count = 1;
    RECT rect{30, 0, 130, 50};
    TSurface image{100, 50, kWhite};
};

// A pack whose images can be placed.
class TPlaceablePack : public TTestPack {
public:
    void SetImageRect(std::int32_t, const RECT& placed) override { rect = placed; }
};

class TOwner : public TComponent {
public:
    TOwner() : TComponent(nullptr) {}
    std::string_view ClassName() const override { return "TOwner"; }
};

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{left, top, right, bottom}));
}

TGraphic& ErrorGraphic()
{
    TGraphic* graphic = ErrorPicture().Graphic();
    if (!graphic)
        throw std::logic_error("the error picture is empty");
    return *graphic;
}

TEST(ImagePackErrors, CountAndEveryPlacementSetterRaiseTheirTextAndChangeNothing)
{
    TTestPack pack;
    EXPECT_EQ(MessageRaised<EImagePack>([&] { pack.SetCount(3); }), "Cannot set count of ImagePack");
    const std::vector<std::function<void()>> setters{
        [&] { pack.SetImageRect(0, RECT{0, 0, 1, 1}); }, [&] { pack.SetImageLeft(0, 5); },
        [&] { pack.SetImageTop(0, 5); },                 [&] { pack.SetImageWidth(0, 5); },
        [&] { pack.SetImageHeight(0, 5); }};
    for (const auto& set : setters)
        EXPECT_EQ(MessageRaised<EImagePack>(set), "Cannot set ImageRect of ImagePack");
    EXPECT_EQ(pack.GetCount(), 1);
    EXPECT_EQ(pack.GetImageLeft(0), 30);
    EXPECT_EQ(pack.GetImageTop(0), 0);
    EXPECT_EQ(pack.GetImageWidth(0), 100);
    EXPECT_EQ(pack.GetImageHeight(0), 50);
}

TEST(ImagePackPlacement, PositionSettersKeepTheSizeAndSizeSettersKeepThePosition)
{
    TPlaceablePack pack;
    pack.SetImageLeft(0, 5);
    ExpectRect(pack.rect, 5, 0, 105, 50);
    pack.SetImageTop(0, -7);
    ExpectRect(pack.rect, 5, -7, 105, 43);
    pack.SetImageWidth(0, 20);
    ExpectRect(pack.rect, 5, -7, 25, 43);
    pack.SetImageHeight(0, 3);
    ExpectRect(pack.rect, 5, -7, 25, -4);
}

TEST(ImagePackIndex, OnlyIndicesFromZeroBelowTheCountAreValid)
{
    TTestPack pack;
    EXPECT_TRUE(pack.IsInvalidIndex(-1));
    EXPECT_FALSE(pack.IsInvalidIndex(0));
    EXPECT_TRUE(pack.IsInvalidIndex(1));
    EXPECT_TRUE(pack.IsInvalidIndex(INT_MIN));
    EXPECT_TRUE(pack.IsInvalidIndex(INT_MAX));
    pack.count = 0;
    EXPECT_TRUE(pack.IsInvalidIndex(0));
}

TEST(ErrorPicture, IsOneTwoLineMetafileOfTheMeasuredText)
{
    auto* metafile = dynamic_cast<TMetafile*>(&ErrorGraphic());
    ASSERT_NE(metafile, nullptr);
    // Made once: a pack that falls back to it gets a copy and leaves the one
    // picture as it was.
    const HENHMETAFILE made = metafile->Handle();
    TTestPack pack;
    pack.count = 2;
    TPicture fallback;
    EXPECT_FALSE(pack.GetImageSafe(fallback, 1));
    EXPECT_EQ(&ErrorGraphic(), metafile);
    EXPECT_EQ(metafile->Handle(), made);
    EXPECT_NE(fallback.Graphic(), metafile);
    TSurface measure(1, 1, kWhite);
    const SIZE line = measure.Canvas().TextExtent("エラー");
    EXPECT_EQ(metafile->Height(), 2 * line.cy);
    EXPECT_GE(metafile->Width(), measure.Canvas().TextExtent("イメージ処理").cx);
}

// Every pixel of the rectangle is red text on white (smoothed edges only
// mix the two); both lines have text; nothing is drawn outside. Answers the
// width of the text's ink.
int ExpectRedOnWhite(TSurface& surface, const RECT& rect)
{
    int red = 0;
    int white = 0;
    int inkLeft = INT_MAX;
    int inkRight = INT_MIN;
    bool inkAbove = false;
    bool inkBelow = false;
    const int middle = (rect.top + rect.bottom) / 2;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF pixel = surface.Pixel(x, y);
            if (GetRValue(pixel) != 255 || GetGValue(pixel) != GetBValue(pixel)) {
                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << pixel;
                return 0;
            }
            white += pixel == kWhite;
            if (pixel == kWhite)
                continue;
            red += pixel == kRed;
            inkLeft = std::min(inkLeft, x);
            inkRight = std::max(inkRight, x);
            (y < middle ? inkAbove : inkBelow) = true;
        }
    }
    EXPECT_GT(red, 0);
    EXPECT_GT(white, red);
    EXPECT_TRUE(inkAbove);
    EXPECT_TRUE(inkBelow);
    for (int x = rect.left - 1; x <= rect.right; ++x) {
        EXPECT_EQ(surface.Pixel(x, rect.top - 1), kGreen);
        EXPECT_EQ(surface.Pixel(x, rect.bottom), kGreen);
    }
    for (int y = rect.top; y < rect.bottom; ++y) {
        EXPECT_EQ(surface.Pixel(rect.left - 1, y), kGreen);
        EXPECT_EQ(surface.Pixel(rect.right, y), kGreen);
    }
    return inkRight - inkLeft + 1;
}

TEST(ErrorPicture, StretchesIntoARectangleAsRedTextOnWhite)
{
    TGraphic& picture = ErrorGraphic();
    const int width = picture.Width();
    const int height = picture.Height();
    TSurface natural(width + 20, height + 20, kGreen);
    const RECT naturalRect{10, 10, 10 + width, 10 + height};
    natural.Canvas().StretchDraw(naturalRect, picture);
    const int naturalInk = ExpectRedOnWhite(natural, naturalRect);

    TSurface doubled(2 * width + 20, 2 * height + 20, kGreen);
    const RECT doubledRect{10, 10, 10 + 2 * width, 10 + 2 * height};
    doubled.Canvas().StretchDraw(doubledRect, picture);
    const int doubledInk = ExpectRedOnWhite(doubled, doubledRect);
    EXPECT_NEAR(doubledInk, 2 * naturalInk, 3);
}

TEST(ImagePackDrawing, DrawPutsTheImageAtThePointInItsNaturalSize)
{
    TTestPack pack;
    TSurface surface(200, 100, kGreen);
    pack.Draw(surface.Canvas(), 10, 20, 0);

    EXPECT_EQ(surface.Pixel(10, 20), kRed);
    EXPECT_EQ(surface.Pixel(59, 69), kRed);
    EXPECT_EQ(surface.Pixel(60, 20), kBlue);
    EXPECT_EQ(surface.Pixel(109, 69), kBlue);
    EXPECT_EQ(surface.Pixel(9, 20), kGreen);
    EXPECT_EQ(surface.Pixel(10, 19), kGreen);
    EXPECT_EQ(surface.Pixel(110, 69), kGreen);
    EXPECT_EQ(surface.Pixel(109, 70), kGreen);
}

TEST(ImagePackDrawing, AnImageThatCannotBeHadIsDrawnAsTheErrorPicture)
{
    TTestPack pack;
    pack.count = 2;
    TPicture picture;
    EXPECT_TRUE(pack.GetImageSafe(picture, 0));
    EXPECT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
    EXPECT_FALSE(pack.GetImageSafe(picture, 1));
    ASSERT_NE(picture.Graphic(), nullptr);
    EXPECT_TRUE(picture.Graphic()->Equals(ErrorGraphic()));

    // Kept to the picture's proportions: text stretched unevenly may reach
    // past the rectangle, as the platform plays metafile text back.
    const int width = 2 * ErrorGraphic().Width();
    const int height = 2 * ErrorGraphic().Height();
    const RECT rect{15, 5, 15 + width, 5 + height};
    TSurface drawn(width + 30, height + 10, kGreen);
    EXPECT_NO_THROW(pack.StretchDraw(drawn.Canvas(), rect, 1));
    TSurface expected(width + 30, height + 10, kGreen);
    expected.Canvas().StretchDraw(rect, ErrorGraphic());
    for (int y = 0; y < height + 10; ++y)
        for (int x = 0; x < width + 30; ++x)
            ASSERT_EQ(drawn.Pixel(x, y), expected.Pixel(x, y)) << x << "," << y;
    ExpectRedOnWhite(drawn, rect);
}

TEST(ImagePackNotification, ThePackIsTheOneIBroadcasterOfItsBroadcaster)
{
    TTestPack pack;
    IBroadcaster* const own = &pack;
    auto fromPack = TInterfaceRef<IBroadcaster>::Query(own, IID_IBroadcaster);
    IBroadcaster* const broadcaster = &pack.Broadcaster();
    auto fromBroadcaster = TInterfaceRef<IBroadcaster>::Query(broadcaster, IID_IBroadcaster);
    auto unknown = TInterfaceRef<IUnknown>::Query(broadcaster, IID_IUnknown);
    ASSERT_NE(broadcaster, own);
    EXPECT_EQ(fromPack.Get(), own);
    EXPECT_EQ(fromBroadcaster.Get(), own);
    EXPECT_EQ(unknown.Get(), static_cast<IUnknown*>(own));

    TListener throughPack(TNotifyIdEvent{});
    TListener throughBroadcaster(TNotifyIdEvent{});
    throughPack.Attach(own);
    pack.Broadcaster().AddListener(&throughBroadcaster);
    throughBroadcaster.Attach(own);
    EXPECT_EQ(pack.Broadcaster().ListenerCount(), 2);
    for (TListener* listener : {&throughPack, &throughBroadcaster}) {
        ASSERT_EQ(listener->BroadcasterCount(), 1);
        EXPECT_EQ(listener->Broadcasters(0), own);
    }
    throughBroadcaster.Detach(own);
    EXPECT_EQ(pack.Broadcaster().ListenerCount(), 1);
    pack.RemoveListener(&throughPack);
    EXPECT_EQ(throughPack.BroadcasterCount(), 0);
}

TEST(ImagePackNotification, ChangedTellsTheListenersInOrderThenOnChange)
{
    TTestPack pack;
    std::vector<std::string> calls;
    TReceiver received;
    auto record = [&](std::string name) {
        return TNotifyIdEvent([&calls, &received, name](TObject* sender, const GUID& id) {
            calls.push_back(name);
            received.received.push_back({sender, id});
        });
    };
    TListener second(record("second"));
    TListener first(record("first"));
    first.Attach(&pack);
    second.Attach(&pack);
    TObject* changedSender = nullptr;
    pack.OnChange = TNotifyEvent([&](TObject* sender) {
        calls.push_back("OnChange");
        changedSender = sender;
    });

    pack.Changed();
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "OnChange"}));
    EXPECT_EQ(received.Count(NotifyPackChanged), 2);
    for (const auto& entry : received.received)
        EXPECT_EQ(entry.sender, static_cast<TObject*>(&pack));
    EXPECT_EQ(changedSender, static_cast<TObject*>(&pack));

    calls.clear();
    pack.Refresh();
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(received.Count(NotifyPackRefresh), 2);
}

TEST(ImagePackNotification, DestroyingThePackTellsItsListenersAndUnlinksThem)
{
    auto owner = std::make_unique<TOwner>();
    auto* pack = new TTestPack(owner.get());
    TObject* const packObject = pack;
    TReceiver received;
    TListener listener(received.Handler());
    listener.Attach(pack);
    ASSERT_EQ(listener.RefCount(), 1);

    owner.reset();

    ASSERT_EQ(received.received.size(), 1u);
    EXPECT_EQ(received.received[0].sender, packObject);
    EXPECT_TRUE(IsEqualGUID(received.received[0].id, NotifyDestroying));
    EXPECT_EQ(listener.BroadcasterCount(), 0);
    EXPECT_EQ(listener.RefCount(), 0);
}

} // namespace
