#pragma once

// Cases that each program of a Windows family runs once: a safety bitmap
// cut into cells, each cell drawn alone in its place, on every drawing path
// (transparent or opaque, on a plain canvas or on the printer's). Included
// by one source file per test program.

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "bitmap/UGraphicUtil.h"
#include "bitmap/USafetyBitmap.h"
#include "framework/graphics/Printer.h"
#include "tests/bitmap/MaskTestSupport.h"

namespace {

// What the 3 x 2 cells of the bitmap, drawn one by one each at its place,
// leave over the background. The printer refuses whole images, so that
// drawing through DIBs goes in bands; since the stand-in refuses them on
// every device, the mask is prepared before.
inline std::vector<DWORD> DrawnCellByCell(TSafetyBitmap& bitmap, bool onPrinter)
{
    bitmap.PrepareMask();
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    TRenderTarget target(width, height, kBackground);
    TAttachedCanvas plain(target.Dc());
    std::optional<TPrinterCanvasOn> printer;
    if (onPrinter)
        printer.emplace(Printer().Canvas(), target.Dc());
    TCanvas& canvas = onPrinter ? Printer().Canvas() : plain;
    const TCountedStretchDIBits refusing(onPrinter ? TStretchDIBitsCounter::TRefuse::Whole
                                                   : TStretchDIBitsCounter::TRefuse::None);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            const RECT cell{MulDiv(col, width, 3), MulDiv(row, height, 2), MulDiv(col + 1, width, 3),
                            MulDiv(row + 1, height, 2)};
            StretchDrawPart(canvas, cell, bitmap, cell);
        }
    }
    return target.Pixels();
}

// Parameters: transparent, drawn on the printer.
class SafetyBitmapCells : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(SafetyBitmapCells, EachCellDrawnAloneShowsExactlyThatCell)
{
    const auto [transparent, onPrinter] = GetParam();
    TSafetyBitmap bitmap;
    LoadBytes(bitmap, PictureFile(37, 23));
    bitmap.SetTransparent(transparent);
    EXPECT_EQ(DrawnCellByCell(bitmap, onPrinter),
              transparent ? ExpectedOverBackground(37, 23) : OpaquePicture(37, 23));
}

INSTANTIATE_TEST_SUITE_P(TransparentOnPrinter, SafetyBitmapCells, testing::Combine(testing::Bool(), testing::Bool()));

} // namespace
