#pragma once

#include <string>

#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Graphic.h"
#include "framework/runtime/Layout.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"
#include "tests/support/FuzzTest.h"

// The errors by which the framework's readers may refuse input: invalid
// graphic, stream read error, layout error, out of memory.
inline bool IsReaderRefusal(const std::exception& error)
{
    return dynamic_cast<const EInvalidGraphic*>(&error) || dynamic_cast<const EReadError*>(&error) ||
           dynamic_cast<const ELayoutError*>(&error) || dynamic_cast<const EOutOfMemory*>(&error);
}

// What every accepted picture promises: a size within the decode limit, and
// a drawing the platform survives.
inline void CheckAcceptedPicture(TGraphic& graphic)
{
    if (!graphic.Empty() && !WithinDecodeLimit(graphic.Width(), graphic.Height(), 1))
        throw TFuzzViolation("accepted a picture of " + std::to_string(graphic.Width()) + " x " +
                             std::to_string(graphic.Height()));
    TRenderTarget target(16, 16);
    target.Draw(graphic, RECT{0, 0, 16, 16});
}

// Options for the picture readers: a load may allocate one picture buffer
// of the decode limit at once.
inline TFuzzOptions PictureFuzzOptions(std::size_t mutants)
{
    return FuzzOptions(mutants, static_cast<std::size_t>(kMaxPictureBytes));
}

inline TMemoryStream StreamOfInput(const TFuzzBytes& input)
{
    TMemoryStream stream;
    stream.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
    stream.SetPosition(0);
    return stream;
}
