#include <gtest/gtest.h>

#include "framework/graphics/Icon.h"
#include "tests/framework/graphics/PictureFuzzSupport.h"

namespace {

void LoadIcon(const TFuzzBytes& input)
{
    TMemoryStream stream = StreamOfInput(input);
    TIcon icon;
    icon.LoadFromStream(stream);
    CheckAcceptedPicture(icon);
}

TEST(IconFuzz, MemoryStream)
{
    TFuzzOptions options = PictureFuzzOptions(20000);
    // The directory's start, an image header's size and the PNG signature.
    options.dictionary = {{0, 0, 1, 0}, {40, 0, 0, 0}, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'},
                          {'I', 'H', 'D', 'R'}};
    ExpectReaderHolds({"icon-memory-stream", LoadIcon, IsReaderRefusal, nullptr}, "icon", options);
}

} // namespace
