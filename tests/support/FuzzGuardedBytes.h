#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/FuzzMutator.h"
#include "tests/support/TestHandles.h"

// A copy of an input that ends right at a page the process may not touch:
// a reader that reads the input in place (through a memory stream's memory)
// faults at its first byte past the end, instead of reading what happens to
// follow in the heap unnoticed.
class TGuardedBytes {
public:
    explicit TGuardedBytes(const TFuzzBytes& bytes);

    const std::uint8_t* Data() const { return start_; }
    std::size_t Size() const { return size_; }

private:
    std::size_t size_;
    TVirtualPages pages_;
    std::uint8_t* start_ = nullptr;
};
