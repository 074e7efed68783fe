#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/runtime/Layout.h"
#include "imagepack/ImagePackClasses.h"
#include "imagepack/UMatrixImagePack.h"
#include "tests/imagepack/DisplaySupport.h"
#include "tests/imagepack/NotifySupport.h"
#include "tests/imagepack/PictureResources.h"

namespace {

constexpr COLORREF kBackground = RGB(0, 255, 0);
// One colour for each cell of a 3 x 2 grid, none of them the background.
const std::vector<COLORREF> kCellColors{RGB(255, 0, 0), RGB(0, 0, 255), RGB(255, 255, 0),
                                        RGB(0, 255, 255), RGB(255, 0, 255), RGB(128, 64, 32)};

bool operator==(const RECT& a, const RECT& b)
{
    return EqualRect(&a, &b) != 0;
}

std::vector<int> Rect(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// 100 x 50 in 3 x 2 cells of their colours: columns from 0, 33 and 67, rows
// from 0 and 25.
Bytes GridBitmapFile()
{
    return IndexedBitmapFile(100, 50, kCellColors,
                             [](int x, int y) { return (y < 25 ? 0 : 3) + (x < 33 ? 0 : x < 67 ? 1 : 2); });
}

class MatrixImagePack : public ::testing::Test {
protected:
    void SetUp() override
    {
        pack.OnChange = TNotifyEvent([this](TObject*) { ++onChange; });
        listener.Attach(&pack);
    }

    void UseGrid()
    {
        pack.Image().ReplaceGraphic(Loaded<TSafetyBitmap>(GridBitmapFile()));
        pack.SetCountCol(3);
        pack.SetCountRow(2);
    }

    TMatrixImagePack pack{nullptr};
    TReceiver receiver;
    TListener listener{receiver.Handler()};
    int onChange = 0;
};

TEST_F(MatrixImagePack, TheDefaultGridIsTheWholeLogo)
{
    pack.ImageLoader().SetResType("RT_BITMAP");
    pack.ImageLoader().SetResName("LOGO");
    pack.Loaded();
    EXPECT_TRUE(pack.ImageLoader().Ready());
    EXPECT_EQ(pack.GetCount(), 1);
    EXPECT_EQ(Rect(pack.GetImageRect(0)), (std::vector<int>{0, 0, 370, 251}));
    EXPECT_EQ(pack.GetImageWidth(0), 370);
    EXPECT_EQ(pack.GetImageHeight(0), 251);
    EXPECT_FALSE(pack.IsInvalidIndex(0));
    EXPECT_TRUE(pack.IsInvalidIndex(1));
    EXPECT_EQ(receiver.Count(NotifyPackChanged), 1);
    EXPECT_EQ(onChange, 1);
}

TEST_F(MatrixImagePack, CellsTileThePictureRowByRowToAPixel)
{
    UseGrid();
    EXPECT_EQ(pack.GetCount(), 6);
    EXPECT_EQ(Rect(pack.GetImageRect(0)), (std::vector<int>{0, 0, 33, 25}));
    EXPECT_EQ(Rect(pack.GetImageRect(1)), (std::vector<int>{33, 0, 67, 25}));
    EXPECT_EQ(Rect(pack.GetImageRect(2)), (std::vector<int>{67, 0, 100, 25}));
    EXPECT_EQ(Rect(pack.GetImageRect(4)), (std::vector<int>{33, 25, 67, 50}));
    EXPECT_EQ(Rect(pack.GetImageRect(5)), (std::vector<int>{67, 25, 100, 50}));
    EXPECT_EQ(pack.GetImageWidth(0), 33);
    EXPECT_EQ(pack.GetImageWidth(1), 34);
    EXPECT_EQ(pack.GetImageWidth(2), 33);
    EXPECT_TRUE(pack.IsInvalidIndex(6));
    EXPECT_TRUE(pack.GetImageRect(6) == (RECT{0, 0, 0, 0}));
    EXPECT_THROW(pack.SetImageWidth(0, 10), EImagePack);
    EXPECT_THROW(pack.SetCount(1), EImagePack);
}

TEST_F(MatrixImagePack, WithoutAPictureNoImageIsValidThoughTheCountIsOne)
{
    EXPECT_EQ(pack.GetCount(), 1);
    EXPECT_TRUE(pack.IsInvalidIndex(0));
    EXPECT_TRUE(pack.GetImageRect(0) == (RECT{0, 0, 0, 0}));
    pack.Image().ReplaceGraphic(std::make_unique<TSafetyBitmap>());
    EXPECT_TRUE(pack.IsInvalidIndex(0)) << "an empty graphic";
}

TEST_F(MatrixImagePack, EveryRealChangeOfTheGridOrThePictureIsAnnouncedOnce)
{
    pack.SetCountCol(1);
    pack.SetCountRow(1);
    EXPECT_TRUE(receiver.received.empty());
    pack.SetCountCol(3);
    EXPECT_EQ(receiver.received.size(), 1u);
    EXPECT_EQ(receiver.Count(NotifyPackChanged), 1);
    EXPECT_EQ(receiver.received[0].sender, &pack);
    pack.Image().ReplaceGraphic(Loaded<TSafetyBitmap>(GridBitmapFile()));
    EXPECT_EQ(receiver.Count(NotifyPackChanged), 2);
    EXPECT_EQ(onChange, 2);
}

TEST_F(MatrixImagePack, OneCellIsACopyOfTheGraphicOfItsKindAndACellOfAGridABitmap)
{
    TPicture image;
    pack.Image().ReplaceGraphic(Loaded<TSafetyJPEGImage>(SolidJpeg(20, 10, RGB(255, 0, 0))));
    pack.GetImage(image, 0);
    ASSERT_NE(dynamic_cast<TSafetyJPEGImage*>(image.Graphic()), nullptr);
    EXPECT_NE(image.Graphic(), pack.Image().Graphic());
    EXPECT_EQ(image.Width(), 20);
    pack.Image().ReplaceGraphic(Loaded<TMetafile>(EnhancedMetafile(30, 20, RGB(0, 0, 255))));
    pack.GetImage(image, 0);
    EXPECT_NE(dynamic_cast<TMetafile*>(image.Graphic()), nullptr);

    UseGrid();
    for (int index = 0; index < 6; ++index) {
        SCOPED_TRACE(index);
        pack.GetImage(image, index);
        ASSERT_NE(dynamic_cast<TBitmap*>(image.Graphic()), nullptr);
        const RECT cell = pack.GetImageRect(index);
        ASSERT_EQ(image.Width(), cell.right - cell.left);
        ASSERT_EQ(image.Height(), cell.bottom - cell.top);
        TRenderTarget target(image.Width(), image.Height());
        target.Draw(*image.Graphic());
        EXPECT_EQ(target.Pixels(), std::vector<DWORD>(image.Width() * image.Height(), Rgb(kCellColors[index])));
    }
    pack.GetImage(image, 6);
    EXPECT_EQ(image.Graphic(), nullptr);
}

TEST_F(MatrixImagePack, ACellStretchedToTwiceItsSizeShowsThatCellAlone)
{
    UseGrid();
    // Transparent too, in a colour that no cell has: the masked drawing.
    for (const bool transparent : {false, true}) {
        pack.Image().Graphic()->SetTransparent(transparent);
        pack.Image().Bitmap().SetTransparentColor(kBackground);
        for (int index : {0, 4, 5}) {
            SCOPED_TRACE(std::to_string(index) + (transparent ? " transparent" : ""));
            const int width = pack.GetImageWidth(index);
            const int height = pack.GetImageHeight(index);
            TRenderTarget target(2 * width + 20, 2 * height + 20, kBackground);
            TAttachedCanvas canvas(target.Dc());
            pack.StretchDraw(canvas, RECT{10, 10, 10 + 2 * width, 10 + 2 * height}, index);
            for (int y = 0; y < 2 * height + 20; ++y) {
                for (int x = 0; x < 2 * width + 20; ++x) {
                    const bool inside = x >= 10 && x < 10 + 2 * width && y >= 10 && y < 10 + 2 * height;
                    ASSERT_EQ(target.Pixel(x, y), Rgb(inside ? kCellColors[index] : kBackground)) << x << "," << y;
                }
            }
        }
    }
    // The bitmap is drawn from, not changed.
    EXPECT_EQ(Rendered(*pack.Image().Graphic()), Rendered(*Loaded<TSafetyBitmap>(GridBitmapFile())));
}

TEST_F(MatrixImagePack, ZeroOrNegativeCountsMakeAnEmptyGridThatDrawsNothing)
{
    UseGrid();
    for (const auto& [cols, rows] : std::vector<std::pair<int, int>>{{0, 2}, {3, 0}, {-3, 2}, {3, -2}, {-1, -1}}) {
        SCOPED_TRACE(std::to_string(cols) + " x " + std::to_string(rows));
        pack.SetCountCol(cols);
        pack.SetCountRow(rows);
        EXPECT_EQ(pack.GetCount(), 0);
        for (int index : {-1, 0, 1, 5}) {
            EXPECT_TRUE(pack.IsInvalidIndex(index));
            EXPECT_TRUE(pack.GetImageRect(index) == (RECT{0, 0, 0, 0}));
        }
        TPicture image;
        pack.GetImage(image, 0);
        EXPECT_EQ(image.Graphic(), nullptr);
        TRenderTarget target(40, 40, kBackground);
        {
            TAttachedCanvas canvas(target.Dc());
            pack.StretchDraw(canvas, RECT{0, 0, 40, 40}, 0);
            pack.Draw(canvas, 0, 0, 0);
        }
        EXPECT_EQ(target.Pixels(), std::vector<DWORD>(40 * 40, Rgb(kBackground)));
    }
    // A grid whose count does not fit is as large as a count can be.
    pack.SetCountCol(70000);
    pack.SetCountRow(70000);
    EXPECT_EQ(pack.GetCount(), INT_MAX);
    const RECT last = pack.GetImageRect(INT_MAX - 1);
    EXPECT_TRUE(last.left >= 0 && last.left <= last.right && last.right <= 100);
    EXPECT_TRUE(last.top >= 0 && last.top <= last.bottom && last.bottom <= 50);
}

TEST_F(MatrixImagePack, TheLoadedStepLoadsWithAutoLoadAndMakesTheLoaderReadyOnlyWhenItSucceeds)
{
    pack.ImageLoader().SetResType("RT_BITMAP");
    pack.ImageLoader().SetResName("NOWHERE");
    EXPECT_THROW(pack.Loaded(), EResNotFound);
    EXPECT_FALSE(pack.ImageLoader().Ready());

    TMatrixImagePack manual(nullptr);
    manual.ImageLoader().SetResType("RT_BITMAP");
    manual.ImageLoader().SetResName("LOGO");
    manual.ImageLoader().SetAutoLoad(false);
    manual.Loaded();
    EXPECT_TRUE(manual.ImageLoader().Ready());
    EXPECT_EQ(manual.Image().Graphic(), nullptr);
    manual.ImageLoader().Load();
    EXPECT_EQ(manual.Image().Width(), 370);
}

// The main window's way of showing the logo: a control and a pack read from
// a layout, the pack loading its picture once reading has finished.
class MatrixImagePackLayout : public ::testing::Test {
protected:
    void SetUp() override { RegisterImagePackClasses(); }

    static std::unique_ptr<TTestForm> Read(const std::string& resFile)
    {
        auto form = std::make_unique<TTestForm>();
        TLayoutReader("test", R"(TTestForm frmTest {
  TImageEx Image1 {
    Left = 0
    Top = 0
    Width = 370
    Height = 251
    Brush.Color = clWhite
    Brush.Style = bsSolid
    AutoSize = true
    ImagePack = MatrixImagePack1
    ImageIndex = 0
  }
  TMatrixImagePack MatrixImagePack1 {
    ImageLoader.ResFile = ")" + resFile + R"("
    ImageLoader.ResType = "RT_BITMAP"
    ImageLoader.ResName = "LOGO"
  }
})")
            .Read(*form);
        return form;
    }
};

TEST_F(MatrixImagePackLayout, TheControlTakesTheSizeOfTheLogoAndShowsIt)
{
    const TResFileBesideProgram absent("Image");
    const auto form = Read(absent.Name());
    auto* image = Found<TImageEx>(*form, "Image1");
    auto* pack = Found<TMatrixImagePack>(*form, "MatrixImagePack1");
    image->SetParent(form.get());
    EXPECT_TRUE(pack->ImageLoader().Ready());
    EXPECT_EQ(image->Width(), 370);
    EXPECT_EQ(image->Height(), 251);

    // The creation handler's last step sizes it afresh.
    image->SetBounds(0, 0, 1, 1);
    image->SetAutoSize(false);
    image->SetAutoSize(true);
    EXPECT_EQ(image->Width(), 370);
    EXPECT_EQ(image->Height(), 251);

    form->SetBounds(0, 0, 370, 251);
    form->Show();
    InvalidateRect(image->Handle(), nullptr, FALSE);
    EXPECT_EQ(PaintedPixels(*image).Rgbs(), Rendered(*pack->Image().Graphic()));
}

TEST_F(MatrixImagePackLayout, AResourceFileBesideTheProgramGivesItsLogoAndItsSize)
{
    const TResFileBesideProgram beside("Image");
    TResFileBuilder file;
    file.Add(ResNumber(2), ResText(L"logo"), AsText(PackedDibOf(TwoColourBitmapFile(120, 80, 0, 0xFFFFFF))));
    ASSERT_TRUE(beside.Save(file));
    const auto form = Read(beside.Name());
    auto* image = Found<TImageEx>(*form, "Image1");
    EXPECT_EQ(image->Width(), 120);
    EXPECT_EQ(image->Height(), 80);
}

TEST_F(MatrixImagePackLayout, APictureFromAResourceIsNotStoredButItsResourceIs)
{
    const TResFileBesideProgram absent("Image");
    const auto form = Read(absent.Name());
    auto* pack = Found<TMatrixImagePack>(*form, "MatrixImagePack1");
    const std::string written = WriteLayout(*form);
    EXPECT_EQ(written.find("Image.Data"), std::string::npos) << written;
    EXPECT_NE(written.find("ImageLoader.ResName = \"LOGO\""), std::string::npos) << written;
    EXPECT_EQ(written.find("CountCol"), std::string::npos);
    EXPECT_EQ(written.find("AutoLoad"), std::string::npos);

    // A picture given otherwise is stored, and read back.
    pack->ImageLoader().SetResName("");
    pack->SetCountCol(3);
    TPictureEx grid;
    grid.ReplaceGraphic(Loaded<TBitmap>(GridBitmapFile()));
    grid.SetImageID("grid");
    pack->SetImage(grid);
    const std::string stored = WriteLayout(*form);
    EXPECT_NE(stored.find("Image.Data"), std::string::npos) << stored;
    EXPECT_NE(stored.find("CountCol = 3"), std::string::npos);
    EXPECT_NE(stored.find("Image.ImageID = \"grid\""), std::string::npos);
    auto again = std::make_unique<TTestForm>();
    TLayoutReader("again", stored).Read(*again);
    auto* copy = Found<TMatrixImagePack>(*again, "MatrixImagePack1");
    EXPECT_EQ(copy->Image().Width(), 100);
    EXPECT_EQ(copy->Image().ImageID(), "grid");
    EXPECT_EQ(copy->GetCount(), 3);
    EXPECT_EQ(WriteLayout(*again), stored);
}

} // namespace
