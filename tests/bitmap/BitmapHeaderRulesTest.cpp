#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "bitmap/UDIB.h"
#include "bitmap/USafetyBitmap.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "tests/bitmap/BitmapTestSupport.h"

// Every reader of bitmap headers (the toolkit's DIB and, through it, the
// safety bitmap; the framework's bitmap files, icon images and metafile
// records) takes the same layouts and refuses the same ones, as invalid
// graphics.

namespace {

using Header = TBitmapFileKind::Header;

// A change made to an info header in place, with its masks after it.
using THeaderPatch = std::function<void(BITMAPINFOHEADER&, DWORD* masks)>;

struct TRefusedLayout {
    const char* name;
    TBitmapFileKind base;
    THeaderPatch patch;
    // Whether an icon image may hold the base layout: no run lengths.
    bool iconImage = true;
};

// The bitmap file's header (at 14) patched.
Bytes PatchedFile(const Bytes& file, const THeaderPatch& patch)
{
    Bytes patched = file;
    auto& header = *reinterpret_cast<BITMAPINFOHEADER*>(&patched[14]);
    patch(header, reinterpret_cast<DWORD*>(&header + 1));
    return patched;
}

// One icon image of the file's bitmap: its header with the height counting
// the rows of an empty mask after the pixels.
Bytes IconImageOf(const Bytes& file)
{
    Bytes image(file.begin() + 14, file.end());
    auto& header = *reinterpret_cast<BITMAPINFOHEADER*>(image.data());
    const int rows = header.biHeight;
    header.biHeight *= 2;
    image.resize(image.size() + static_cast<std::size_t>(Stride(header.biWidth, 1) * rows), 0);
    return image;
}

// A metafile whose one record draws the file's bitmap with StretchDIBits,
// its header, masks and table and its pixels as the file holds them. Made
// here rather than recorded, as the platform's recording converts some
// layouts and faults on others.
Bytes MetafileOf(const Bytes& file)
{
    const auto& header = *reinterpret_cast<const BITMAPINFOHEADER*>(&file[14]);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    const LONG width = header.biWidth;
    const LONG height = std::abs(header.biHeight);
    const DWORD infoSize = offset - 14;
    const auto bitsSize = static_cast<DWORD>(file.size() - offset);
    const DWORD paddedBits = (bitsSize + 3) & ~3u;

    EMRSTRETCHDIBITS draw{};
    draw.emr = {EMR_STRETCHDIBITS, static_cast<DWORD>(sizeof draw + infoSize + paddedBits)};
    draw.rclBounds = {0, 0, width - 1, height - 1};
    draw.cxSrc = draw.cxDest = width;
    draw.cySrc = draw.cyDest = height;
    draw.offBmiSrc = sizeof draw;
    draw.cbBmiSrc = infoSize;
    draw.offBitsSrc = sizeof draw + infoSize;
    draw.cbBitsSrc = bitsSize;
    draw.iUsageSrc = DIB_RGB_COLORS;
    draw.dwRop = SRCCOPY;
    EMREOF end{{EMR_EOF, sizeof end}, 0, sizeof end - sizeof(DWORD), sizeof end};
    // A screen of 1024 x 768 pixels on 320 x 240 mm; the frame in 0.01 mm.
    ENHMETAHEADER head{};
    head.iType = EMR_HEADER;
    head.nSize = sizeof head;
    head.rclBounds = draw.rclBounds;
    head.rclFrame = {0, 0, width * 3125 / 100, height * 3125 / 100};
    head.dSignature = ENHMETA_SIGNATURE;
    head.nVersion = 0x10000;
    head.nBytes = head.nSize + draw.emr.nSize + end.emr.nSize;
    head.nRecords = 3;
    head.nHandles = 1;
    head.szlDevice = {1024, 768};
    head.szlMillimeters = {320, 240};

    Bytes data;
    auto put = [&data](const void* bytes, std::size_t size) {
        data.insert(data.end(), static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + size);
    };
    put(&head, sizeof head);
    put(&draw, sizeof draw);
    put(&file[14], infoSize + bitsSize);
    data.resize(data.size() + paddedBits - bitsSize, 0);
    put(&end, sizeof end);
    return data;
}

// What each reader makes of the data, "loaded" or the error it raised.
struct TReader {
    const char* name;
    std::function<void(const Bytes&)> load;
};

std::string Outcome(const TReader& reader, const Bytes& data)
{
    try {
        reader.load(data);
        return "loaded";
    } catch (const EInvalidGraphic& error) {
        return "invalid: " + error.Message();
    } catch (const std::exception& error) {
        return std::string("other error: ") + error.what();
    }
}

// A DIB or a graphic of the class loaded from the data.
template <class T>
void LoadGraphic(const Bytes& data)
{
    T graphic;
    LoadBytes(graphic, data);
}

// The readers of bitmap files, each given the data in its own form.
const TReader kFileReaders[] = {
    {"DIB", LoadGraphic<TDIB>},
    {"safety bitmap", LoadGraphic<TSafetyBitmap>},
    {"framework bitmap", LoadGraphic<TBitmap>},
};

const char kInvalidBitmap[] = "ビットマップイメージが不正です";

class RefusedLayouts : public testing::TestWithParam<TRefusedLayout> {};

TEST_P(RefusedLayouts, AreInvalidToEveryReaderThatTakesTheSameDataUnchanged)
{
    const TRefusedLayout& layout = GetParam();
    const Bytes file = MakeBitmapFile(layout.base, 5, 3);
    const Bytes patched = PatchedFile(file, layout.patch);
    for (const TReader& reader : kFileReaders) {
        SCOPED_TRACE(reader.name);
        EXPECT_EQ(Outcome(reader, file), "loaded");
        EXPECT_EQ(Outcome(reader, patched), std::string("invalid: ") + kInvalidBitmap);
    }
    if (layout.iconImage) {
        SCOPED_TRACE("icon image");
        const TReader icon{"icon", LoadGraphic<TIcon>};
        EXPECT_EQ(Outcome(icon, IconImageOf(file)), "loaded");
        EXPECT_EQ(Outcome(icon, IconImageOf(patched)).substr(0, 8), "invalid:");
    }
    SCOPED_TRACE("metafile");
    const TReader metafile{"metafile", LoadGraphic<TMetafile>};
    EXPECT_EQ(Outcome(metafile, MetafileOf(file)), "loaded");
    EXPECT_EQ(Outcome(metafile, MetafileOf(patched)).substr(0, 8), "invalid:");
}

const TBitmapFileKind kFields32{"fields32", Header::Info, 32, BI_BITFIELDS, false, 0, {0xFF0000, 0x00FF00, 0x0000FF}};
const TBitmapFileKind kFields16{"fields16", Header::Info, 16, BI_BITFIELDS, false, 0, {0xF800, 0x07E0, 0x001F}};

INSTANTIATE_TEST_SUITE_P(
    Readers, RefusedLayouts,
    testing::Values(
        // The masks of a damaged file found by fuzzing: the DIB took them, and
        // the platform then made no bitmap, which the user was told was a
        // shortage of resources.
        TRefusedLayout{"a32BitFieldLayoutWithoutGreen", kFields32,
                       [](BITMAPINFOHEADER&, DWORD* masks) {
                           masks[0] = 0x00000400;
                           masks[1] = 0;
                           masks[2] = 0x0000FF00;
                       }},
        TRefusedLayout{"a16BitFieldLayoutWithoutBlue", kFields16, [](BITMAPINFOHEADER&, DWORD* masks) { masks[2] = 0; }},
        TRefusedLayout{"moreImportantColoursThanTheTableHolds", {"info8used16", Header::Info, 8, BI_RGB, false, 16},
                       [](BITMAPINFOHEADER& header, DWORD*) { header.biClrImportant = 17; }},
        TRefusedLayout{"moreColoursThanOneBitIndexes", {"info1", Header::Info, 1},
                       [](BITMAPINFOHEADER& header, DWORD*) { header.biClrUsed = 3; }},
        TRefusedLayout{"moreColoursThanAnyPaletteHolds", {"info24used256", Header::Info, 24, BI_RGB, false, 256},
                       [](BITMAPINFOHEADER& header, DWORD*) { header.biClrUsed = 257; }},
        TRefusedLayout{"noWidth", {"info24", Header::Info, 24},
                       [](BITMAPINFOHEADER& header, DWORD*) { header.biWidth = 0; }},
        TRefusedLayout{"runLengthsTopDown", {"rle8", Header::Info, 8, BI_RLE8},
                       [](BITMAPINFOHEADER& header, DWORD*) { header.biHeight = -header.biHeight; }, false}),
    [](const testing::TestParamInfo<TRefusedLayout>& info) { return info.param.name; });

} // namespace
