#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "bitmap/USafetyBitmap.h"
#include "container/UZLIB.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "imagepack/UResourceImageLoader.h"
#include "tests/imagepack/NotifySupport.h"
#include "tests/imagepack/PictureResources.h"
#include "tests/support/TestColours.h"

namespace {


// The program's own LOGO.
constexpr int kLogoWidth = 370;
constexpr int kLogoHeight = 251;

const TResFileId kBitmapType = ResNumber(2);
const TResFileId kIconType = ResNumber(3);

std::string BitmapResource(int width, int height, COLORREF left = kRed, COLORREF right = kBlue)
{
    return AsText(PackedDibOf(TwoColourBitmapFile(width, height, left, right)));
}

std::string CompressedBitmap(int width, int height)
{
    return AsText(ContainerOf(TwoColourBitmapFile(width, height, kRed, kBlue)));
}

class ResourceImageLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture.OnChange = TNotifyEvent([this](TObject*) { ++changes; });
    }

    // A resource file next to the program with the entries, named by ResFile.
    void Beside(const std::function<void(TResFileBuilder&)>& entries)
    {
        TResFileBuilder file;
        entries(file);
        ASSERT_TRUE(resFile.Save(file));
        loader.SetResFile(resFile.Name());
    }

    void Load(const std::string& type, const std::string& name)
    {
        loader.SetResType(type);
        loader.SetResName(name);
        loader.Load();
    }

    std::pair<int, int> Size() const { return {picture.Width(), picture.Height()}; }

    // The picture's pixel, drawn 1:1.
    COLORREF PixelOf(int x, int y)
    {
        TRenderTarget target(picture.Width(), picture.Height(), kGreen);
        target.Draw(*picture.Graphic());
        const DWORD pixel = target.Pixel(x, y);
        return RGB(pixel >> 16, pixel >> 8 & 0xFF, pixel & 0xFF);
    }

    TResFileBesideProgram resFile{"ImageLoader"};
    TPictureEx picture;
    TResourceImageLoader loader{picture};
    int changes = 0;
};

TEST_F(ResourceImageLoader, WithoutTheFileTheProgramsOwnBitmapIsLoadedAndWithItTheFilesOne)
{
    loader.SetResFile(resFile.Name());
    Load("RT_BITMAP", "LOGO");
    ASSERT_NE(dynamic_cast<TSafetyBitmap*>(picture.Graphic()), nullptr);
    EXPECT_EQ(Size(), std::pair(kLogoWidth, kLogoHeight));
    EXPECT_TRUE(picture.LoadedFromResource());
    EXPECT_EQ(changes, 1);

    Beside([](TResFileBuilder& file) { file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20)); });
    loader.Load();
    EXPECT_EQ(Size(), std::pair(30, 20));
    EXPECT_EQ(PixelOf(0, 0), kRed);
    EXPECT_EQ(PixelOf(29, 19), kBlue);
    EXPECT_EQ(changes, 2);
}

TEST_F(ResourceImageLoader, AFullPathIsStillTakenInTheProgramsFolderSoTheProgramsOwnIsLoaded)
{
    TTempFolder elsewhere;
    TResFileBuilder file;
    file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20));
    ASSERT_TRUE(file.Save(elsewhere.File("Image.res")));
    loader.SetResFile(elsewhere.File("Image.res"));
    Load("RT_BITMAP", "LOGO");
    EXPECT_EQ(Size(), std::pair(kLogoWidth, kLogoHeight));
}

TEST_F(ResourceImageLoader, AFileWithoutTheResourceRaisesNotFoundAndTheProgramIsNotConsulted)
{
    Beside([](TResFileBuilder& file) { file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20)); });
    Load("RT_BITMAP", "LOGO");
    TResFileBuilder without;
    without.Add(kBitmapType, ResText(L"OTHER"), BitmapResource(40, 40));
    ASSERT_TRUE(resFile.Save(without));
    EXPECT_EQ(MessageRaised<EResNotFound>([this] { loader.Load(); }), "LOGO リソースが見つかりません");
    EXPECT_EQ(Size(), std::pair(30, 20));
    EXPECT_TRUE(picture.LoadedFromResource());
    EXPECT_EQ(changes, 1);
}

TEST_F(ResourceImageLoader, OnlyTheExactKeywordsAreTheNumberedTypesAndNamesMatchInAnyCase)
{
    Beside([](TResFileBuilder& file) {
        file.Add(ResText(L"rt_bitmap"), ResText(L"logo"), BitmapResource(10, 10));
        file.Add(kBitmapType, ResText(L"logo"), BitmapResource(30, 20));
        file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(40, 40));
    });
    Load("RT_BITMAP", "LOGO");
    EXPECT_EQ(Size(), std::pair(30, 20));

    // Found as a named type, which is no picture type: nothing is loaded.
    Load("rt_bitmap", "Logo");
    EXPECT_EQ(Size(), std::pair(30, 20));
    EXPECT_FALSE(picture.LoadedFromResource());
    EXPECT_EQ(changes, 1);

    Beside([](TResFileBuilder& file) { file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20)); });
    EXPECT_THROW(Load("Rt_Bitmap", "LOGO"), EResNotFound);
    EXPECT_THROW(Load("RT_ICON", "LOGO"), EResNotFound);
}

TEST_F(ResourceImageLoader, EveryKindOfPictureResourceBecomesItsGraphic)
{
    Beside([](TResFileBuilder& file) {
        file.Add(kBitmapType, ResText(L"PLAIN"), BitmapResource(30, 20));
        file.Add(kBitmapType, ResText(L"PACKED"), CompressedBitmap(33, 21));
        file.Add(ResText(L"CBM"), ResText(L"PACKED"), CompressedBitmap(34, 22));
        file.Add(ResText(L"CBM"), ResText(L"PLAIN"), BitmapResource(35, 23));
        file.Add(kIconType, ResText(L"ICON"), AsText(IconImage(32, kGreen)));
        file.Add(ResText(L"METAFILE"), ResText(L"PICTURE"), AsText(EnhancedMetafile(40, 30, kBlue)));
        file.Add(ResText(L"JPEG"), ResText(L"PHOTO"), AsText(SolidJpeg(24, 16, kRed)));
        file.Add(ResText(L"PNG"), ResText(L"PHOTO"), "not read");
    });

    Load("RT_BITMAP", "PLAIN");
    EXPECT_EQ(Size(), std::pair(30, 20));
    EXPECT_EQ(PixelOf(14, 10), kRed);
    EXPECT_EQ(PixelOf(15, 10), kBlue);

    // A bitmap resource whose data is a compressed bitmap file.
    Load("RT_BITMAP", "PACKED");
    EXPECT_EQ(Size(), std::pair(33, 21));
    EXPECT_EQ(PixelOf(15, 20), kRed);
    EXPECT_EQ(PixelOf(16, 0), kBlue);

    for (const char* type : {"CBM", "cbm"}) {
        Load(type, "PACKED");
        EXPECT_EQ(Size(), std::pair(34, 22));
        EXPECT_EQ(PixelOf(17, 1), kBlue);
        Load(type, "PLAIN");
        EXPECT_EQ(Size(), std::pair(35, 23));
        EXPECT_TRUE(picture.LoadedFromResource());
        ASSERT_NE(dynamic_cast<TSafetyBitmap*>(picture.Graphic()), nullptr);
    }

    Load("RT_ICON", "ICON");
    ASSERT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);
    EXPECT_EQ(Size(), std::pair(32, 32));
    EXPECT_EQ(PixelOf(16, 16), kGreen);

    Load("metafile", "PICTURE");
    ASSERT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
    EXPECT_EQ(PixelOf(20, 15), kBlue);

    Load("Jpeg", "PHOTO");
    ASSERT_NE(dynamic_cast<TSafetyJPEGImage*>(picture.Graphic()), nullptr);
    EXPECT_EQ(Size(), std::pair(24, 16));
    const COLORREF photo = PixelOf(12, 8);
    EXPECT_GT(GetRValue(photo), 240);
    EXPECT_LT(GetGValue(photo) + GetBValue(photo), 30);
    EXPECT_TRUE(picture.LoadedFromResource());
    EXPECT_EQ(changes, 9);

    // A type the loader does not read is no error and loads nothing.
    Load("PNG", "PHOTO");
    EXPECT_NE(dynamic_cast<TSafetyJPEGImage*>(picture.Graphic()), nullptr);
    EXPECT_FALSE(picture.LoadedFromResource());
    EXPECT_EQ(changes, 9);
}

TEST_F(ResourceImageLoader, ADamagedPictureRaisesItsDecodersErrorAndThePictureStaysAsItWas)
{
    Bytes truncatedBitmap = PackedDibOf(TwoColourBitmapFile(30, 20, kRed, kBlue));
    truncatedBitmap.resize(truncatedBitmap.size() - 7);
    Bytes packedGarbage = ContainerOf(TwoColourBitmapFile(30, 20, kRed, kBlue));
    packedGarbage.resize(40);
    Bytes badJpeg = SolidJpeg(24, 16, kRed);
    badJpeg.resize(badJpeg.size() / 3);
    Beside([&](TResFileBuilder& file) {
        file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20));
        file.Add(kBitmapType, ResText(L"SHORT"), AsText(truncatedBitmap));
        file.Add(kBitmapType, ResText(L"NOBITMAP"), "no bitmap at all, but long enough to look like one.");
        file.Add(ResText(L"CBM"), ResText(L"SHORT"), AsText(packedGarbage));
        file.Add(kIconType, ResText(L"BAD"), "no icon");
        file.Add(ResText(L"METAFILE"), ResText(L"BAD"), AsText(PackedDibOf(TwoColourBitmapFile(8, 8, kRed, kBlue))));
        file.Add(ResText(L"JPEG"), ResText(L"BAD"), AsText(badJpeg));
    });
    const auto expectUnchanged = [this](const std::string& type, const std::string& name,
                                        const std::function<void()>& expectRaised) {
        SCOPED_TRACE(type + " " + name);
        Load("RT_BITMAP", "LOGO");
        TGraphic* before = picture.Graphic();
        const int changesBefore = changes;
        loader.SetResType(type);
        loader.SetResName(name);
        expectRaised();
        EXPECT_EQ(picture.Graphic(), before);
        EXPECT_EQ(Size(), std::pair(30, 20));
        EXPECT_EQ(PixelOf(0, 0), kRed);
        EXPECT_EQ(changes, changesBefore);
        // Cleared by the change of the resource, and not set by the failure.
        EXPECT_FALSE(picture.LoadedFromResource());
    };
    expectUnchanged("RT_BITMAP", "SHORT", [this] { EXPECT_THROW(loader.Load(), EReadError); });
    expectUnchanged("RT_BITMAP", "NOBITMAP", [this] { EXPECT_THROW(loader.Load(), EInvalidGraphic); });
    expectUnchanged("CBM", "SHORT", [this] { EXPECT_THROW(loader.Load(), EZLibError); });
    expectUnchanged("RT_ICON", "BAD", [this] { EXPECT_THROW(loader.Load(), EInvalidGraphic); });
    expectUnchanged("METAFILE", "BAD", [this] { EXPECT_THROW(loader.Load(), EInvalidGraphic); });
    expectUnchanged("JPEG", "BAD", [this] { EXPECT_THROW(loader.Load(), EInvalidGraphic); });
}

TEST_F(ResourceImageLoader, AReadyLoaderLoadsOnEveryRealChangeOfItsResource)
{
    Beside([](TResFileBuilder& file) {
        file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20));
        file.Add(kBitmapType, ResText(L"OTHER"), BitmapResource(40, 40));
    });
    loader.SetResType("RT_BITMAP");
    loader.SetResName("LOGO");
    EXPECT_EQ(picture.Graphic(), nullptr) << "not ready yet";

    loader.SetReady(true);
    loader.SetResName("OTHER");
    EXPECT_EQ(Size(), std::pair(40, 40));
    EXPECT_EQ(changes, 1);
    loader.SetResName("OTHER");
    loader.SetResType("RT_BITMAP");
    loader.SetResFile(resFile.Name());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(picture.LoadedFromResource());

    // Compared exactly: another case is another value.
    loader.SetResName("other");
    EXPECT_EQ(changes, 2);

    loader.SetAutoLoad(false);
    loader.SetResName("LOGO");
    EXPECT_EQ(Size(), std::pair(40, 40));
    EXPECT_FALSE(picture.LoadedFromResource());
}

TEST_F(ResourceImageLoader, AssignmentTakesTheResourceButNotAutoLoad)
{
    TResFileBuilder file;
    file.Add(kBitmapType, ResText(L"LOGO"), BitmapResource(30, 20));
    ASSERT_TRUE(resFile.Save(file));
    TPictureEx otherPicture;
    TResourceImageLoader other(otherPicture);
    other.SetResFile(resFile.Name());
    other.SetResType("RT_BITMAP");
    other.SetResName("LOGO");
    other.SetAutoLoad(false);

    Load("RT_BITMAP", "LOGO");
    ASSERT_EQ(Size(), std::pair(kLogoWidth, kLogoHeight));
    loader.SetReady(true);
    loader.Assign(other);
    EXPECT_EQ(loader.ResFile(), resFile.Name());
    EXPECT_TRUE(loader.AutoLoad());
    EXPECT_EQ(Size(), std::pair(30, 20));
    EXPECT_TRUE(picture.LoadedFromResource());

    EXPECT_THROW(loader.Assign(otherPicture), EAssignError);
}

TEST_F(ResourceImageLoader, WithoutANameOrATypeNothingIsLoaded)
{
    Load("RT_BITMAP", "");
    Load("", "LOGO");
    EXPECT_EQ(picture.Graphic(), nullptr);
    EXPECT_EQ(changes, 0);
}

} // namespace
