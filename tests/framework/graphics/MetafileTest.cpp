#include <gtest/gtest.h>

#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Left half red, right half blue, recorded at 100 x 50; the red half starts
// with a red line of a pen 3 wide.
void Record(TMetafile& metafile)
{
    metafile.SetWidth(100);
    metafile.SetHeight(50);
    TMetafileCanvas canvas(metafile, nullptr);
    canvas.Brush().SetColor(clRed);
    canvas.FillRect(RECT{0, 0, 50, 50});
    canvas.Brush().SetColor(clBlue);
    canvas.FillRect(RECT{50, 0, 100, 50});
    canvas.Pen().SetColor(clRed);
    canvas.Pen().SetWidth(3);
    canvas.MoveTo(0, 25);
    canvas.LineTo(20, 25);
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
    // A recording has no pixels to take a part of.
    TRenderTarget target(20, 20);
    TCanvas canvas;
    canvas.SetHandle(target.Dc());
    EXPECT_THROW(canvas.StretchDraw(RECT{0, 0, 10, 10}, metafile, RECT{0, 0, 5, 5}), EInvalidGraphic);
    canvas.SetHandle(nullptr);
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

    EXPECT_THROW(LoadBytes(copy, std::vector<std::uint8_t>(100, 7)), EInvalidGraphic);
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

std::vector<std::uint8_t> StreamForm(TMetafile& metafile)
{
    TMemoryStream stream;
    metafile.SaveToStream(stream);
    return std::vector<std::uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

// Offsets of the records of a metafile's stream form, and their types.
std::vector<std::pair<std::size_t, DWORD>> Records(const std::vector<std::uint8_t>& data)
{
    std::vector<std::pair<std::size_t, DWORD>> records;
    for (std::size_t at = 0; at + 8 <= data.size();) {
        DWORD type;
        DWORD size;
        std::memcpy(&type, &data[at], 4);
        std::memcpy(&size, &data[at + 4], 4);
        records.emplace_back(at, type);
        at += size;
    }
    return records;
}

TEST(Metafile, RecordsThatPlaybackCannotTrustAreRefused)
{
    TMetafile metafile;
    Record(metafile);
    const std::vector<std::uint8_t> data = StreamForm(metafile);
    const auto records = Records(data);
    ASSERT_EQ(records.back().second, DWORD(EMR_EOF));
    auto refuses = [](std::vector<std::uint8_t> changed, const char* what) {
        TMetafile copy;
        EXPECT_THROW(LoadBytes(copy, changed), EInvalidGraphic) << what;
    };
    auto withField = [&data](std::size_t at, DWORD value) {
        std::vector<std::uint8_t> changed = data;
        std::memcpy(&changed[at], &value, 4);
        return changed;
    };
    const std::size_t second = records[1].first;
    refuses(withField(second + 4, 0), "a record of no size");
    refuses(withField(second + 4, 6), "a record shorter than its type and size");
    refuses(withField(second + 4, 10), "a record size that is no multiple of 4");
    refuses(withField(second + 4, static_cast<DWORD>(data.size())), "a record reaching past the end");
    refuses(withField(records.back().first, EMR_SAVEDC), "no end-of-file record");
    refuses(withField(second, 0x7F), "a record of a kind playback is not checked for");
    refuses(withField(offsetof(ENHMETAHEADER, nHandles), 0), "no handle table");
    const auto select = std::find_if(records.begin(), records.end(),
                                     [](const auto& record) { return record.second == EMR_SELECTOBJECT; });
    ASSERT_NE(select, records.end());
    refuses(withField(select->first + 8, 0x7000), "a handle index outside the table");
    const auto pen = std::find_if(records.begin(), records.end(),
                                  [](const auto& record) { return record.second == EMR_CREATEPEN; });
    ASSERT_NE(pen, records.end());
    refuses(withField(pen->first + 16, 65537), "a pen wider than any picture draws");
    refuses(withField(pen->first + 16, static_cast<DWORD>(-65537)), "a pen of a negative width beyond that");
    refuses(withField(offsetof(ENHMETAHEADER, szlMillimeters.cx), (1u << 29) + 1), "a device coarser than any");
    refuses(withField(offsetof(ENHMETAHEADER, szlMillimeters.cy), 0), "a device of no size");
    refuses(withField(offsetof(ENHMETAHEADER, szlDevice.cx), 1u << 30), "a device finer than any");
    refuses(withField(offsetof(ENHMETAHEADER, rclFrame.right), 0), "a frame of no width");
    refuses(withField(offsetof(ENHMETAHEADER, rclFrame.bottom), 1u << 30), "a frame beyond the decode limit");

    TMetafile copy;
    LoadBytes(copy, data);
    EXPECT_FALSE(copy.Empty());
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
    LoadBytes(icon, IconFile());
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

TEST(Icon, AnImageHeaderThatClaimsMoreThanItsDataIsRejected)
{
    // The header's height counts the rows of the pixels and of the mask.
    auto rejects = [](std::size_t at, std::int32_t value, const char* what) {
        std::vector<std::uint8_t> file = IconFile();
        std::memcpy(&file[22 + at], &value, 4);
        TIcon icon;
        EXPECT_THROW(LoadBytes(icon, file), EInvalidGraphic) << what;
    };
    rejects(8, 2 * 17, "a row more than the data holds");
    rejects(8, (1 << 27) + 1, "rows far beyond the data");
    rejects(8, -32, "a height below zero");
    rejects(4, 17, "a wider image than the data holds");
    rejects(14, 0, "no depth");
    rejects(32, 300, "more colours than a table can hold");
}

// One opaque 16 x 16 icon image of 32-bit bit fields, blue in its left half
// and red in its right; its header announces colors table entries (which
// only advise palette screens), put between masks and pixels with withTable.
std::vector<std::uint8_t> BitFieldIconImage(DWORD colors, bool withTable)
{
    constexpr int size = 16;
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), size, size * 2, 1, 32, BI_BITFIELDS, 0, 0, 0, colors, 0};
    std::vector<std::uint8_t> image(reinterpret_cast<std::uint8_t*>(&header),
                                    reinterpret_cast<std::uint8_t*>(&header) + sizeof header);
    auto put = [&image](DWORD value) {
        for (int i = 0; i < 4; ++i)
            image.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    for (DWORD mask : {0xFF0000u, 0x00FF00u, 0x0000FFu})
        put(mask);
    for (DWORD i = 0; withTable && i < colors; ++i)
        put(i * 0x010203);
    for (int pixel = 0; pixel < size * size; ++pixel)
        put(pixel % size < size / 2 ? 0x0000FF : 0xFF0000);
    for (int y = 0; y < size; ++y)
        put(0);
    return image;
}

TEST(Icon, ABitFieldImageKeepsItsColourTableBeforeItsPixels)
{
    auto drawn = [](const std::vector<std::uint8_t>& image) {
        TIcon icon;
        LoadBytes(icon, image);
        TRenderTarget target(16, 16, RGB(0, 255, 0));
        target.Draw(icon);
        return target.Pixels();
    };
    const std::vector<DWORD> plain = drawn(BitFieldIconImage(0, true));
    EXPECT_EQ(plain[5 * 16 + 2], Rgb(RGB(0, 0, 255)));
    EXPECT_EQ(plain[5 * 16 + 14], Rgb(RGB(255, 0, 0)));
    EXPECT_EQ(drawn(BitFieldIconImage(16, true)), plain);
    // Without the table it announces, the pixels and mask would be read
    // past the data.
    TIcon icon;
    EXPECT_THROW(LoadBytes(icon, BitFieldIconImage(16, false)), EInvalidGraphic);
}

TEST(Icon, DataThatIsNoIconIsRejected)
{
    TIcon icon;
    std::vector<std::uint8_t> file = IconFile();
    file[18] = 0xFF; // the image's offset points outside the data
    EXPECT_THROW(LoadBytes(icon, file), EInvalidGraphic);
    EXPECT_TRUE(icon.Empty());
}

} // namespace
