#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What one fuzz target's run came to.
struct TFuzzFigures {
    std::string target;
    std::uint64_t inputs = 0;  // corpus inputs and mutants
    std::uint64_t mutants = 0; // of which mutants
    std::uint64_t accepted = 0;
    std::uint64_t refused = 0;
    // Inputs that crashed the reader or broke its promises: foreign errors,
    // faults, accepted results that are not what the reader guarantees, a
    // damaged heap.
    std::uint64_t crashes = 0;
    std::uint64_t hangs = 0;
    std::uint64_t overCap = 0; // inputs that asked for an allocation beyond the cap
    std::size_t largestAllocation = 0;
};

// One line for people.
std::string FiguresText(const TFuzzFigures& figures);
// One line for the campaign script: "fuzz-figures <target> inputs=... ...".
std::string FiguresRecord(const TFuzzFigures& figures);
// Prints both on standard output.
void PrintFigures(const TFuzzFigures& figures);
