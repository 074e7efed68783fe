#include <gtest/gtest.h>

#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

namespace {

// Left half red, right half blue, recorded at 100 x 50.
void Record(TMetafile& metafile)
{
    metafile.SetWidth(100);
    metafile.SetHeight(50);
    TMetafileCanvas canvas(metafile, nullptr);
    canvas.Brush().SetColor(clRed);
    canvas.FillRect(RECT{0, 0, 50, 50});
    canvas.Brush().SetColor(clBlue);
    canvas.FillRect(RECT{50, 0, 100, 50});
}

void ExpectHalves(const TRenderTarget& target, const RECT& rect, COLORREF outside)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int middle = rect.top + height / 2;
    EXPECT_EQ(target.Pixel(rect.left + width / 4, middle), Rgb(RGB(255, 0, 0)));
    EXPECT_EQ(target.Pixel(rect.left + width * 3 / 4, middle), Rgb(RGB(0, 0, 255)));
    EXPECT_EQ(target.Pixel(rect.left + 1, rect.top + 1), Rgb(RGB(255, 0, 0)));
    EXPECT_EQ(target.Pixel(rect.right - 2, rect.bottom - 2), Rgb(RGB(0, 0, 255)));
    EXPECT_EQ(target.Pixel(rect.right + 1, middle), Rgb(outside));
    EXPECT_EQ(target.Pixel(rect.left + width / 4, rect.bottom + 1), Rgb(outside));
}

TEST(Metafile, ARecordingStretchesIntoAnyRectangle)
{
    TMetafile metafile;
    Record(metafile);
    ASSERT_FALSE(metafile.Empty());
    EXPECT_EQ(metafile.Width(), 100);
    EXPECT_EQ(metafile.Height(), 50);
    for (const RECT& rect : {RECT{0, 0, 100, 50}, RECT{10, 5, 210, 105}, RECT{3, 7, 33, 87}}) {
        SCOPED_TRACE(testing::Message() << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom);
        TRenderTarget target(220, 110, RGB(0, 255, 0));
        target.Draw(metafile, rect);
        ExpectHalves(target, rect, RGB(0, 255, 0));
    }
}

TEST(Metafile, TheStreamFormLoadsTheSamePicture)
{
    TMetafile metafile;
    Record(metafile);
    TMemoryStream stream;
    metafile.SaveToStream(stream);
    stream.WriteBuffer("tail", 4);
    stream.SetPosition(0);

    TMetafile copy;
    copy.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), stream.Size() - 4);
    EXPECT_NEAR(copy.Width(), 100, 1);
    EXPECT_NEAR(copy.Height(), 50, 1);
    TRenderTarget target(60, 40, RGB(0, 255, 0));
    target.Draw(copy, RECT{0, 0, 40, 20});
    ExpectHalves(target, RECT{0, 0, 40, 20}, RGB(0, 255, 0));

    TMemoryStream garbage = StreamOf(std::vector<std::uint8_t>(100, 7));
    EXPECT_THROW(copy.LoadFromStream(garbage), EInvalidGraphic);
}

TEST(Metafile, AssignmentAndTheClipboardMakeCopies)
{
    TMetafile metafile;
    Record(metafile);
    TMetafile assigned;
    assigned.Assign(metafile);
    TMetafile pasted;
    pasted.LoadFromClipboardFormat(CF_ENHMETAFILE, metafile.Handle(), nullptr);
    for (TMetafile* copy : {&assigned, &pasted}) {
        EXPECT_NE(copy->Handle(), metafile.Handle());
        TRenderTarget target(110, 60, RGB(0, 255, 0));
        target.Draw(*copy, RECT{0, 0, 100, 50});
        ExpectHalves(target, RECT{0, 0, 100, 50}, RGB(0, 255, 0));
    }
}

// An icon file with one 16 x 16 image of 24 bits: red, transparent in its
// left half through the AND mask.
std::vector<std::uint8_t> IconFile()
{
    constexpr int size = 16;
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), size, size * 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint8_t> image(reinterpret_cast<std::uint8_t*>(&header),
                                    reinterpret_cast<std::uint8_t*>(&header) + sizeof header);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool transparent = x < size / 2;
            image.push_back(0);
            image.push_back(0);
            image.push_back(transparent ? 0 : 255);
        }
    for (int y = 0; y < size; ++y) {
        const std::uint8_t row[4] = {0xFF, 0x00, 0x00, 0x00};
        image.insert(image.end(), row, row + 4);
    }
    std::vector<std::uint8_t> file;
    auto put = [&file](DWORD value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    put(0, 2); // reserved
    put(1, 2); // icons
    put(1, 2); // one image
    put(size, 1);
    put(size, 1);
    put(0, 2);  // colours, reserved
    put(1, 2);  // planes
    put(24, 2); // bits
    put(static_cast<DWORD>(image.size()), 4);
    put(22, 4); // offset of the image
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

TEST(Icon, DrawsThroughItsMask)
{
    TIcon icon;
    TMemoryStream stream = StreamOf(IconFile());
    icon.LoadFromStream(stream);
    ASSERT_FALSE(icon.Empty());
    EXPECT_TRUE(icon.Transparent());
    TRenderTarget target(icon.Width(), icon.Height(), RGB(0, 255, 0));
    target.Draw(icon);
    EXPECT_EQ(target.Pixel(2, 5), Rgb(RGB(0, 255, 0)));
    EXPECT_EQ(target.Pixel(icon.Width() - 2, 5), Rgb(RGB(255, 0, 0)));

    TMemoryStream saved;
    icon.SaveToStream(saved);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.Memory(), saved.Memory() + saved.Size()), IconFile());
}

TEST(Icon, DataThatIsNoIconIsRejected)
{
    TIcon icon;
    std::vector<std::uint8_t> file = IconFile();
    file[18] = 0xFF; // the image's offset points outside the data
    TMemoryStream stream = StreamOf(file);
    EXPECT_THROW(icon.LoadFromStream(stream), EInvalidGraphic);
    EXPECT_TRUE(icon.Empty());
}

} // namespace
