#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Little-endian fields out of a block of bytes, for the readers of bitmap
// files and icons. Every read is checked against the end of the block; a
// read past it raises EInvalidGraphic with the message the reader chose,
// since a field that is not there means damaged data.
class TByteReader {
public:
    TByteReader(const std::uint8_t* data, std::size_t size, const char* invalidMessage)
        : data_(data), size_(size), invalidMessage_(invalidMessage)
    {
    }

    std::size_t Size() const { return size_; }
    // Whether count bytes at offset lie inside the block; exact for any
    // 64-bit offset and count.
    bool Holds(std::uint64_t offset, std::uint64_t count) const { return offset <= size_ && count <= size_ - offset; }

    // The count bytes at offset.
    const std::uint8_t* Bytes(std::uint64_t offset, std::uint64_t count) const
    {
        if (!Holds(offset, count))
            Invalid();
        return data_ + offset;
    }

    template <class T>
    T Get(std::uint64_t offset) const
    {
        static_assert(std::is_integral_v<T>);
        T value;
        std::memcpy(&value, Bytes(offset, sizeof value), sizeof value);
        return value;
    }

    [[noreturn]] void Invalid() const;
    const char* InvalidMessage() const { return invalidMessage_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    const char* invalidMessage_;
};
