#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/graphics/Canvas.h"
#include "tests/framework/graphics/GraphicsTestSupport.h"

// Bitmap file data wrapped in the compressed container.
inline Bytes ContainerOf(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes packed(size);
    compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), 9);
    packed.resize(size);
    Bytes container{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};
    const auto declared = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i)
        container.push_back(static_cast<std::uint8_t>(declared >> (8 * i)));
    container.insert(container.end(), packed.begin(), packed.end());
    return container;
}

// A stream that is neither a memory stream nor a file: the reader must copy
// from it.
class TPlainStream : public TStream {
public:
    explicit TPlainStream(Bytes bytes) : bytes_(std::move(bytes)) {}

    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        const std::int64_t left = static_cast<std::int64_t>(bytes_.size()) - position_;
        const auto n = static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min<std::int64_t>(count, left)));
        if (n > 0)
            std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
        position_ += n;
        return n;
    }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override
    {
        const std::int64_t base = origin == TSeekOrigin::Beginning ? 0
                                  : origin == TSeekOrigin::Current ? position_
                                                                   : static_cast<std::int64_t>(bytes_.size());
        position_ = std::max<std::int64_t>(0, base + offset);
        return position_;
    }

private:
    Bytes bytes_;
    std::int64_t position_ = 0;
};
