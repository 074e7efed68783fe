// The JPEG image where the system is of the 9x family. Where the 32-bit
// build runs, CTest runs this program in a Wine prefix that poses as
// Windows 98; elsewhere ZELMORIA_9X_SEAM asks for the platform identifier to
// be set through the program-start seam.

#include <gtest/gtest.h>


#include "bitmap/UGraphicUtil.h"
#include "framework/graphics/Printer.h"
#include "framework/runtime/ProgramStart.h"
#include "imagepack/UPictureEX.h"
#include "tests/bitmap/MaskTestSupport.h"
#include "tests/imagepack/PictureResources.h"
#include "tests/support/Win9xFamily.h"

namespace {

[[maybe_unused]] testing::Environment* const family = testing::AddGlobalTestEnvironment(new T9xFamily);

// On a printer only the safety bitmap's drawing reaches the device, and it
// shows what the JPEG image shows.
TEST(SafetyJPEGImage9x, DrawsThroughASafetyBitmapCopyOfItsPicture)
{
    ASSERT_FALSE(IsWinNT());
    const Bytes data = SolidJpeg(12, 9, RGB(200, 40, 90));
    TJPEGImage plain;
    TSafetyJPEGImage safety;
    for (TJPEGImage* image : {&plain, static_cast<TJPEGImage*>(&safety)}) {
        LoadBytes(*image, data);
    }
    TRenderTarget expected(24, 18);
    expected.Draw(plain, RECT{0, 0, 24, 18});

    TRenderTarget printed(24, 18);
    const TPrinterCanvasOn printer(Printer().Canvas(), printed.Dc());
    const TCountedStretchDIBits counted;
    Printer().Canvas().StretchDraw(RECT{0, 0, 24, 18}, safety);
    EXPECT_GT(counted.Calls(), 0);
    EXPECT_EQ(printed.Pixels(), expected.Pixels());

    TRenderTarget screen(24, 18);
    screen.Draw(safety, RECT{0, 0, 24, 18});
    EXPECT_EQ(screen.Pixels(), expected.Pixels());
}

} // namespace
