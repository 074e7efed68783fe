#pragma once

#include <cstdint>

#include "framework/runtime/Errors.h"
#include "framework/runtime/Streams.h"

// The compressed container: "ZLIBCompress", 0x1A, the 32-bit little-endian
// size of the uncompressed data, then one zlib stream.

// Raised for damaged, truncated or mis-declared containers and for zlib
// streams that ask for a preset dictionary, with the message "error".
class EZLibError : public Exception {
public:
    EZLibError();
};

// Tests for the container signature at the stream's position. True: the
// declared size is set and the stream stands on the zlib stream. False: not a
// container; the stream stands where it stood. A signature whose size is
// missing or not positive raises EZLibError, with the position restored.
bool ReadContainerHeader(TStream& stream, std::int32_t& declaredSize);

// Inflates exactly declaredSize bytes from the zlib stream at the source's
// position into the destination. Afterwards the source stands right after
// the compressed data that was used; after a failure, somewhere within it.
void DecompressContainer(TStream& source, TStream& destination, std::int32_t declaredSize);
