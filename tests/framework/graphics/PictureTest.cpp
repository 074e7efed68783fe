#include <gtest/gtest.h>

#include "framework/graphics/Bitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/JpegImage.h"
#include "framework/graphics/Metafile.h"
#include "framework/graphics/Picture.h"
#include "framework/runtime/Layout.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

class TFirstBitmap : public TBitmap {
public:
    static constexpr std::string_view kClassName = "TFirstBitmap";
    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TFirstBitmap>(); }
};

class TSecondBitmap : public TBitmap {
public:
    static constexpr std::string_view kClassName = "TSecondBitmap";
    const TGraphicClass& GraphicClass() const override { return TGraphicClass::Of<TSecondBitmap>(); }
};

const TGraphicClass& First = TGraphicClass::Of<TFirstBitmap>();
const TGraphicClass& Second = TGraphicClass::Of<TSecondBitmap>();

TEST(GraphicClassRegistry, SearchesFromTheMostRecentRegistrationBackwards)
{
    TGraphicClassRegistry registry;
    registry.RegisterFileFormat("xyz", "First", First);
    registry.RegisterFileFormat(".XYZ", "Second", Second);
    registry.RegisterClipboardFormat(CF_DIB, First);
    registry.RegisterClipboardFormat(CF_DIB, Second);
    EXPECT_EQ(registry.FindByExtension("Xyz"), &Second);
    EXPECT_EQ(registry.FindByExtension(".xyz"), &Second);
    EXPECT_EQ(registry.FindByClipboardFormat(CF_DIB), &Second);
    EXPECT_EQ(registry.FindByName("TFirstBitmap"), &First);
    EXPECT_EQ(registry.FileFormats().back().description, "Second");

    registry.UnregisterGraphicClass(Second);
    EXPECT_EQ(registry.FindByExtension("xyz"), &First);
    EXPECT_EQ(registry.FindByClipboardFormat(CF_DIB), &First);
    EXPECT_EQ(registry.FindByName("TSecondBitmap"), nullptr);

    registry.UnregisterGraphicClass(First);
    EXPECT_EQ(registry.FindByExtension("xyz"), nullptr);
    EXPECT_EQ(registry.FindByClipboardFormat(CF_DIB), nullptr);
}

TEST(GraphicClassRegistry, TheFrameworkRegistersItsOwnClasses)
{
    EXPECT_EQ(GraphicClasses().FindByExtension("bmp"), &TGraphicClass::Of<TBitmap>());
    EXPECT_EQ(GraphicClasses().FindByExtension("ICO"), &TGraphicClass::Of<TIcon>());
    EXPECT_EQ(GraphicClasses().FindByExtension("emf"), &TGraphicClass::Of<TMetafile>());
    EXPECT_EQ(GraphicClasses().FindByExtension("jpeg"), &TGraphicClass::Of<TJPEGImage>());
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_ENHMETAFILE));
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_DIB));
}

TEST(Picture, TakesTheClassOfAFileFromTheRegistry)
{
    TTempFolder folder;
    const std::string path = folder.File("picture.BMP");
    WriteFile(path, MakeBitmapFile({"info8", TBitmapFileKind::Header::Info, 8}, 4, 3));

    TPicture picture;
    picture.LoadFromFile(path);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TBitmap");

    TPicture::RegisterFileFormat("bmp", "Test bitmaps", First);
    picture.LoadFromFile(path);
    TPicture::UnregisterGraphicClass(First);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TFirstBitmap");
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_EQ(picture.Height(), 3);

    picture.LoadFromFile(path);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TBitmap");
    EXPECT_THROW(picture.LoadFromFile(folder.File("picture.unknown")), EInvalidGraphic);
}

TEST(Picture, ClipboardFormatsNeedARegisteredClass)
{
    const std::vector<std::uint8_t> dib = PackedDibOf(MakeBitmapFile({"info24", TBitmapFileKind::Header::Info, 24}, 2, 2));
    const TGlobalCopy block(dib);

    TPicture picture;
    EXPECT_THROW(picture.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr), EInvalidGraphic);
    TPicture::RegisterClipboardFormat(CF_DIB, Second);
    EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_DIB));
    picture.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
    TPicture::UnregisterGraphicClass(Second);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TSecondBitmap");
    EXPECT_EQ(picture.Width(), 2);
    EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_DIB));
}

TEST(Picture, AnnouncesChangesOfItsGraphic)
{
    TPicture picture;
    int changes = 0;
    picture.OnChange = TNotifyEvent([&](TObject* sender) {
        EXPECT_EQ(sender, &picture);
        ++changes;
    });
    TBitmap& bitmap = picture.Bitmap();
    EXPECT_EQ(changes, 1);
    bitmap.SetSize(3, 3);
    EXPECT_EQ(changes, 2);
    bitmap.Canvas().FillRect(RECT{0, 0, 3, 3});
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(&picture.Bitmap(), &bitmap);
    EXPECT_EQ(changes, 3);

    picture.Metafile();
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(picture.Graphic()->ClassName(), "TMetafile");
}

TEST(Picture, AssignmentCopiesTheGraphicWithItsClass)
{
    TPicture source;
    auto graphic = std::make_unique<TSecondBitmap>();
    graphic->SetSize(5, 2);
    source.ReplaceGraphic(std::move(graphic));

    TPicture copy;
    copy.Assign(source);
    ASSERT_NE(copy.Graphic(), source.Graphic());
    EXPECT_EQ(copy.Graphic()->ClassName(), "TSecondBitmap");
    EXPECT_EQ(copy.Width(), 5);

    TPicture empty;
    copy.Assign(empty);
    EXPECT_EQ(copy.Graphic(), nullptr);
    EXPECT_THROW(copy.Assign(TFont()), EAssignError);
}

TLayoutValue StoredData(TPersistent& object)
{
    TProperties properties;
    object.DefineProperties(properties);
    const TProperties::Property* data = properties.Find("Data");
    EXPECT_TRUE(data && data->stored());
    return data ? data->get() : TLayoutValue{};
}

void ReadData(TPersistent& object, const TLayoutValue& value)
{
    TProperties properties;
    object.DefineProperties(properties);
    TLayoutReader reader("test", "");
    properties.Find("Data")->set(value, reader);
}

TEST(Picture, StoresItsGraphicWithTheClassName)
{
    TPicture source;
    TBitmap& bitmap = source.Bitmap();
    LoadBytes(bitmap, MakeBitmapFile({"info4", TBitmapFileKind::Header::Info, 4}, 6, 5));
    const TLayoutValue stored = StoredData(source);
    ASSERT_EQ(stored.kind, TLayoutValue::Kind::Binary);
    EXPECT_EQ(std::string(stored.bytes.begin() + 1, stored.bytes.begin() + 8), "TBitmap");

    TPicture copy;
    ReadData(copy, stored);
    ASSERT_NE(copy.Graphic(), nullptr);
    EXPECT_EQ(copy.Graphic()->ClassName(), "TBitmap");
    TRenderTarget mine(6, 5);
    TRenderTarget theirs(6, 5);
    mine.Draw(*copy.Graphic());
    theirs.Draw(bitmap);
    EXPECT_EQ(mine.Pixels(), theirs.Pixels());

    TPicture empty;
    TProperties properties;
    empty.DefineProperties(properties);
    EXPECT_FALSE(properties.Find("Data")->stored());
}

TEST(Picture, AGlyphBitmapStoresItsOwnData)
{
    TBitmap glyph;
    LoadBytes(glyph, MakeBitmapFile({"info8", TBitmapFileKind::Header::Info, 8}, 17, 17));
    TBitmap copy;
    ReadData(copy, StoredData(glyph));
    EXPECT_EQ(copy.Width(), 17);
    EXPECT_EQ(copy.PixelFormat(), TPixelFormat::Bit8);
    EXPECT_NE(copy.Palette(), nullptr);
}

} // namespace
