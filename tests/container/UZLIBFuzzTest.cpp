#include <gtest/gtest.h>

#include <algorithm>

#include "container/UZLIB.h"
#include "tests/support/FuzzTest.h"

namespace {

// Counts what the reader writes without keeping it: the destination's memory
// is the caller's, so the allocation watch sees only the reader's own.
class TCountingStream : public TStream {
public:
    std::int32_t Read(void*, std::int32_t) override { return 0; }
    std::int32_t Write(const void*, std::int32_t count) override
    {
        position_ += count;
        size_ = std::max(size_, position_);
        return count;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        position_ = (origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position_ : size_) + offset;
        return position_;
    }

private:
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

void LoadContainer(const TFuzzBytes& input)
{
    TMemoryStream source;
    source.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
    source.SetPosition(0);
    std::int32_t declared = 0;
    if (!ReadContainerHeader(source, declared)) {
        if (source.Position() != 0)
            throw TFuzzViolation("plain data left the stream moved");
        return;
    }
    TCountingStream destination;
    DecompressContainer(source, destination, declared);
    if (destination.Size() != declared)
        throw TFuzzViolation("wrote " + std::to_string(destination.Size()) + " bytes of " + std::to_string(declared));
}

bool IsContainerRefusal(const std::exception& error)
{
    return dynamic_cast<const EZLibError*>(&error) || dynamic_cast<const EOutOfMemory*>(&error);
}

TFuzzBytes Word(const std::string& text)
{
    return TFuzzBytes(text.begin(), text.end());
}

TEST(ContainerFuzz, MemoryStream)
{
    TFuzzOptions options = FuzzOptions(100000, 1 << 20);
    options.maxInputSize = 16 << 10;
    // The signature, zlib headers (one with a preset dictionary) and deflate
    // block starts of each kind.
    options.dictionary = {Word("ZLIBCompress\x1A"), {0x78, 0x9C}, {0x78, 0xDA}, {0x78, 0x01}, {0x78, 0x20},
                          {0x01, 0x00, 0x00, 0xFF, 0xFF}, {0x03, 0x00}, {0x05}};
    ExpectReaderHolds({"container", LoadContainer, IsContainerRefusal, nullptr}, "container", options);
}

} // namespace
