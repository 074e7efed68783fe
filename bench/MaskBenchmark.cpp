// mask_benchmark [REPETITIONS]
// Times the mask build of a 1024 x 1024 bitmap of 24 and of 32 bits per
// pixel: the table scan over the scan lines, the pixel-by-pixel path on the
// same bitmap, and a plain pass that only reads every pixel's colour bytes
// and sums them (what memory allows). Then the transparent draw of a
// 370 x 251 safety bitmap, mask cached, against its opaque draw.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench/BenchTiming.h"
#include "bitmap/UMaskedImage.h"
#include "bitmap/USafetyBitmap.h"
#include "framework/runtime/Errors.h"
#include "framework/runtime/Handles.h"
#include "framework/runtime/ProgramStart.h"

namespace {

constexpr int kDefaultRepetitions = 9;
constexpr int kSide = 1024;
constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr double kPlainPassTarget = 1.3;
constexpr double kTransparentTarget = 1.5;

const char* Verdict(bool met)
{
    return met ? "met" : "missed";
}

template <class TWork>
double MedianSeconds(int repetitions, TWork work)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        const double start = Seconds();
        work();
        times.push_back(Seconds() - start);
    }
    return Median(std::move(times));
}

// Random colours, about one pixel in eight the key, some differing from it
// in one byte only.
void FillPixels(TBitmap& bitmap, int bytesPerPixel)
{
    std::mt19937 random(12345);
    for (int y = 0; y < bitmap.Height(); ++y) {
        auto* pixel = static_cast<std::uint8_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x, pixel += bytesPerPixel) {
            const std::uint32_t value = random();
            COLORREF color = value & 0xFFFFFF;
            if ((value >> 24) < 32)
                color = kKey;
            else if ((value >> 24) < 40)
                color = kKey ^ (1u << (value % 24));
            pixel[0] = GetBValue(color);
            pixel[1] = GetGValue(color);
            pixel[2] = GetRValue(color);
            if (bytesPerPixel == 4)
                pixel[3] = static_cast<std::uint8_t>(value);
        }
    }
}

volatile std::uint32_t sink;

void PlainPass(TBitmap& bitmap, int bytesPerPixel)
{
    std::uint32_t sum = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const auto* pixel = static_cast<const std::uint8_t*>(bitmap.ScanLine(y));
        for (int x = 0; x < bitmap.Width(); ++x, pixel += bytesPerPixel)
            sum += pixel[0] + pixel[1] + pixel[2];
    }
    sink = sum;
}

void MaskBuild(TPixelFormat format, int bytesPerPixel, int repetitions)
{
    TBitmap bitmap;
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(kSide, kSide);
    FillPixels(bitmap, bytesPerPixel);
    const int wordsPerRow = (kSide + 15) / 16;
    std::vector<std::uint16_t> words(static_cast<std::size_t>(wordsPerRow) * kSide);
    const TMaskRows rows{words.data(), wordsPerRow};
    const double pixels = static_cast<double>(kSide) * kSide;

    const double scan = MedianSeconds(repetitions, [&] { ScanMaskRows(bitmap, kKey, rows); });
    const std::vector<std::uint16_t> scanned = words;
    const double plain = MedianSeconds(repetitions, [&] { PlainPass(bitmap, bytesPerPixel); });
    TBitmap mask;
    const double whole = MedianSeconds(repetitions, [&] { TMaskedImage::MakeMonoMask(bitmap, mask, kKey); });
    // The slow path once or twice is enough to measure it.
    const double perPixel = MedianSeconds(std::min(repetitions, 3), [&] {
        std::fill(words.begin(), words.end(), 0);
        ProbeMaskRows(bitmap, kKey, rows);
    });
    const bool same = words == scanned;

    const double scanNs = scan / pixels * 1e9;
    const double plainNs = plain / pixels * 1e9;
    const double perPixelNs = perPixel / pixels * 1e9;
    std::printf("mask build, %d x %d, %d bits per pixel (medians of %d)\n", kSide, kSide, bytesPerPixel * 8,
                repetitions);
    std::printf("  table scan        %9.3f ns/pixel\n", scanNs);
    std::printf("  pixel by pixel    %9.3f ns/pixel%s\n", perPixelNs, same ? "" : "  (MASKS DIFFER)");
    std::printf("  plain pass        %9.3f ns/pixel\n", plainNs);
    std::printf("  whole MakeMonoMask %8.3f ns/pixel (table scan, mask bitmap and its bits)\n", whole / pixels * 1e9);
    // The pixel-by-pixel figure is the platform's per-pixel call, not ours.
    std::printf("  pixel by pixel / table scan  %8.1f x\n", perPixel / scan);
    std::printf("  table scan / plain pass      %8.2f x  (target <= %.1f: %s)\n", scan / plain, kPlainPassTarget,
                Verdict(scan / plain <= kPlainPassTarget));
}

// A destination like a window's back buffer: a 32-bit section in a memory
// context.
class TDestination {
public:
    TDestination(int width, int height)
        : bitmap_(Section(width, height)), selected_(dc_.Handle(), bitmap_.Get())
    {
        canvas_.SetHandle(dc_.Handle());
    }
    ~TDestination() { canvas_.SetHandle(nullptr); }
    TDestination(const TDestination&) = delete;
    TDestination& operator=(const TDestination&) = delete;

    TCanvas& Canvas() { return canvas_; }

private:
    static HBITMAP Section(int width, int height)
    {
        BITMAPINFO info{};
        info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    }

    TGdiObject<HBITMAP> bitmap_;
    TMemoryDC dc_;
    TSelectedObject selected_;
    TCanvas canvas_;
};

void Draws(int repetitions)
{
    constexpr int kWidth = 370;
    constexpr int kHeight = 251;
    TSafetyBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::Bit24);
    bitmap.SetSize(kWidth, kHeight);
    FillPixels(bitmap, 3);
    bitmap.Canvas().SetPixel(0, kHeight - 1, kKey);
    TDestination destination(kWidth, kHeight);
    const RECT rect{0, 0, kWidth, kHeight};
    constexpr int kDrawsPerSample = 20;
    auto draws = [&] {
        for (int i = 0; i < kDrawsPerSample; ++i)
            bitmap.Draw(destination.Canvas(), rect);
    };

    bitmap.SetTransparent(false);
    draws();
    const double opaque = MedianSeconds(repetitions, draws) / kDrawsPerSample;
    bitmap.SetTransparent(true);
    const double first = Seconds();
    bitmap.Draw(destination.Canvas(), rect);
    const double build = Seconds() - first;
    const double transparent = MedianSeconds(repetitions, draws) / kDrawsPerSample;
    std::printf("draw of a %d x %d safety bitmap, 24 bits per pixel, onto a 32-bit section (medians of %d x %d)\n",
                kWidth, kHeight, repetitions, kDrawsPerSample);
    std::printf("  opaque                 %9.1f us\n", opaque * 1e6);
    std::printf("  transparent, cached    %9.1f us  (%.2f x opaque; target <= %.1f: %s)\n", transparent * 1e6,
                transparent / opaque, kTransparentTarget, Verdict(transparent / opaque <= kTransparentTarget));
    std::printf("  transparent, first     %9.1f us  (mask and prepared image built)\n", build * 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    RecordProgramStart();
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRepetitions;
    try {
        MaskBuild(TPixelFormat::Bit24, 3, repetitions);
        MaskBuild(TPixelFormat::Bit32, 4, repetitions);
        Draws(repetitions);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mask_benchmark: %s\n", error.what());
        return 1;
    }
    return 0;
}
