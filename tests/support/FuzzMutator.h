#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

using TFuzzBytes = std::vector<std::uint8_t>;

// A small reproducible random source: the same seed gives the same inputs,
// so a finding can be made again from the seed alone.
class TFuzzRandom {
public:
    explicit TFuzzRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next();
    // Uniform in [0, bound); bound must be positive.
    std::size_t Below(std::size_t bound) { return static_cast<std::size_t>(Next() % bound); }
    bool OneIn(std::size_t n) { return Below(n) == 0; }

private:
    std::uint64_t state_;
};

// Makes new inputs out of known ones the way damage and attackers do: bits
// flipped, boundary values written into fields of every width and byte
// order, sizes nudged, bytes inserted, removed or repeated, and pieces of
// other inputs or of a dictionary of format words spliced in. Several
// changes are stacked on each input. Header fields sit near the start of
// most formats, so changes favour the first bytes.
class TMutator {
public:
    TMutator(std::uint64_t seed, std::size_t maxSize, std::vector<TFuzzBytes> dictionary = {});

    // A mutant of the input; `others` lend pieces for splicing.
    TFuzzBytes Mutate(const TFuzzBytes& input, const std::vector<TFuzzBytes>& others);

    TFuzzRandom& Random() { return random_; }

private:
    void MutateOnce(TFuzzBytes& data, const std::vector<TFuzzBytes>& others);
    // The mutations with more than a line or two to them.
    void NudgeField(TFuzzBytes& data);
    void InsertRandomBytes(TFuzzBytes& data);
    void RemoveBytes(TFuzzBytes& data);
    void CopyWithin(TFuzzBytes& data);
    void DuplicateBlock(TFuzzBytes& data);
    void Splice(TFuzzBytes& data, const std::vector<TFuzzBytes>& others);
    void PutDictionaryWord(TFuzzBytes& data);
    std::size_t Offset(const TFuzzBytes& data, std::size_t width);
    void WriteField(TFuzzBytes& data, std::size_t width, std::uint64_t value);
    std::uint64_t ReadField(const TFuzzBytes& data, std::size_t at, std::size_t width, bool bigEndian) const;
    void PutField(TFuzzBytes& data, std::size_t at, std::size_t width, bool bigEndian, std::uint64_t value) const;
    void Insert(TFuzzBytes& data, const std::uint8_t* bytes, std::size_t count);

    TFuzzRandom random_;
    std::size_t maxSize_;
    std::vector<TFuzzBytes> dictionary_;
};
