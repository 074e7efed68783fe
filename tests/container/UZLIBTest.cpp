#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <vector>

#include "container/UZLIB.h"
#include "tests/framework/runtime/RaisedMessage.h"
#include "tests/support/TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes SampleData(std::size_t size)
{
    // Compressible but not trivial, so that inflating takes many blocks.
    Bytes data(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = static_cast<unsigned char>((i / 7) ^ (state >> 29));
    }
    return data;
}

Bytes Deflate(const Bytes& data)
{
    uLongf size = compressBound(data.size());
    Bytes out(size);
    compress2(out.data(), &size, data.data(), data.size(), Z_BEST_COMPRESSION);
    out.resize(size);
    return out;
}

const Bytes kSignature{'Z', 'L', 'I', 'B', 'C', 'o', 'm', 'p', 'r', 'e', 's', 's', 0x1A};

Bytes Container(const Bytes& zlibStream, std::int32_t declared)
{
    Bytes out = kSignature;
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(declared) >> (8 * i)));
    out.insert(out.end(), zlibStream.begin(), zlibStream.end());
    return out;
}

void Fill(TMemoryStream& stream, const Bytes& bytes)
{
    stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    stream.SetPosition(0);
}

Bytes Contents(TMemoryStream& stream)
{
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

// Inflates a container held in memory; the result or the error's message.
Bytes Inflate(const Bytes& container)
{
    TMemoryStream source;
    Fill(source, container);
    std::int32_t declared = 0;
    EXPECT_TRUE(ReadContainerHeader(source, declared));
    TMemoryStream destination;
    DecompressContainer(source, destination, declared);
    return Contents(destination);
}

std::string ErrorOf(const Bytes& container)
{
    return MessageRaised<EZLibError>([&] { Inflate(container); });
}

TEST(ContainerHeader, PlainDataIsLeftWhereItStood)
{
    Bytes otherThirteenthByte = Container(Deflate(SampleData(10)), 10);
    otherThirteenthByte[12] = 0x1B;
    const Bytes bitmap = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::vector<Bytes> cases = {otherThirteenthByte, Bytes{'Z', 'L', 'I', 'B'}, Bytes{}, bitmap};
    for (const Bytes& bytes : cases) {
        TMemoryStream stream;
        stream.WriteBuffer("xx", 2);
        if (!bytes.empty())
            stream.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        stream.SetPosition(2);
        std::int32_t declared = 77;
        EXPECT_FALSE(ReadContainerHeader(stream, declared));
        EXPECT_EQ(stream.Position(), 2);
        EXPECT_EQ(declared, 77);
    }
}

TEST(ContainerHeader, SignatureLeavesTheStreamOnTheZlibStream)
{
    TMemoryStream stream;
    stream.WriteBuffer("pre", 3);
    const Bytes container = Container(Deflate(SampleData(100)), 100);
    stream.WriteBuffer(container.data(), static_cast<std::int32_t>(container.size()));
    stream.SetPosition(3);
    std::int32_t declared = 0;
    ASSERT_TRUE(ReadContainerHeader(stream, declared));
    EXPECT_EQ(declared, 100);
    EXPECT_EQ(stream.Position(), 3 + 17);
}

TEST(ContainerHeader, IncompleteOrNonPositiveSizeIsAnErrorWithThePositionRestored)
{
    std::vector<Bytes> cases{kSignature, kSignature};
    cases.back().insert(cases.back().end(), {1, 0, 0});
    cases.push_back(Container(Deflate(SampleData(10)), 0));
    cases.push_back(Container(Deflate(SampleData(10)), -5));
    for (const Bytes& bytes : cases) {
        TMemoryStream stream;
        Fill(stream, bytes);
        std::int32_t declared = 0;
        EXPECT_THROW(ReadContainerHeader(stream, declared), EZLibError);
        EXPECT_EQ(stream.Position(), 0);
    }
}

TEST(Decompress, InflatesExactlyTheDeclaredSizeAcrossManyBlocks)
{
    const Bytes data = SampleData(1000000);
    EXPECT_EQ(Inflate(Container(Deflate(data), static_cast<std::int32_t>(data.size()))), data);
}

TEST(Decompress, StreamHoldingMoreThanDeclaredYieldsTheDeclaredBytes)
{
    const Bytes data = SampleData(200000);
    const Bytes result = Inflate(Container(Deflate(data), 150001));
    EXPECT_EQ(result, Bytes(data.begin(), data.begin() + 150001));
}

TEST(Decompress, SourceEndsRightAfterTheCompressedData)
{
    const Bytes data = SampleData(300000);
    const Bytes stream = Deflate(data);
    Bytes bytes = Container(stream, static_cast<std::int32_t>(data.size()));
    bytes.insert(bytes.end(), {'t', 'a', 'i', 'l'});
    TMemoryStream source;
    Fill(source, bytes);
    std::int32_t declared = 0;
    ASSERT_TRUE(ReadContainerHeader(source, declared));
    TMemoryStream destination;
    DecompressContainer(source, destination, declared);
    EXPECT_EQ(source.Position(), static_cast<std::int64_t>(17 + stream.size()));
}

TEST(Decompress, DamagedTruncatedOrOverDeclaredContainersFailWithError)
{
    const Bytes data = SampleData(100000);
    const Bytes stream = Deflate(data);
    const auto size = static_cast<std::int32_t>(data.size());

    Bytes corrupted = stream;
    for (std::size_t i = 40; i < 60; ++i)
        corrupted[i] ^= 0x5A;
    EXPECT_EQ(ErrorOf(Container(corrupted, size)), "error");

    EXPECT_EQ(ErrorOf(Container(Bytes(stream.begin(), stream.begin() + stream.size() / 2), size)), "error");
    EXPECT_EQ(ErrorOf(Container(stream, size + 1)), "error");

    // The stream ends exactly at the declared size, but its checksum is wrong:
    // the bytes are not the ones that were packed.
    Bytes badChecksum = stream;
    badChecksum.back() ^= 0x01;
    EXPECT_EQ(ErrorOf(Container(badChecksum, size)), "error");

    // The checksum is missing altogether.
    EXPECT_EQ(ErrorOf(Container(Bytes(stream.begin(), stream.end() - 4), size)), "error");

    // A header that asks for a preset dictionary: inflating can never go on
    // (0x7820 is a valid zlib header with the dictionary flag set).
    Bytes dictionary = stream;
    dictionary[0] = 0x78;
    dictionary[1] = 0x20;
    EXPECT_EQ(ErrorOf(Container(dictionary, size)), "error");
}

TEST(Decompress, AStreamThatAsksForAPresetDictionaryFailsWithError)
{
    // A zlib header with the dictionary flag, then the dictionary's id: zlib
    // answers "need dictionary" however often it is asked.
    EXPECT_EQ(ErrorOf(Container({0x78, 0x20, 0x12, 0x34, 0x56, 0x78}, 100)), "error");
}

TEST(Decompress, ErrorsOfTheSourcePropagateUnchanged)
{
    class TFailingStream : public TMemoryStream {
    public:
        std::int32_t Read(void*, std::int32_t) override { throw EReadError(); }
    } source;
    TMemoryStream destination;
    EXPECT_THROW(DecompressContainer(source, destination, 10), EReadError);
}

TEST(Decompress, CarriedPayloadInflatesToTheExecutableItWasMadeFrom)
{
    TResourceStream resource(GetModuleHandleA(nullptr), "UPDATEDATA", MAKEINTRESOURCEA(10));
    const Bytes original = ReadWholeFile(StandInPath("3.0.4.0"));
    ASSERT_FALSE(original.empty());

    std::int32_t declared = 0;
    ASSERT_TRUE(ReadContainerHeader(resource, declared));
    EXPECT_EQ(declared, static_cast<std::int32_t>(original.size()));
    const unsigned char* zlibHeader = resource.Memory() + resource.Position();
    EXPECT_EQ(zlibHeader[0], 0x78);
    EXPECT_EQ(zlibHeader[1], 0xDA);

    TMemoryStream destination;
    DecompressContainer(resource, destination, declared);
    EXPECT_EQ(Contents(destination), original);
}

} // namespace
