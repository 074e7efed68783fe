#include "framework/ByteReader.h"

#include "framework/Graphic.h"

void TByteReader::Invalid() const
{
    throw EInvalidGraphic(invalidMessage_);
}
