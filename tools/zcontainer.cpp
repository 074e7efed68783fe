// zcontainer: writes, verifies and unpacks the updater's compressed container
// ("ZLIBCompress", 0x1A, 32-bit little-endian uncompressed size, one zlib
// stream at the best compression).

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kSignature[] = "ZLIBCompress\x1A";
constexpr std::size_t kSignatureSize = 13;
constexpr std::size_t kHeaderSize = kSignatureSize + 4;

const char kUsage[] =
    "usage: zcontainer pack INPUT OUTPUT     write a container holding INPUT\n"
    "       zcontainer verify CONTAINER      check a container; print its sizes\n"
    "       zcontainer unpack CONTAINER OUTPUT\n"
    "                                        write the uncompressed data\n"
    "       zcontainer --help\n";

std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::vector<unsigned char> Pack(const std::vector<unsigned char>& data)
{
    if (data.empty() || data.size() > INT32_MAX)
        throw std::runtime_error("the input must hold 1 to 2147483647 bytes");
    uLongf compressedSize = compressBound(data.size());
    std::vector<unsigned char> out(kHeaderSize + compressedSize);
    std::memcpy(out.data(), kSignature, kSignatureSize);
    const auto size = static_cast<std::uint32_t>(data.size());
    for (int i = 0; i < 4; ++i)
        out[kSignatureSize + i] = static_cast<unsigned char>(size >> (8 * i));
    if (compress2(out.data() + kHeaderSize, &compressedSize, data.data(), data.size(), Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib cannot compress the input");
    out.resize(kHeaderSize + compressedSize);
    return out;
}

std::vector<unsigned char> Unpack(const std::vector<unsigned char>& container)
{
    if (container.size() < kHeaderSize || std::memcmp(container.data(), kSignature, kSignatureSize) != 0)
        throw std::runtime_error("not a container: the signature is missing");
    std::uint32_t declared = 0;
    for (int i = 0; i < 4; ++i)
        declared |= static_cast<std::uint32_t>(container[kSignatureSize + i]) << (8 * i);
    if (declared == 0 || declared > INT32_MAX)
        throw std::runtime_error("the declared size " + std::to_string(declared) + " is not valid");

    std::vector<unsigned char> data(declared);
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw std::runtime_error("zlib cannot start");
    z.next_in = const_cast<unsigned char*>(container.data() + kHeaderSize);
    z.avail_in = static_cast<uInt>(container.size() - kHeaderSize);
    z.next_out = data.data();
    z.avail_out = declared;
    const int result = inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error(produced < declared
                                     ? "the zlib stream is damaged or ends before the declared size"
                                     : "the zlib stream is damaged or holds more than the declared size");
    return data;
}

int Run(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "pack" && argc == 4) {
        const auto data = ReadFile(argv[2]);
        const auto container = Pack(data);
        WriteFile(argv[3], container);
        std::cout << argv[3] << ": " << container.size() << " bytes, declares " << data.size() << "\n";
        return 0;
    }
    if (command == "verify" && argc == 3) {
        const auto container = ReadFile(argv[2]);
        const auto data = Unpack(container);
        std::cout << argv[2] << ": " << container.size() << " bytes, inflates to " << data.size()
                  << " bytes, Adler-32 correct\n";
        return 0;
    }
    if (command == "unpack" && argc == 4) {
        WriteFile(argv[3], Unpack(ReadFile(argv[2])));
        return 0;
    }
    std::cerr << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "zcontainer: " << error.what() << "\n";
        return 1;
    }
}
