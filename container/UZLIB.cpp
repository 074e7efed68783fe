#include "container/UZLIB.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kSignature[] = "ZLIBCompress\x1A";
constexpr std::int32_t kSignatureSize = 13;
// The signature, then the inflated size in four bytes, lowest first.
constexpr std::int32_t kHeaderSize = kSignatureSize + 4;
constexpr std::int32_t kInputBlock = 65536;
constexpr std::int32_t kOutputPiece = 61440;

voidpf ZeroedAlloc(voidpf, uInt items, uInt size)
{
    return std::calloc(items, size);
}

void Free(voidpf, voidpf address)
{
    std::free(address);
}

// Pulls inflated bytes from a zlib stream read block by block from a source.
class TInflateReader {
public:
    explicit TInflateReader(TStream& source) : source_(source), sourcePosition_(source.Position()), input_(kInputBlock)
    {
        z_.zalloc = ZeroedAlloc;
        z_.zfree = Free;
        if (inflateInit(&z_) != Z_OK)
            throw EZLibError();
    }

    ~TInflateReader() { inflateEnd(&z_); }

    TInflateReader(const TInflateReader&) = delete;
    TInflateReader& operator=(const TInflateReader&) = delete;

    // Fills the whole buffer or raises.
    void Read(std::uint8_t* buffer, std::int32_t count)
    {
        z_.next_out = buffer;
        z_.avail_out = static_cast<uInt>(count);
        while (z_.avail_out > 0) {
            if (Inflate() == Z_STREAM_END && z_.avail_out > 0)
                throw EZLibError(); // the stream ended before the declared size
        }
    }

    // After the declared bytes: a stream that ends here must pass its Adler-32
    // check; a stream that goes on beyond them is accepted as it is.
    void VerifyEnd()
    {
        std::uint8_t extra;
        z_.next_out = &extra;
        z_.avail_out = 1;
        while (z_.avail_out > 0) {
            if (Inflate() == Z_STREAM_END)
                return;
        }
    }

    // Puts the source right after the compressed data: the input read ahead
    // and not used goes back.
    void HandBackUnused()
    {
        if (z_.avail_in > 0)
            source_.Seek(-static_cast<std::int64_t>(z_.avail_in), TSeekOrigin::Current);
        z_.avail_in = 0;
    }

private:
    int Inflate()
    {
        if (source_.Position() != sourcePosition_)
            source_.SetPosition(sourcePosition_);
        if (z_.avail_in == 0) {
            z_.next_in = input_.data();
            z_.avail_in = static_cast<uInt>(source_.Read(input_.data(), kInputBlock));
            sourcePosition_ = source_.Position();
        }
        const uInt inputBefore = z_.avail_in;
        const uInt outputBefore = z_.avail_out;
        const int result = inflate(&z_, Z_NO_FLUSH);
        // Only progress and the stream's end let the loops go on: any other
        // answer (a preset dictionary asked for, damage, input run out)
        // would never change by asking again.
        if (result == Z_STREAM_END)
            return result;
        if (result != Z_OK || (z_.avail_in == inputBefore && z_.avail_out == outputBefore))
            throw EZLibError();
        return result;
    }

    TStream& source_;
    std::int64_t sourcePosition_;
    std::vector<std::uint8_t> input_;
    z_stream z_{};
};

} // namespace

EZLibError::EZLibError() : Exception("error") {}

bool ReadContainerHeader(TStream& stream, std::int32_t& declaredSize)
{
    // Read in one go and the position set once afterwards: whatever the
    // answer, no step is left to undo.
    const std::int64_t start = stream.Position();
    std::uint8_t header[kHeaderSize] = {};
    const std::int32_t got = stream.Read(header, kHeaderSize);
    const bool marked = got >= kSignatureSize && std::memcmp(header, kSignature, kSignatureSize) == 0;
    const std::uint8_t* size = header + kSignatureSize;
    const auto declared = static_cast<std::int32_t>(size[0] | size[1] << 8 | size[2] << 16 |
                                                    static_cast<std::uint32_t>(size[3]) << 24);
    const bool valid = marked && got == kHeaderSize && declared > 0;
    stream.SetPosition(valid ? start + kHeaderSize : start);
    if (!marked)
        return false;
    if (!valid)
        throw EZLibError();
    declaredSize = declared;
    return true;
}

void DecompressContainer(TStream& source, TStream& destination, std::int32_t declaredSize)
{
    TInflateReader reader(source);
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min(std::max(declaredSize, 0), kOutputPiece)));
    for (std::int32_t left = declaredSize; left > 0;) {
        const std::int32_t n = std::min(left, kOutputPiece);
        reader.Read(piece.data(), n);
        destination.WriteBuffer(piece.data(), n);
        left -= n;
    }
    reader.VerifyEnd();
    reader.HandBackUnused();
}
