#include "framework/graphics/ByteReader.h"

#include "framework/graphics/Graphic.h"

void TByteReader::Invalid() const
{
    throw EInvalidGraphic(invalidMessage_);
}
