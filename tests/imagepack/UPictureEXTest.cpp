#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Printer.h"
#include "framework/ui/Clipboard.h"
#include "imagepack/UPictureEX.h"
#include "tests/bitmap/MaskTestSupport.h"
#include "tests/imagepack/NotifySupport.h"
#include "tests/imagepack/PictureResources.h"
#include "tests/support/TestColours.h"

namespace {


std::unique_ptr<TBitmap> SolidBitmap(int width, int height, COLORREF color)
{
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::Bit24);
    bitmap->SetSize(width, height);
    bitmap->Canvas().Brush().SetColor(color);
    bitmap->Canvas().FillRect(RECT{0, 0, width, height});
    return bitmap;
}

// The owner's callback and the listeners, in the order they heard of changes.
class PictureEx : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture.OnChange = TNotifyEvent([this](TObject* sender) {
            EXPECT_EQ(sender, &picture);
            heard.push_back("owner");
        });
        listener.Attach(&picture);
    }

    int Heard(const std::string& who) const { return static_cast<int>(std::count(heard.begin(), heard.end(), who)); }

    std::vector<std::string> heard;
    TReceiver receiver;
    TListener listener{TNotifyIdEvent([this](TObject* sender, const GUID& id) {
        receiver.received.push_back({sender, id});
        heard.push_back("listener");
    })};
    TPictureEx picture;
};

TEST_F(PictureEx, ItsOwnerHearsOfAChangeFirstThenItsListenersFromThePicture)
{
    void* broadcaster = nullptr;
    ASSERT_EQ(picture.QueryInterface(IID_IBroadcaster, &broadcaster), S_OK);
    EXPECT_EQ(broadcaster, static_cast<IBroadcaster*>(&picture));
    picture.Release();
    ASSERT_EQ(listener.BroadcasterCount(), 1);
    EXPECT_EQ(listener.Broadcasters(0), static_cast<IBroadcaster*>(&picture));

    picture.Assign(*SolidBitmap(4, 4, kRed));
    EXPECT_EQ(heard, (std::vector<std::string>{"owner", "listener"}));
    ASSERT_EQ(receiver.received.size(), 1u);
    EXPECT_EQ(receiver.received[0].sender, &picture);
    EXPECT_TRUE(IsEqualGUID(receiver.received[0].id, NotifyChanged));
}

TEST_F(PictureEx, AChangeMadeWhileAChangeIsHandledIsNotAnnouncedAgain)
{
    picture.Assign(*SolidBitmap(4, 4, kRed));
    heard.clear();
    picture.OnChange = TNotifyEvent([this](TObject*) {
        EXPECT_TRUE(picture.Changing());
        heard.push_back("owner");
        picture.Graphic()->SetTransparent(!picture.Graphic()->Transparent());
    });
    picture.Graphic()->SetTransparent(true);
    EXPECT_EQ(heard, (std::vector<std::string>{"owner", "listener"}));
    EXPECT_FALSE(picture.Changing());
}

TEST_F(PictureEx, TheAccessorsKeepAGraphicOfTheirKindAndReplaceAnotherSilently)
{
    picture.Assign(*SolidBitmap(4, 4, kRed));
    heard.clear();
    TSafetyBitmap& bitmap = picture.SafetyBitmap();
    EXPECT_EQ(picture.Graphic(), &bitmap);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(&picture.SafetyBitmap(), &bitmap);

    TJPEGImage& jpeg = picture.JpegImage();
    EXPECT_NE(dynamic_cast<TSafetyJPEGImage*>(&jpeg), nullptr);
    EXPECT_TRUE(heard.empty());

    // A plain JPEG image is a JPEG image too.
    picture.ReplaceGraphic(std::make_unique<TJPEGImage>());
    EXPECT_EQ(&picture.JpegImage(), picture.Graphic());
    EXPECT_EQ(dynamic_cast<TSafetyJPEGImage*>(picture.Graphic()), nullptr);

    // What is loaded into the graphic is announced.
    heard.clear();
    TMemoryStream stream = StreamOf(TwoColourBitmapFile(6, 4, kRed, kBlue));
    picture.SafetyBitmap().LoadFromStream(stream);
    EXPECT_EQ(heard, (std::vector<std::string>{"owner", "listener"}));
}

TEST_F(PictureEx, AssignmentCopiesItsTextsAndFillsAGraphicOfTheSameClassInPlace)
{
    TPictureEx source;
    source.SetImageID("logo");
    source.SetStorageID("store");
    source.ReplaceGraphic(Loaded<TMetafile>(EnhancedMetafile(40, 30, kBlue)));
    picture.ReplaceGraphic(Loaded<TMetafile>(EnhancedMetafile(10, 10, kRed)));
    TGraphic* kept = picture.Graphic();
    heard.clear();
    picture.Assign(source);
    EXPECT_EQ(picture.Graphic(), kept);
    EXPECT_EQ(picture.Width(), 40);
    EXPECT_EQ(picture.ImageID(), "logo");
    EXPECT_EQ(picture.StorageID(), "store");
    EXPECT_EQ(heard, (std::vector<std::string>{"owner", "listener"}));

    // JPEG images are always replaced; a graphic of another class too.
    source.ReplaceGraphic(Loaded<TSafetyJPEGImage>(SolidJpeg(8, 8, kRed)));
    picture.ReplaceGraphic(Loaded<TSafetyJPEGImage>(SolidJpeg(4, 4, kBlue)));
    kept = picture.Graphic();
    picture.Assign(source);
    EXPECT_NE(picture.Graphic(), kept);
    EXPECT_EQ(picture.Width(), 8);
    source.ReplaceGraphic(Loaded<TIcon>(IconImage(16, kRed)));
    picture.Assign(source);
    EXPECT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);

    // Two empty pictures: nothing happens. A plain picture has no texts.
    TPictureEx empty;
    empty.OnChange = TNotifyEvent([](TObject*) { ADD_FAILURE() << "an empty picture changed"; });
    empty.Assign(TPictureEx());
    TPicture plain;
    plain.Assign(*SolidBitmap(3, 3, kRed));
    picture.Assign(plain);
    EXPECT_EQ(picture.ImageID(), "logo");
    EXPECT_EQ(picture.Width(), 3);
}

// The clipboard's content for one scope; it is emptied afterwards.
class TClipboardContent {
public:
    TClipboardContent()
    {
        opened_ = OpenClipboard(nullptr) && EmptyClipboard();
    }
    ~TClipboardContent()
    {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
    }
    bool Put(UINT format, HANDLE data) { return opened_ && SetClipboardData(format, data); }
    void Close()
    {
        if (opened_)
            CloseClipboard();
        opened_ = false;
    }

private:
    bool opened_ = false;
};

TEST_F(PictureEx, FromTheClipboardItTakesTheFirstPictureFormatThere)
{
    const TSafetyBitmapRegistration safetyBitmaps;
    {
        TClipboardContent content;
        ASSERT_TRUE(content.Put(CF_TEXT, TGlobalCopy(Bytes{'h', 'i', 0}).Release()));
        ASSERT_TRUE(content.Put(CF_DIB, TGlobalCopy(PackedDibOf(TwoColourBitmapFile(6, 4, kRed, kBlue))).Release()));
        content.Close();
        picture.Assign(TClipboard());
        ASSERT_NE(dynamic_cast<TSafetyBitmap*>(picture.Graphic()), nullptr);
        EXPECT_EQ(picture.Width(), 6);
        TRenderTarget target(6, 4);
        target.Draw(*picture.Graphic());
        EXPECT_EQ(target.Pixel(0, 0), Rgb(kRed));
        EXPECT_EQ(target.Pixel(5, 3), Rgb(kBlue));
    }
    {
        TClipboardContent content;
        const Bytes bits = EnhancedMetafile(20, 10, kBlue);
        ASSERT_TRUE(content.Put(CF_ENHMETAFILE, SetEnhMetaFileBits(static_cast<UINT>(bits.size()), bits.data())));
        content.Close();
        picture.Assign(TClipboard());
        EXPECT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
    }
    {
        TClipboardContent content;
        ASSERT_TRUE(content.Put(CF_TEXT, TGlobalCopy(Bytes{'h', 'i', 0}).Release()));
        content.Close();
        TGraphic* kept = picture.Graphic();
        EXPECT_THROW(picture.Assign(TClipboard()), EAssignError);
        EXPECT_EQ(picture.Graphic(), kept);
    }
}

TEST_F(PictureEx, ItsDataIsLeftOutOfFormDataWhileItCameFromAResource)
{
    TProperties properties;
    picture.DefineProperties(properties);
    const TProperties::Property* data = properties.Find("Data");
    ASSERT_NE(data, nullptr);
    EXPECT_FALSE(data->stored());
    picture.Assign(*SolidBitmap(4, 4, kRed));
    EXPECT_TRUE(data->stored());
    const TLayoutValue stored = data->get();

    picture.SetLoadedFromResource(true);
    EXPECT_FALSE(data->stored());
    picture.SetGraphic(nullptr);
    struct TNoReader : TPropertyReader {
        void AddFixup(std::string, std::function<void(TComponent*)>) override {}
        const std::any& PublishedMethod(const std::string&) const override { throw ELayoutError("none"); }
    } reader;
    data->set(stored, reader);
    EXPECT_EQ(picture.Graphic(), nullptr);

    picture.SetLoadedFromResource(false);
    data->set(stored, reader);
    EXPECT_EQ(picture.Width(), 4);

    EXPECT_FALSE(properties.Find("ImageID")->stored());
    picture.SetImageID("logo");
    EXPECT_TRUE(properties.Find("ImageID")->stored());
}

TEST(PictureExLifetime, ItsListenersHearThatItGoesFromThePicture)
{
    TReceiver receiver;
    TListener listener(receiver.Handler());
    // Kept as a number: the picture is gone when it is compared.
    std::uintptr_t address = 0;
    {
        TPictureEx picture;
        address = reinterpret_cast<std::uintptr_t>(static_cast<const void*>(&picture));
        listener.Attach(&picture);
    }
    ASSERT_EQ(receiver.received.size(), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(static_cast<const void*>(receiver.received[0].sender)), address);
    EXPECT_TRUE(IsEqualGUID(receiver.received[0].id, NotifyDestroying));
    EXPECT_EQ(listener.BroadcasterCount(), 0);
}

TEST(SafetyJPEGImage, OnNTFamilySystemsItDrawsAsTheJPEGImageDoes)
{
    const Bytes data = SolidJpeg(12, 9, RGB(200, 40, 90));
    const auto plain = Loaded<TJPEGImage>(data);
    const auto safety = Loaded<TSafetyJPEGImage>(data);
    TRenderTarget plainTarget(24, 18);
    plainTarget.Draw(*plain, RECT{0, 0, 24, 18});
    TRenderTarget safetyTarget(24, 18);
    safetyTarget.Draw(*safety, RECT{0, 0, 24, 18});
    EXPECT_EQ(safetyTarget.Pixels(), plainTarget.Pixels());

    // Not through the toolkit's DIB drawing, even on a printer.
    TRenderTarget printed(24, 18);
    const TPrinterCanvasOn printer(Printer().Canvas(), printed.Dc());
    const TCountedStretchDIBits counted;
    Printer().Canvas().StretchDraw(RECT{0, 0, 24, 18}, *safety);
    EXPECT_EQ(counted.Calls(), 0);
    EXPECT_EQ(printed.Pixels(), plainTarget.Pixels());
}

// Makes its context in the middle of a draw: notes whether the drawn
// graphic's change callback is set then, and gives the context, or fails
// without one.
class TProbingCanvas : public TCanvas {
public:
    TProbingCanvas(const TGraphic& drawn, HDC dc) : drawn_(drawn), dc_(dc) {}
    ~TProbingCanvas() override { SetHandle(nullptr); }

    bool probed = false;
    bool callbackSet = false;

protected:
    void CreateHandle() override
    {
        probed = true;
        callbackSet = static_cast<bool>(drawn_.OnChange);
        if (!dc_)
            throw ECanvasError("no context");
        SetHandle(dc_);
    }

private:
    const TGraphic& drawn_;
    HDC dc_;
};

// Drawing, also a failing one.
class SafetyJPEGImageDraw : public testing::TestWithParam<bool> {};

TEST_P(SafetyJPEGImageDraw, AnnouncesNoChangeAndLeavesTheCallbackAsItWas)
{
    const bool failing = GetParam();
    TPicture picture;
    picture.ReplaceGraphic(Loaded<TSafetyJPEGImage>(SolidJpeg(12, 9, kRed)));
    int changes = 0;
    picture.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    TGraphic& jpeg = *picture.Graphic();
    TRenderTarget target(12, 9);
    TProbingCanvas canvas(jpeg, failing ? nullptr : target.Dc());
    if (failing)
        EXPECT_THROW(jpeg.Draw(canvas, RECT{0, 0, 12, 9}), ECanvasError);
    else
        jpeg.Draw(canvas, RECT{0, 0, 12, 9});
    ASSERT_TRUE(canvas.probed);
    EXPECT_FALSE(canvas.callbackSet);
    EXPECT_EQ(changes, 0);
    jpeg.SetTransparent(true);
    EXPECT_EQ(changes, 1);
}

INSTANTIATE_TEST_SUITE_P(Failing, SafetyJPEGImageDraw, testing::Bool());

TEST(SafetyJPEGImage, ItsRegistrationTakesThePlainJPEGImagesPlaceForItsLifetime)
{
    const TGraphicClass& safety = TGraphicClass::Of<TSafetyJPEGImage>();
    const TGraphicClass& plain = TGraphicClass::Of<TJPEGImage>();
    TTempFolder folder;
    WriteFile(folder.File("photo.jpeg"), SolidJpeg(8, 8, kRed));
    {
        const TSafetyJPEGImageRegistration registration;
        EXPECT_EQ(GraphicClasses().FindByExtension("JPG"), &safety);
        EXPECT_EQ(GraphicClasses().FindByExtension("jpeg"), &safety);
        int entries = 0;
        for (const auto& format : GraphicClasses().FileFormats()) {
            EXPECT_NE(format.graphicClass, &plain) << format.extension;
            if (format.graphicClass == &safety) {
                EXPECT_EQ(format.description, "JPEG Image");
                ++entries;
            }
        }
        EXPECT_EQ(entries, 2);
        TPicture picture;
        picture.LoadFromFile(folder.File("photo.jpeg"));
        EXPECT_NE(dynamic_cast<TSafetyJPEGImage*>(picture.Graphic()), nullptr);
    }
    EXPECT_EQ(GraphicClasses().FindByExtension("jpg"), &plain);
    EXPECT_EQ(GraphicClasses().FindByExtension("JPEG"), &plain);
    EXPECT_EQ(GraphicClasses().FindByName("TSafetyJPEGImage"), nullptr);
}

} // namespace
