#include "tests/support/FuzzMutator.h"

#include <algorithm>
#include <iterator>

namespace {

// Values at which size arithmetic goes wrong: sign changes, the edges of
// each width, and products that wrap 32 bits when multiplied by a depth.
constexpr std::uint64_t kInteresting[] = {
    0,          1,          2,          3,          4,          7,          8,          12,
    16,         31,         32,         40,         64,         127,        128,        255,
    256,        512,        1000,       1024,       4096,       12000,      32767,      32768,
    65535,      65536,      0x100000,   0x1000000,  0x08000001, 0x10000001, 0x20000001, 0x40000001,
    0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF,
};

enum Mutation {
    kFlipBit,
    kRandomByte,
    kInterestingValue,
    kNudgeField,
    kInsertBytes,
    kRepeatByte,
    kRemoveBytes,
    kCopyWithin,
    kDuplicateBlock,
    kSplice,
    kDictionaryWord,
    kTruncate,
    kMutationCount
};

} // namespace

std::uint64_t TFuzzRandom::Next()
{
    // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

TMutator::TMutator(std::uint64_t seed, std::size_t maxSize, std::vector<TFuzzBytes> dictionary)
    : random_(seed), maxSize_(maxSize), dictionary_(std::move(dictionary))
{
}

TFuzzBytes TMutator::Mutate(const TFuzzBytes& input, const std::vector<TFuzzBytes>& others)
{
    TFuzzBytes data = input;
    const std::size_t changes = std::size_t(1) << random_.Below(4);
    for (std::size_t i = 0; i < changes; ++i)
        MutateOnce(data, others);
    if (data.size() > maxSize_)
        data.resize(maxSize_);
    return data;
}

std::size_t TMutator::Offset(const TFuzzBytes& data, std::size_t width)
{
    const std::size_t room = data.size() - width + 1;
    if (room > 128 && random_.OneIn(2))
        return random_.Below(128);
    return random_.Below(room);
}

std::uint64_t TMutator::ReadField(const TFuzzBytes& data, std::size_t at, std::size_t width, bool bigEndian) const
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t byte = bigEndian ? i : width - 1 - i;
        value = value << 8 | data[at + byte];
    }
    return value;
}

void TMutator::PutField(TFuzzBytes& data, std::size_t at, std::size_t width, bool bigEndian, std::uint64_t value) const
{
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t byte = bigEndian ? width - 1 - i : i;
        data[at + byte] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void TMutator::WriteField(TFuzzBytes& data, std::size_t width, std::uint64_t value)
{
    if (data.size() < width)
        return;
    PutField(data, Offset(data, width), width, random_.OneIn(3), value);
}

void TMutator::Insert(TFuzzBytes& data, const std::uint8_t* bytes, std::size_t count)
{
    if (data.size() + count > maxSize_)
        return;
    const std::size_t at = random_.Below(data.size() + 1);
    data.insert(data.begin() + static_cast<std::ptrdiff_t>(at), bytes, bytes + count);
}

namespace {

constexpr std::size_t kWidths[] = {1, 2, 4};

} // namespace

void TMutator::MutateOnce(TFuzzBytes& data, const std::vector<TFuzzBytes>& others)
{
    switch (random_.Below(kMutationCount)) {
    case kFlipBit:
        if (!data.empty())
            data[Offset(data, 1)] ^= static_cast<std::uint8_t>(1u << random_.Below(8));
        break;
    case kRandomByte:
        if (!data.empty())
            data[Offset(data, 1)] = static_cast<std::uint8_t>(random_.Next());
        break;
    case kInterestingValue: {
        std::uint64_t value = kInteresting[random_.Below(std::size(kInteresting))];
        if (random_.OneIn(4))
            value = ~value + 1; // the negative
        WriteField(data, kWidths[random_.Below(3)], value);
        break;
    }
    case kNudgeField: NudgeField(data); break;
    case kInsertBytes: InsertRandomBytes(data); break;
    case kRepeatByte: {
        const TFuzzBytes run(1 + random_.Below(64), static_cast<std::uint8_t>(random_.OneIn(2) ? 0 : random_.Next()));
        Insert(data, run.data(), run.size());
        break;
    }
    case kRemoveBytes: RemoveBytes(data); break;
    case kCopyWithin: CopyWithin(data); break;
    case kDuplicateBlock: DuplicateBlock(data); break;
    case kSplice: Splice(data, others); break;
    case kDictionaryWord: PutDictionaryWord(data); break;
    case kTruncate:
        if (!data.empty())
            data.resize(random_.Below(data.size()));
        break;
    }
}

void TMutator::NudgeField(TFuzzBytes& data)
{
    const std::size_t width = kWidths[random_.Below(3)];
    if (data.size() < width)
        return;
    const std::size_t at = Offset(data, width);
    const bool bigEndian = random_.OneIn(3);
    const std::uint64_t delta = 1 + random_.Below(35);
    const std::uint64_t value = ReadField(data, at, width, bigEndian);
    PutField(data, at, width, bigEndian, random_.OneIn(2) ? value + delta : value - delta);
}

void TMutator::InsertRandomBytes(TFuzzBytes& data)
{
    std::uint8_t bytes[16];
    const std::size_t count = 1 + random_.Below(sizeof bytes);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(random_.Next());
    Insert(data, bytes, count);
}

void TMutator::RemoveBytes(TFuzzBytes& data)
{
    if (data.empty())
        return;
    const std::size_t at = Offset(data, 1);
    const std::size_t count = 1 + random_.Below(std::min<std::size_t>(data.size() - at, 1 + data.size() / 4));
    data.erase(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + count));
}

void TMutator::CopyWithin(TFuzzBytes& data)
{
    if (data.size() < 2)
        return;
    const std::size_t count = 1 + random_.Below(std::min<std::size_t>(data.size() / 2, 64));
    const std::size_t from = random_.Below(data.size() - count + 1);
    const std::size_t to = random_.Below(data.size() - count + 1);
    const TFuzzBytes block(data.begin() + static_cast<std::ptrdiff_t>(from),
                           data.begin() + static_cast<std::ptrdiff_t>(from + count));
    std::copy(block.begin(), block.end(), data.begin() + static_cast<std::ptrdiff_t>(to));
}

void TMutator::DuplicateBlock(TFuzzBytes& data)
{
    if (data.empty())
        return;
    const std::size_t count = 1 + random_.Below(std::min<std::size_t>(data.size(), 256));
    const std::size_t from = random_.Below(data.size() - count + 1);
    const TFuzzBytes block(data.begin() + static_cast<std::ptrdiff_t>(from),
                           data.begin() + static_cast<std::ptrdiff_t>(from + count));
    Insert(data, block.data(), block.size());
}

void TMutator::Splice(TFuzzBytes& data, const std::vector<TFuzzBytes>& others)
{
    if (others.empty())
        return;
    const TFuzzBytes& other = others[random_.Below(others.size())];
    const std::size_t keep = random_.Below(data.size() + 1);
    const std::size_t from = random_.Below(other.size() + 1);
    data.resize(keep);
    data.insert(data.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
}

void TMutator::PutDictionaryWord(TFuzzBytes& data)
{
    if (dictionary_.empty())
        return;
    const TFuzzBytes& word = dictionary_[random_.Below(dictionary_.size())];
    if (random_.OneIn(2) && data.size() >= word.size())
        std::copy(word.begin(), word.end(), data.begin() + static_cast<std::ptrdiff_t>(Offset(data, word.size())));
    else
        Insert(data, word.data(), word.size());
}
