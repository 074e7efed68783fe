#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "bitmap/UDIB.h"
#include "bitmap/UPaletteUtil.h"
#include "bitmap/USafetyBitmap.h"
#include "container/UZLIB.h"
#include "framework/runtime/Handles.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/bitmap/MaskTestSupport.h"
#include "tests/support/FuzzGuardedBytes.h"
#include "tests/support/FuzzTest.h"

// Bitmap data reaches the toolkit through the three kinds of stream TDIB
// reads from (a memory stream, read in place; any other stream, copied; a
// compressed container, inflated) and through the safety bitmap's clipboard,
// form-data and worker-thread loading. RIFF palettes are read from streams.
// The corpora: "dib" holds bitmap files (and a container), "dib-form-data"
// the same as form data, "dib-container" the same in containers, whose
// declared sizes and compressed data the mutants then damage. Every run
// also checks that the loads give back the memory and GDI objects they take.

namespace {

// A read-only memory stream over guarded bytes: the reader reads in place,
// and a read past the data faults.
class TGuardedStream : public TCustomMemoryStream {
public:
    explicit TGuardedStream(const TGuardedBytes& bytes) { SetPointer(bytes.Data(), static_cast<std::int64_t>(bytes.Size())); }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
};

bool IsDibRefusal(const std::exception& error)
{
    return dynamic_cast<const EInvalidGraphic*>(&error) || dynamic_cast<const EReadError*>(&error) ||
           dynamic_cast<const EZLibError*>(&error) || dynamic_cast<const EOutOfMemory*>(&error);
}

// The platform refusing to make a bitmap of what was read is the safety
// bitmap's refusal too.
bool IsSafetyBitmapRefusal(const std::exception& error)
{
    return IsDibRefusal(error) || dynamic_cast<const EOutOfResources*>(&error);
}

// What the DIB holds is drawn as the toolkit draws it, and a bitmap is made
// of uncompressed pixels: the platform takes every layout the DIB takes, or
// a damaged file reaches the user as a shortage of resources.
void DrawDib(TDIB& dib)
{
    if (!dib.HasBits())
        return;
    const DWORD compression = dib.Header().Header().biCompression;
    if (compression == BI_RGB || compression == BI_BITFIELDS) {
        const TGdiObject<HBITMAP> section(dib.CreateSectionHandle());
        if (!section)
            throw TFuzzViolation("the platform made no bitmap of a layout the DIB took");
    }
    TRenderTarget target(8, 8);
    TAttachedCanvas canvas(target.Dc());
    dib.DrawDirect(canvas, RECT{0, 0, 8, 8}, RECT{0, 0, dib.Width(), dib.Height()});
}

void LoadDibInPlace(const TFuzzBytes& input)
{
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded);
    TDIB dib;
    dib.LoadFromStream(stream);
    if (stream.Position() > stream.Size())
        throw TFuzzViolation("the stream was left past its end");
    DrawDib(dib);
}

void LoadDibCopied(const TFuzzBytes& input)
{
    TPlainStream stream(input);
    TDIB dib;
    dib.LoadFromStream(stream);
    DrawDib(dib);
}

void LoadDibFromContainer(const TFuzzBytes& input)
{
    LoadDibInPlace(ContainerOf(input));
}

// Loads an input into a bitmap that holds a picture already and draws what
// it loaded, transparently. A refused input must leave the picture in place.
template <class Load>
void LoadSafetyBitmap(Load load)
{
    TSafetyBitmap bitmap;
    bitmap.SetSize(2, 2);
    TBitmap before;
    before.Assign(bitmap);
    try {
        load(bitmap);
    } catch (const std::exception& error) {
        if (IsSafetyBitmapRefusal(error) && !bitmap.SharesImageWith(before))
            throw TFuzzViolation(std::string("a refused load changed the bitmap: ") + error.what());
        throw;
    }
    // Damaged sizes make large pictures whose masks take long to build
    // pixel by pixel: only small ones are drawn.
    if (static_cast<std::int64_t>(bitmap.Width()) * bitmap.Height() > 65536)
        return;
    bitmap.SetTransparent(true);
    TRenderTarget target(8, 8);
    TAttachedCanvas canvas(target.Dc());
    bitmap.Draw(canvas, RECT{0, 0, 8, 8});
}

// The clipboard's CF_DIB: bitmap file data without its 14-byte file header.
void LoadSafetyBitmapFromClipboard(const TFuzzBytes& input)
{
    const TGlobalCopy block(input.size() > 14 ? TFuzzBytes(input.begin() + 14, input.end()) : input);
    if (!block.Get())
        throw EOutOfResources();
    LoadSafetyBitmap([&](TSafetyBitmap& bitmap) { bitmap.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr); });
}

// Form data: a length, then bitmap file data or a container.
void LoadSafetyBitmapFromFormData(const TFuzzBytes& input)
{
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded);
    LoadSafetyBitmap([&](TSafetyBitmap& bitmap) { bitmap.ReadData(stream); });
}

void LoadSafetyBitmapFromStream(const TFuzzBytes& input)
{
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded);
    LoadSafetyBitmap([&](TSafetyBitmap& bitmap) { bitmap.LoadFromStream(stream); });
}

// ReadRiffPalette answers no palette for data it refuses.
class ENoPalette : public std::runtime_error {
public:
    ENoPalette() : std::runtime_error("no palette") {}
};

void ReadPalette(const TFuzzBytes& input)
{
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded);
    const TGdiObject<HPALETTE> palette(ReadRiffPalette(stream));
    if (!palette)
        throw ENoPalette();
    WORD entries = 0;
    GetObjectA(palette.Get(), sizeof entries, &entries);
    if (entries < 1 || entries > 256)
        throw TFuzzViolation("a palette of " + std::to_string(entries) + " entries");
}

// A DIB load allocates its header block and a copy of the pixels it read,
// no more than the input justifies.
TFuzzOptions DibFuzzOptions(std::size_t mutants)
{
    return FuzzOptions(mutants, 64 << 10);
}

// A safety bitmap's load may make one picture buffer of the decode limit.
TFuzzOptions SafetyBitmapFuzzOptions(std::size_t mutants)
{
    return FuzzOptions(mutants, static_cast<std::size_t>(kMaxPictureBytes));
}

constexpr std::size_t kDibMutants = 44000;
constexpr std::size_t kSafetyBitmapMutants = 7200;

TEST(DibFuzz, MemoryStream)
{
    ExpectReaderHoldsAndGivesBack({"dib-memory-stream", LoadDibInPlace, IsDibRefusal, nullptr}, "dib", DibFuzzOptions(kDibMutants));
}

TEST(DibFuzz, OtherStream)
{
    ExpectReaderHoldsAndGivesBack({"dib-other-stream", LoadDibCopied, IsDibRefusal, nullptr}, "dib", DibFuzzOptions(kDibMutants));
}

TEST(DibFuzz, Container)
{
    ExpectReaderHoldsAndGivesBack({"dib-container", LoadDibFromContainer, IsDibRefusal, nullptr}, "dib",
                      DibFuzzOptions(kDibMutants));
}

TEST(DibFuzz, SafetyBitmapClipboard)
{
    ExpectReaderHoldsAndGivesBack({"safety-bitmap-clipboard", LoadSafetyBitmapFromClipboard, IsSafetyBitmapRefusal, nullptr},
                      "dib", SafetyBitmapFuzzOptions(kSafetyBitmapMutants));
}

TEST(DibFuzz, SafetyBitmapFormData)
{
    ExpectReaderHoldsAndGivesBack({"safety-bitmap-form-data", LoadSafetyBitmapFromFormData, IsSafetyBitmapRefusal, nullptr},
                      "dib-form-data", SafetyBitmapFuzzOptions(kSafetyBitmapMutants));
}

// Off the main thread the safety bitmap inflates a container itself and
// takes the framework's reader; the whole run is on the worker, where the
// allocation watch follows it.
TEST(DibFuzz, SafetyBitmapWorkerThread)
{
    OnWorkerThread([] {
        ExpectReaderHoldsAndGivesBack({"safety-bitmap-worker-thread", LoadSafetyBitmapFromStream, IsSafetyBitmapRefusal, nullptr},
                          "dib-container", SafetyBitmapFuzzOptions(kSafetyBitmapMutants));
    });
}

TEST(RiffPaletteFuzz, MemoryStream)
{
    TFuzzOptions options = FuzzOptions(40000, 64 << 10);
    options.dictionary = {{'R', 'I', 'F', 'F'}, {'P', 'A', 'L', ' '}, {'d', 'a', 't', 'a'}, {0x00, 0x03}};
    ExpectReaderHoldsAndGivesBack({"riff-palette", ReadPalette, [](const std::exception& error) {
                           return dynamic_cast<const ENoPalette*>(&error) != nullptr;
                       }, nullptr},
                      "riff-palette", options);
}

} // namespace
