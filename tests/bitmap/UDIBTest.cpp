#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>

#include "bitmap/UDIB.h"
#include "container/UZLIB.h"
#include "framework/graphics/BitmapFile.h"
#include "framework/graphics/BitmapHeader.h"
#include "framework/graphics/BitmapSupport.h"
#include "framework/runtime/Handles.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/support/FuzzAllocations.h"

namespace {

using Header = TBitmapFileKind::Header;

const TBitmapFileKind kInfo24{"info24", Header::Info, 24};
const TBitmapFileKind kInfo8{"info8", Header::Info, 8};
const TBitmapFileKind kTopDown24{"topdown24", Header::Info, 24, BI_RGB, true};

// Every kind of data the platform draws itself, for comparison.
const TBitmapFileKind kDrawnKinds[] = {
    {"core1", Header::Core, 1},
    {"core4", Header::Core, 4},
    {"core8", Header::Core, 8},
    {"core24", Header::Core, 24},
    {"info1", Header::Info, 1},
    {"info4", Header::Info, 4},
    {"info8used16", Header::Info, 8, BI_RGB, false, 16},
    {"info16", Header::Info, 16},
    {"info24", Header::Info, 24},
    {"info32", Header::Info, 32},
    {"fields16", Header::Info, 16, BI_BITFIELDS, false, 0, {0xF800, 0x07E0, 0x001F}},
    {"fields32", Header::Info, 32, BI_BITFIELDS, false, 0, {0xFF0000, 0x00FF00, 0x0000FF}},
    {"rle8", Header::Info, 8, BI_RLE8},
    {"rle4", Header::Info, 4, BI_RLE4},
    {"topdown8", Header::Info, 8, BI_RGB, true},
    {"v5fields32", Header::V5, 32, BI_BITFIELDS, false, 0, {0xFF0000, 0x00FF00, 0x0000FF}},
    {"v5info24", Header::V5, 24},
};

// Deeper bitmaps that carry a colour table, which only advises palette
// screens: the pixels follow it all the same.
const TBitmapFileKind kTableCarryingKinds[] = {
    {"info16used256", Header::Info, 16, BI_RGB, false, 256},
    {"fields16used256", Header::Info, 16, BI_BITFIELDS, false, 256, {0xF800, 0x07E0, 0x001F}},
    {"info24used256", Header::Info, 24, BI_RGB, false, 256},
    {"info32used256", Header::Info, 32, BI_RGB, false, 256},
    {"fields32used16", Header::Info, 32, BI_BITFIELDS, false, 16, {0xFF0000, 0x00FF00, 0x0000FF}},
    {"v5fields16used256", Header::V5, 16, BI_BITFIELDS, false, 256, {0xF800, 0x07E0, 0x001F}},
};

BITMAPINFOHEADER InfoHeader(LONG width, LONG height, WORD bitCount, DWORD compression = BI_RGB, DWORD used = 0,
                            DWORD imageSize = 0)
{
    return BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, bitCount, compression, imageSize, 0, 0,
                            used, 0};
}

BITMAPCOREHEADER CoreHeader(WORD width, WORD height, WORD bitCount)
{
    return BITMAPCOREHEADER{sizeof(BITMAPCOREHEADER), width, height, 1, bitCount};
}

TEST(DibSizes, TheColourTableFollowsTheBitCountUnlessColoursUsedSaysOtherwise)
{
    auto table = [](BITMAPINFOHEADER h) { return HeaderAndTableSize(&h) - h.biSize; };
    EXPECT_EQ(table(InfoHeader(4, 4, 1)), 2u * 4);
    EXPECT_EQ(table(InfoHeader(4, 4, 8, BI_RGB, 16)), 16u * 4);
    EXPECT_EQ(table(InfoHeader(4, 4, 24)), 0u);
    EXPECT_EQ(table(InfoHeader(4, 4, 24, BI_RGB, 256)), 256u * 4);
    // Bit fields: three masks, then the table that colours-used gives.
    EXPECT_EQ(table(InfoHeader(4, 4, 16, BI_BITFIELDS)), 12u);
    EXPECT_EQ(table(InfoHeader(4, 4, 16, BI_BITFIELDS, 77)), 12u + 77 * 4);
    BITMAPCOREHEADER core = CoreHeader(4, 4, 4);
    EXPECT_EQ(ColorCount(&core), 16u);
    EXPECT_EQ(HeaderAndTableSize(&core), 12u + 16 * 3);
    EXPECT_EQ(BitsOffset(&core), 14u + 12 + 16 * 3);
    for (int bits : {0, 2, 16, 24, 32})
        EXPECT_EQ(PaletteSize(bits), 0u) << bits;
}

TEST(DibSizes, HeadersThatHoldTheirMasksHaveNoneAfterThem)
{
    BITMAPV5HEADER v5{};
    v5.bV5Size = sizeof v5;
    v5.bV5Width = 4;
    v5.bV5Height = 4;
    v5.bV5Planes = 1;
    v5.bV5BitCount = 32;
    v5.bV5Compression = BI_BITFIELDS;
    EXPECT_EQ(HeaderAndTableSize(&v5), sizeof v5);
    v5.bV5ClrUsed = 16;
    EXPECT_EQ(HeaderAndTableSize(&v5), sizeof v5 + 16 * 4);
}

TEST(DibSizes, RowsAreRoundedUpToFourBytesAndCompressedSizesComeFromTheHeader)
{
    auto image = [](BITMAPINFOHEADER h) { return ImageSize(&h); };
    EXPECT_EQ(image(InfoHeader(1, 1, 24)), 4u);
    EXPECT_EQ(image(InfoHeader(3, 1, 8)), 4u);
    EXPECT_EQ(image(InfoHeader(33, 1, 1)), 8u);
    EXPECT_EQ(image(InfoHeader(5, -7, 24)), 16u * 7);
    EXPECT_EQ(image(InfoHeader(5, 7, 8, BI_RLE8, 0, 0)), 0u);
    EXPECT_EQ(image(InfoHeader(5, 7, 8, BI_RLE8, 0, 123)), 123u);
    BITMAPCOREHEADER core = CoreHeader(65535, 2, 1);
    EXPECT_EQ(ImageSize(&core), 8192u * 2);
}

TEST(DibSizes, SizesBeyondThirtyTwoBitsSaturate)
{
    EXPECT_EQ(ImageSize(&static_cast<const BITMAPINFOHEADER&>(InfoHeader(0x7FFFFFFF, 0x7FFFFFFF, 32))), 0xFFFFFFFFu);
    BITMAPINFOHEADER negativeWidth = InfoHeader(-1, 2, 24);
    EXPECT_EQ(ImageSize(&negativeWidth), 0xFFFFFFFFu);
    BITMAPINFOHEADER manyColours = InfoHeader(1, 1, 8, BI_RGB, 0xFFFFFFF0u);
    EXPECT_EQ(HeaderAndTableSize(&manyColours), 0xFFFFFFFFu);
}

TEST(BMPInfo, ANewHeaderIsATwentyFourBitInfoHeader)
{
    TBMPInfo info;
    EXPECT_EQ(info.Size(), 40u);
    EXPECT_EQ(info.Header().biSize, 40u);
    EXPECT_EQ(info.Header().biPlanes, 1);
    EXPECT_EQ(info.Header().biBitCount, 24);
    EXPECT_EQ(info.Header().biWidth, 0);
}

TEST(BMPInfo, ACoreHeaderBecomesAnInfoHeaderWithFourByteEntries)
{
    const Bytes file = MakeBitmapFile({"core4", Header::Core, 4}, 300, 2);
    TBMPInfo info;
    info.AssignHeader(&file[14]);
    EXPECT_EQ(info.Size(), 40u + 16 * 4);
    EXPECT_EQ(info.Header().biSize, 40u);
    EXPECT_EQ(info.Header().biWidth, 300);
    EXPECT_EQ(info.Header().biHeight, 2);
    EXPECT_EQ(info.Header().biBitCount, 4);
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* entry = &file[14 + 12 + 3 * i];
        EXPECT_EQ(info.ColorTable()[i].rgbBlue, entry[0]);
        EXPECT_EQ(info.ColorTable()[i].rgbGreen, entry[1]);
        EXPECT_EQ(info.ColorTable()[i].rgbRed, entry[2]);
        EXPECT_EQ(info.ColorTable()[i].rgbReserved, 0);
    }
}

std::vector<DWORD> DrawnByDib(TDIB& dib, int width, int height)
{
    TRenderTarget target(width, height, RGB(1, 2, 3));
    TAttachedCanvas canvas(target.Dc());
    const RECT whole{0, 0, dib.Width(), dib.Height()};
    EXPECT_TRUE(dib.DrawDirect(canvas, RECT{0, 0, width, height}, whole));
    return target.Pixels();
}

// The three ways a DIB reads: a memory stream in place, any other stream
// by copying, a compressed container by inflating.
enum class TStreamKind { Memory, Other, Container };

constexpr TStreamKind kStreamKinds[] = {TStreamKind::Memory, TStreamKind::Other, TStreamKind::Container};

const char* NameOf(TStreamKind kind)
{
    return kind == TStreamKind::Memory ? "Memory" : kind == TStreamKind::Other ? "Other" : "Container";
}

// Loads the data through the kind of stream; a load that succeeds leaves
// the stream at the data's end.
void LoadThrough(TDIB& dib, TStreamKind kind, const Bytes& data)
{
    if (kind == TStreamKind::Container)
        return LoadThrough(dib, TStreamKind::Memory, ContainerOf(data));
    TMemoryStream memory = kind == TStreamKind::Memory ? StreamOf(data) : TMemoryStream();
    TPlainStream other(kind == TStreamKind::Other ? data : Bytes());
    TStream& stream = kind == TStreamKind::Other ? static_cast<TStream&>(other) : memory;
    dib.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(data.size())) << NameOf(kind);
}

class DibKinds : public testing::TestWithParam<std::tuple<TBitmapFileKind, TStreamKind>> {};

TEST_P(DibKinds, DrawLikeThePlatformDrawsTheSameData)
{
    const auto& [kind, streamKind] = GetParam();
    const Bytes file = MakeBitmapFile(kind, 7, 5);
    TDIB dib;
    LoadThrough(dib, streamKind, file);
    EXPECT_EQ(DrawnByDib(dib, 7, 5), DrawnByPlatform(file, 7, 5));
}

std::string KindName(const testing::TestParamInfo<TBitmapFileKind>& info)
{
    return info.param.name;
}

std::string KindAndStreamName(const testing::TestParamInfo<std::tuple<TBitmapFileKind, TStreamKind>>& info)
{
    return std::string(std::get<0>(info.param).name) + "_" + NameOf(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, DibKinds, testing::Combine(testing::ValuesIn(kDrawnKinds), testing::ValuesIn(kStreamKinds)),
                         KindAndStreamName);
INSTANTIATE_TEST_SUITE_P(TableCarryingKinds, DibKinds,
                         testing::Combine(testing::ValuesIn(kTableCarryingKinds), testing::ValuesIn(kStreamKinds)),
                         KindAndStreamName);

class DibTableCarryingKinds : public testing::TestWithParam<TBitmapFileKind> {};

// The block handed to the platform is the file's header, masks and table,
// as long as its colours-used field says, and the section made of it (as
// the logo is) shows the platform's colours.
TEST_P(DibTableCarryingKinds, KeepTheTableInTheHeaderBlockAndMakeSectionsOfThePixelsAfterIt)
{
    const Bytes file = MakeBitmapFile(GetParam(), 7, 5);
    DWORD offset;
    std::memcpy(&offset, &file[10], 4);
    TDIB dib;
    LoadBytes(dib, file);
    ASSERT_EQ(dib.Header().Size(), offset - 14);
    EXPECT_EQ(std::memcmp(dib.Header().Info(), &file[14], offset - 14), 0);

    const TGdiObject<HBITMAP> section(dib.CreateSectionHandle());
    ASSERT_TRUE(section);
    TRenderTarget target(7, 5);
    target.Blit(section.Get());
    EXPECT_EQ(target.Pixels(), DrawnByPlatform(file, 7, 5));
}

INSTANTIATE_TEST_SUITE_P(TableCarryingKinds, DibTableCarryingKinds, testing::ValuesIn(kTableCarryingKinds), KindName);

TEST(DibLoading, ThePixelOffsetOfTheFileHeaderIsIgnored)
{
    Bytes file = MakeBitmapFile(kInfo8, 6, 3);
    const std::vector<DWORD> expected = DrawnByPlatform(file, 6, 3);
    std::memset(&file[2], 0, 12);
    TDIB dib;
    LoadBytes(dib, file);
    EXPECT_EQ(DrawnByDib(dib, 6, 3), expected);
}

TEST(DibLoading, BitmapsBackToBackLoadOneAfterTheOtherFromEachKindOfStream)
{
    const Bytes first = MakeBitmapFile(kInfo24, 3, 2);
    // A core-header bitmap of 30 bytes: shorter than a file header with an
    // info header.
    const Bytes tiny = MakeBitmapFile({"core24", Header::Core, 24}, 1, 1);
    ASSERT_LT(tiny.size(), 54u);
    const Bytes last = MakeBitmapFile(kInfo8, 5, 4);
    Bytes all = first;
    all.insert(all.end(), tiny.begin(), tiny.end());
    all.insert(all.end(), last.begin(), last.end());

    auto loadAll = [&](TStream& stream) {
        TDIB dib;
        dib.LoadFromStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(first.size()));
        dib.LoadFromStream(stream);
        EXPECT_EQ(dib.Width(), 1);
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(first.size() + tiny.size()));
        dib.LoadFromStream(stream);
        EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(all.size()));
        EXPECT_EQ(DrawnByDib(dib, 5, 4), DrawnByPlatform(last, 5, 4));
    };
    TMemoryStream memory = StreamOf(all);
    loadAll(memory);
    TPlainStream other(all);
    loadAll(other);
}

TEST(DibLoading, ABitmapAloneShorterThanTheLeadLoadsFromAnyStream)
{
    const Bytes tiny = MakeBitmapFile({"core24", Header::Core, 24}, 1, 1);
    for (TStreamKind kind : kStreamKinds) {
        TDIB dib;
        LoadThrough(dib, kind, tiny);
        EXPECT_EQ(DrawnByDib(dib, 1, 1), DrawnByPlatform(tiny, 1, 1)) << NameOf(kind);
    }
}

using TErrorCheck = std::function<void(const std::exception&)>;

// Loads the data through all three kinds of stream, checking what each
// raised.
void ExpectEachStreamRaises(const Bytes& data, const TErrorCheck& check)
{
    for (TStreamKind kind : kStreamKinds) {
        SCOPED_TRACE(NameOf(kind));
        TDIB dib;
        try {
            LoadThrough(dib, kind, data);
            ADD_FAILURE() << "loaded";
        } catch (const std::exception& error) {
            check(error);
        }
    }
}

void IsInvalidBitmap(const std::exception& error)
{
    ASSERT_NE(dynamic_cast<const EInvalidGraphic*>(&error), nullptr) << error.what();
    EXPECT_STREQ(error.what(), "ビットマップイメージが不正です");
}

void IsReadError(const std::exception& error)
{
    EXPECT_NE(dynamic_cast<const EReadError*>(&error), nullptr) << error.what();
}

TErrorCheck IsTooLarge(std::int32_t width, std::int32_t height)
{
    return [=](const std::exception& error) {
        ASSERT_NE(dynamic_cast<const EInvalidGraphic*>(&error), nullptr) << error.what();
        EXPECT_EQ(static_cast<const EInvalidGraphic&>(error).Message(), PictureTooLargeMessage(width, height));
    };
}

TEST(DibLoading, DataThatIsNoBitmapIsAnInvalidGraphic)
{
    Bytes data = MakeBitmapFile(kInfo24, 2, 2);
    data[0] = 'X';
    ExpectEachStreamRaises(data, IsInvalidBitmap);
}

Bytes FileWithHeader(const BITMAPINFOHEADER& header, std::size_t room)
{
    Bytes file{'B', 'M'};
    file.resize(14);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&header);
    file.insert(file.end(), bytes, bytes + sizeof header);
    file.resize(file.size() + room);
    return file;
}

TEST(DibLoading, LayoutsThePlatformMakesNoBitmapOfAreInvalidGraphics)
{
    BITMAPINFOHEADER hugeHeader = InfoHeader(1, 1, 24);
    hugeHeader.biSize = 0xFFFFFFF0u;
    const BITMAPINFOHEADER layouts[] = {
        hugeHeader,                                  // a header larger than any version
        InfoHeader(-5, 1, 24),                       // a negative width
        InfoHeader(0, 1, 24),                        // no width
        InfoHeader(1, 1, 8, BI_RGB, 0x40000000),     // more colours than any table holds
        InfoHeader(2, 2, 0),                         // no depth
        InfoHeader(2, 2, 7),                         // a depth of no format
        InfoHeader(2, 2, 8, 0x1000),                 // a compression of no format
        InfoHeader(2, 2, 8, BI_JPEG, 0, 16),         // one the platform draws on printers only
        InfoHeader(2, 2, 24, BI_RLE8, 0, 16),        // run lengths of another depth
        InfoHeader(2, 2, 8, BI_RLE8),                // run lengths of no stated size
        InfoHeader(2, -2, 4, BI_RLE4, 0, 16),        // run lengths top-down
        InfoHeader(2, 2, 24, BI_BITFIELDS),          // masks for a depth without them
    };
    for (const BITMAPINFOHEADER& layout : layouts) {
        SCOPED_TRACE(std::to_string(layout.biBitCount) + " bits, compression " + std::to_string(layout.biCompression) +
                     ", width " + std::to_string(layout.biWidth));
        // Room for any colour table and pixels: only the layout is wrong.
        ExpectEachStreamRaises(FileWithHeader(layout, 2048), IsInvalidBitmap);
    }
}

TEST(DibLoading, DataEndingBeforeWhatItsHeadersDeclareIsAReadError)
{
    const Bytes file = MakeBitmapFile(kInfo8, 9, 9);
    // Cut inside the pixels, the colour table, the header and the file header.
    for (std::size_t length : {file.size() - 1, std::size_t{54 + 100}, std::size_t{40}, std::size_t{10}, std::size_t{1}}) {
        SCOPED_TRACE(length);
        ExpectEachStreamRaises(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)), IsReadError);
    }
}

TEST(DibLoading, HeadersThatClaimMoreThanTheDataHoldsAreReadErrors)
{
    const BITMAPINFOHEADER claims[] = {
        InfoHeader(64, 64, 24),                        // pixels beyond the data
        InfoHeader(1, 1, 24, BI_RGB, 256),             // a colour table beyond the data
        InfoHeader(2, 2, 8, BI_RLE8, 0, 0x7FFFFFF0),   // compressed pixels beyond the data
    };
    for (const BITMAPINFOHEADER& claim : claims)
        ExpectEachStreamRaises(FileWithHeader(claim, 64), IsReadError);
    // 16 GiB of pixels, beyond 32 bits: too large before the data is asked.
    ExpectEachStreamRaises(FileWithHeader(InfoHeader(0x10000, 0x10000, 32), 64), IsTooLarge(0x10000, 0x10000));
}

TEST(DibLoading, AContainerDeclaringMoreThanTheLargestBitmapWithinTheDecodeLimitIsRefusedBeforeInflating)
{
    Bytes container = ContainerOf(MakeBitmapFile(kInfo24, 2, 2));
    const auto declared = static_cast<std::uint32_t>(kMaxBitmapFileBytes + 1);
    std::memcpy(&container[13], &declared, 4);
    TMemoryStream stream = StreamOf(container);
    TDIB dib;
    EXPECT_EQ(MessageRaised<EInvalidGraphic>([&] { dib.LoadFromStream(stream); }),
              PictureDataTooLargeMessage(declared, kMaxBitmapFileBytes));
    // Refused before inflating: the stream stands on the zlib stream.
    EXPECT_EQ(stream.Position(), 17);

    // Right at the limit the claim is inflated, and found out by the data.
    const auto largest = static_cast<std::uint32_t>(kMaxBitmapFileBytes);
    std::memcpy(&container[13], &largest, 4);
    EXPECT_THROW(LoadBytes(dib, container), EZLibError);
}

// A few bytes of run-length data for a picture of the size.
Bytes RunLengthBitmapOf(std::int32_t width, std::int32_t height)
{
    Bytes file = MakeBitmapFile({"rle8", Header::Info, 8, BI_RLE8}, 4, 2);
    std::memcpy(&file[18], &width, 4);
    std::memcpy(&file[22], &height, 4);
    return file;
}

TEST(DibLoading, RunLengthDataThatWouldUnpackBeyondTheDecodeLimitIsRefused)
{
    // Beyond it in bytes (128 MiB), and in pixels alone (16 MiB and a row).
    for (const auto& [width, height] : {std::pair(16384, 8192), std::pair(4097, 4096)}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        ExpectEachStreamRaises(RunLengthBitmapOf(width, height), IsTooLarge(width, height));
    }
    // Right at the limit, however it is shaped, it loads.
    for (const auto& [width, height] : {std::pair(4096, 4096), std::pair(1, 4096 * 4096)}) {
        TDIB dib;
        LoadBytes(dib, RunLengthBitmapOf(width, height));
        EXPECT_EQ(dib.Width(), width);
        EXPECT_EQ(dib.Height(), height);
    }
    // A negative width is no size, not too large a one.
    ExpectEachStreamRaises(RunLengthBitmapOf(-4, 2), IsInvalidBitmap);
}

TEST(DibLoading, RunLengthDataLargerThanAnyPictureWithinTheDecodeLimitIsRefused)
{
    const Bytes small = RunLengthBitmapOf(4, 2);
    std::uint32_t headers = 0;
    std::memcpy(&headers, &small[10], 4);
    for (const std::int64_t stored : {kMaxPictureBytes, kMaxPictureBytes + 1}) {
        SCOPED_TRACE(stored);
        Bytes file(small.begin(), small.begin() + static_cast<std::ptrdiff_t>(headers));
        const auto size = static_cast<std::uint32_t>(stored);
        std::memcpy(&file[34], &size, 4);
        file.resize(headers + static_cast<std::size_t>(stored));
        TDIB dib;
        if (stored == kMaxPictureBytes)
            LoadThrough(dib, TStreamKind::Memory, file);
        else
            EXPECT_EQ(MessageRaised<EInvalidGraphic>([&] { LoadBytes(dib, file); }),
                      PictureDataTooLargeMessage(stored, kMaxPictureBytes));
    }
}

TEST(DibLoading, AMemoryStreamPositionedAtItsEndHoldsNoBitmap)
{
    TMemoryStream stream = StreamOf(MakeBitmapFile(kInfo24, 2, 2));
    stream.Seek(0, TSeekOrigin::End);
    TDIB dib;
    EXPECT_THROW(dib.LoadFromStream(stream), EReadError);
}

TEST(DibDrawing, BottomUpAndTopDownRowsDrawTheSamePicture)
{
    const Bytes bottomUp = MakeBitmapFile(kInfo24, 6, 5);
    const Bytes topDown = MakeBitmapFile(kTopDown24, 6, 5);
    TDIB a;
    TDIB b;
    LoadBytes(a, bottomUp);
    LoadBytes(b, topDown);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_EQ(DrawnByDib(a, 12, 10), DrawnByDib(b, 12, 10));
    EXPECT_EQ(DrawnByDib(a, 6, 5), DrawnByPlatform(bottomUp, 6, 5));
}

TEST(DibDrawing, UsesTheCanvasCopyModeAndNothingIsAlwaysDrawn)
{
    TDIB empty;
    TRenderTarget target(2, 2);
    TAttachedCanvas canvas(target.Dc());
    EXPECT_TRUE(empty.DrawDirect(canvas, RECT{0, 0, 2, 2}, RECT{0, 0, 2, 2}));

    const Bytes file = MakeBitmapFile(kInfo24, 2, 2);
    TDIB dib;
    LoadBytes(dib, file);
    const std::vector<DWORD> picture = DrawnByPlatform(file, 2, 2);
    canvas.SetCopyMode(DSTINVERT);
    EXPECT_TRUE(dib.DrawDirect(canvas, RECT{0, 0, 2, 2}, RECT{0, 0, 2, 2}));
    EXPECT_EQ(target.Pixel(1, 1), 0u); // white inverted
    canvas.SetCopyMode(SRCCOPY);
    EXPECT_TRUE(dib.DrawDirect(canvas, RECT{0, 0, 2, 2}, RECT{0, 0, 2, 2}));
    EXPECT_EQ(target.Pixels(), picture);
}

// Records every StretchDIBits call and refuses those of more than one
// destination row, as a printer that cannot take a whole image would.
struct TBandRecorder {
    struct TCall {
        int destinationY;
        int destinationHeight;
        int sourceY;
        int sourceHeight;
        bool refused;
    };
    static inline std::vector<TCall> calls;

    static int WINAPI StretchDIBits(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                                    int hSrc, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
    {
        const bool refused = hDest > 1;
        calls.push_back({yDest, hDest, ySrc, hSrc, refused});
        if (refused)
            return 0;
        return ::StretchDIBits(dc, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, bits, info, usage, rop);
    }
};

class DibBands : public testing::Test {
protected:
    void SetUp() override
    {
        TBandRecorder::calls.clear();
        SetStretchDIBitsForTests(&TBandRecorder::StretchDIBits);
    }
    void TearDown() override { SetStretchDIBitsForTests(nullptr); }

    // The whole DIB drawn in bands into a picture of the size.
    static std::vector<DWORD> DrawnBanded(TDIB& dib, int width, int height)
    {
        TRenderTarget target(width, height, RGB(1, 2, 3));
        TAttachedCanvas canvas(target.Dc());
        dib.DrawBanded(canvas, RECT{0, 0, width, height}, RECT{0, 0, dib.Width(), dib.Height()});
        return target.Pixels();
    }
};

TEST_F(DibBands, ARefusedImageIsDrawnOneDestinationRowAtATime)
{
    TDIB dib;
    LoadBytes(dib, MakeBitmapFile(kInfo24, 4, 100));
    const std::vector<DWORD> banded = DrawnBanded(dib, 4, 50);
    const auto& calls = TBandRecorder::calls;
    ASSERT_EQ(calls.size(), 51u);
    EXPECT_TRUE(calls[0].refused);
    EXPECT_EQ(calls[0].destinationHeight, 50);
    for (int d = 0; d < 50; ++d) {
        const auto& band = calls[d + 1];
        EXPECT_FALSE(band.refused);
        EXPECT_EQ(band.destinationY, d);
        EXPECT_EQ(band.sourceHeight, 2);
        // Bottom-up rows: source row 2d counted from the bottom.
        EXPECT_EQ(band.sourceY, 100 - (2 * d + 2));
    }
    // The bands make the picture the whole call would have made.
    SetStretchDIBitsForTests(nullptr);
    EXPECT_EQ(banded, DrawnByDib(dib, 4, 50));
}

TEST_F(DibBands, AnEnlargedImageGivesEveryBandAtLeastOneSourceRow)
{
    TDIB dib;
    LoadBytes(dib, MakeBitmapFile(kTopDown24, 3, 100));
    DrawnBanded(dib, 3, 200);
    const auto& calls = TBandRecorder::calls;
    ASSERT_EQ(calls.size(), 201u);
    for (int d = 0; d < 200; ++d) {
        EXPECT_EQ(calls[d + 1].sourceHeight, 1);
        EXPECT_EQ(calls[d + 1].sourceY, d / 2);
    }
}

TEST_F(DibBands, AnAcceptedImageIsDrawnInOneCall)
{
    TDIB dib;
    LoadBytes(dib, MakeBitmapFile(kInfo24, 3, 1));
    DrawnBanded(dib, 3, 1);
    EXPECT_EQ(TBandRecorder::calls.size(), 1u);
}

// The pixels of a bitmap handle, drawn 1:1.
std::vector<DWORD> PixelsOf(HBITMAP bitmap, int width, int height)
{
    TRenderTarget target(width, height);
    target.Blit(bitmap);
    return target.Pixels();
}

TEST(DibHandles, ASectionAndADeviceBitmapShowTheSamePixels)
{
    const TBitmapFileKind kinds[] = {kInfo24, kInfo8, {"rle8", Header::Info, 8, BI_RLE8}};
    for (const TBitmapFileKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const Bytes file = MakeBitmapFile(kind, 5, 4);
        TDIB dib;
        LoadBytes(dib, file);
        const std::vector<DWORD> expected = DrawnByPlatform(file, 5, 4);

        const TGdiObject<HBITMAP> handle(dib.CreateHandle());
        DIBSECTION section{};
        const bool isSection = GetObjectA(handle.Get(), sizeof section, &section) == sizeof section;
        EXPECT_EQ(isSection, kind.compression == BI_RGB);
        EXPECT_EQ(PixelsOf(handle.Get(), 5, 4), expected);

        const TGdiObject<HBITMAP> device(dib.CreateCompatibleHandle());
        ASSERT_TRUE(device);
        EXPECT_EQ(PixelsOf(device.Get(), 5, 4), expected);
    }
    TDIB empty;
    EXPECT_EQ(empty.CreateHandle(), nullptr);
}

TEST(DibBitmaps, ASectionIsBorrowedAndKeptAliveWithItsImage)
{
    TDIB dib;
    const Bytes file = MakeBitmapFile(kInfo8, 5, 4);
    const std::vector<DWORD> expected = DrawnByPlatform(file, 5, 4);
    TBitmap kept;
    {
        TBitmap bitmap;
        LoadBytes(bitmap, file);
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap.Handle(), sizeof section, &section), static_cast<int>(sizeof section));
        dib.AssignFromBitmap(bitmap);
        EXPECT_EQ(dib.Bits(), section.dsBm.bmBits);
        EXPECT_EQ(dib.Header().Header().biBitCount, 8);
    }
    // The bitmap is gone; its section is not.
    EXPECT_EQ(DrawnByDib(dib, 5, 4), expected);
    TDIB copy;
    copy.AssignFromDIB(dib);
    EXPECT_EQ(copy.Bits(), dib.Bits());
    copy.AssignTo(kept);
    TRenderTarget fromKept(5, 4);
    fromKept.Draw(kept);
    EXPECT_EQ(fromKept.Pixels(), expected);
}

TEST(DibBitmaps, ADeviceBitmapIsExportedWithItsPixels)
{
    const Bytes file = MakeBitmapFile(kInfo24, 5, 4);
    TBitmap bitmap;
    LoadBytes(bitmap, file);
    bitmap.SetHandleType(TBitmapHandleType::DDB);
    TDIB dib;
    dib.AssignFromBitmap(bitmap);
    EXPECT_NE(dib.Bits(), nullptr);
    TRenderTarget fromBitmap(5, 4);
    fromBitmap.Draw(bitmap);
    EXPECT_EQ(DrawnByDib(dib, 5, 4), fromBitmap.Pixels());
}

TEST(DibBitmaps, AnExportedPaletteBecomesTheColourTableBoundedByIt)
{
    // A 1-bit device bitmap exported through a palette of 256 colours: the
    // 2-entry table takes two of them and no more.
    const TGdiObject<HBITMAP> mono(CreateBitmap(16, 2, 1, 1, nullptr));
    std::vector<RGBQUAD> colors(256, RGBQUAD{9, 8, 7, 0});
    colors[0] = RGBQUAD{1, 2, 3, 0};
    colors[1] = RGBQUAD{4, 5, 6, 0};
    const TGdiObject<HPALETTE> palette(PaletteFromColors(colors));
    TDIB dib;
    EXPECT_FALSE(dib.AssignFromHandle(mono.Get(), palette.Get()));
    EXPECT_EQ(dib.Header().Size(), 40u + 2 * 4);
    EXPECT_EQ(dib.Header().Header().biClrUsed, 2u);
    EXPECT_EQ(dib.Header().ColorTable()[1].rgbRed, 6);
}

TEST(DibBitmaps, OnAnNTFamilySystemABitmapGetsASectionOfTheSameFormat)
{
    TDIB dib;
    const Bytes file = MakeBitmapFile(kInfo24, 5, 4);
    LoadBytes(dib, file);
    TBitmap bitmap;
    dib.AssignTo(bitmap);
    EXPECT_EQ(bitmap.HandleType(), TBitmapHandleType::DIB);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::Bit24);
    TRenderTarget target(5, 4);
    target.Draw(bitmap);
    EXPECT_EQ(target.Pixels(), DrawnByPlatform(file, 5, 4));
}

// An intake that must fail; those that must find no room refuse themselves
// what they allocate beyond a cap.
struct TFailedIntake {
    const char* name;
    std::function<void(TDIB&)> intake;
};

void PrintTo(const TFailedIntake& failed, std::ostream* out)
{
    *out << failed.name;
}

class DibFailedIntakes : public testing::TestWithParam<TFailedIntake> {};

// The DIB borrows a section whose bitmap is gone: only its kept image keeps
// the pixels alive, which a failed intake must not let go.
TEST_P(DibFailedIntakes, LeaveTheDibAsItWas)
{
    const Bytes file = MakeBitmapFile(kInfo8, 5, 4);
    TDIB dib;
    {
        TBitmap source;
        LoadBytes(source, file);
        dib.AssignFromBitmap(source);
    }
    const void* bits = dib.Bits();
    const auto headerOf = [&dib] {
        const auto* block = reinterpret_cast<const std::uint8_t*>(dib.Header().Info());
        return Bytes(block, block + dib.Header().Size());
    };
    const Bytes header = headerOf();

    EXPECT_THROW(GetParam().intake(dib), Exception);
    EXPECT_EQ(dib.Bits(), bits);
    EXPECT_EQ(headerOf(), header);
    MEMORY_BASIC_INFORMATION memory{};
    VirtualQuery(bits, &memory, sizeof memory);
    ASSERT_EQ(memory.State, DWORD{MEM_COMMIT}) << "the pixels were freed";
    const std::vector<DWORD> expected = DrawnByPlatform(file, 5, 4);
    EXPECT_EQ(DrawnByDib(dib, 5, 4), expected);
    TBitmap copy;
    dib.AssignTo(copy);
    TRenderTarget fromCopy(5, 4);
    fromCopy.Draw(copy);
    EXPECT_EQ(fromCopy.Pixels(), expected);
}

HBITMAP StaleHandle()
{
    const HBITMAP bitmap = CreateBitmap(4, 4, 1, 1, nullptr);
    DeleteObject(bitmap);
    return bitmap;
}

void LoadFile(TDIB& dib, const Bytes& file, std::size_t allocationCap = SIZE_MAX)
{
    TMemoryStream stream = StreamOf(file);
    const TAllocationWatch watch(allocationCap);
    dib.LoadFromStream(stream);
}

const TFailedIntake kFailedIntakes[] = {
    {"StaleHandle", [](TDIB& dib) { dib.AssignFromHandle(StaleHandle(), nullptr); }},
    {"SectionWithoutRoomForItsHeader",
     [](TDIB& dib) {
         TBitmap other;
         LoadBytes(other, MakeBitmapFile(kInfo8, 3, 3));
         const TAllocationWatch watch(512);
         dib.AssignFromHandle(other.Handle(), nullptr);
     }},
    {"DeviceBitmapWithoutRoomForItsPixels",
     [](TDIB& dib) {
         const TWindowDC screen;
         const TGdiObject<HBITMAP> device(CreateCompatibleBitmap(screen.Handle(), 64, 64));
         const TAllocationWatch watch(4096);
         dib.AssignFromHandle(device.Get(), nullptr);
     }},
    {"TruncatedFile",
     [](TDIB& dib) {
         Bytes file = MakeBitmapFile(kInfo24, 8, 8);
         file.resize(file.size() - 1);
         LoadFile(dib, file);
     }},
    {"FileWithoutRoomForItsPixels", [](TDIB& dib) { LoadFile(dib, MakeBitmapFile(kInfo24, 64, 64), 4096); }},
};

INSTANTIATE_TEST_SUITE_P(EachStep, DibFailedIntakes, testing::ValuesIn(kFailedIntakes),
                         [](const testing::TestParamInfo<TFailedIntake>& info) { return info.param.name; });

TEST(CompatibleDC, PaletteFormatsGetTheirColoursAsPaletteOthersNone)
{
    TBMPInfo info;
    {
        const TCompatibleDC dc(info);
        EXPECT_EQ(dc.Palette(), nullptr);
        BITMAP selected{};
        GetObjectA(GetCurrentObject(dc.Handle(), OBJ_BITMAP), sizeof selected, &selected);
        EXPECT_EQ(selected.bmWidth, 1);
    }
    info.SetSize(40 + 16 * 4);
    info.Header() = InfoHeader(1, 1, 8, BI_RGB, 16);
    const TCompatibleDC dc(info);
    ASSERT_NE(dc.Palette(), nullptr);
    WORD entries = 0;
    GetObjectA(dc.Palette(), sizeof entries, &entries);
    EXPECT_EQ(entries, 16);
    EXPECT_EQ(GetCurrentObject(dc.Handle(), OBJ_PAL), dc.Palette());
}

TEST(BitsHolder, IsACountedInterfaceOfItsOwnIdentity)
{
    IBitsHolder* holder = new TBitsHolder;
    holder->AddRef();
    void* asked = nullptr;
    ASSERT_EQ(holder->QueryInterface(IID_IBitsHolder, &asked), S_OK);
    EXPECT_EQ(asked, holder);
    EXPECT_EQ(holder->QueryInterface(IID_IDispatch, &asked), E_NOINTERFACE);
    static std::uint8_t borrowed[4];
    holder->SetBits(borrowed, FALSE);
    EXPECT_EQ(holder->GetBits(), borrowed);
    EXPECT_EQ(holder->Release(), 1u);
    EXPECT_EQ(holder->Release(), 0u);
}

} // namespace
