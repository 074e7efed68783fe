#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/FuzzCorpus.h"
#include "tests/support/FuzzMutator.h"
#include "tests/support/FuzzReport.h"

// Fuzzing a new reader:
//  1. Put valid examples of its format in <tests folder>/corpus/<reader>/seeds/
//     and every input that ever made it fail in .../regressions/.
//  2. Write a test that describes each way the reader is fed as a
//     TFuzzTarget and hands it to ExpectReaderHolds (FuzzTest.h), with
//     FuzzOptions sized so that the test takes a few seconds. A reader that
//     reads its input in place gets it in TGuardedBytes
//     (FuzzGuardedBytes.h), so that a read past the end faults.
//  3. Register it with zelmoria_add_fuzz_test; make test runs it and
//     make fuzz runs it for longer.

// One way of feeding inputs to a reader.
struct TFuzzTarget {
    std::string name;
    // Loads one input. Returning means the reader accepted it; raising one of
    // the reader's own errors means it refused it. A target that checks what
    // the reader promises about accepted results raises TFuzzViolation when a
    // promise is broken.
    std::function<void(const TFuzzBytes&)> load;
    // Whether an error is one the reader may raise.
    std::function<bool(const std::exception&)> refusal;
    // Optional: receives the inputs batch by batch before they are loaded,
    // for targets that must put them somewhere first.
    std::function<void(const std::vector<TFuzzBytes>&)> prepare;
};

class TFuzzViolation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TFuzzOptions {
    std::size_t mutants = 1000;
    std::uint64_t seed = 1;
    unsigned hangAfterMs = 10000;
    // The largest single allocation a load may make, besides four times the
    // size of its input (the copies a reader may keep of what it reads).
    std::size_t allocationCap = 1 << 20;
    std::size_t maxInputSize = 64 << 10;
    std::vector<TFuzzBytes> dictionary;
    // Prints the outcome of every input, with the reason of a refusal.
    bool verbose = false;
};

// Options for a run of `mutants` mutants. ZELMORIA_FUZZ_COUNT and
// ZELMORIA_FUZZ_SEED, when set, replace the count and the seed, so that
// make fuzz runs the same tests for longer; replaying one input
// (ZELMORIA_FUZZ_INPUT) is verbose.
TFuzzOptions FuzzOptions(std::size_t mutants, std::size_t allocationCap);

struct TFuzzResult {
    TFuzzFigures figures;
    // One line per failed input: what went wrong, on which input, and where
    // the input was saved.
    std::vector<std::string> failures;
};

// Loads the corpus (with a heap check after each input), then mutants of
// seeds and of accepted mutants (with a heap check every few inputs). Every load runs under the watchdog and the allocation watch. A
// fault, a hang or a damaged heap ends the process, after the input has been
// saved and the figures printed; other failures are collected. The figures
// are printed at the end.
TFuzzResult RunFuzzer(const TFuzzTarget& target, const std::vector<TCorpusEntry>& corpus, const TFuzzOptions& options);
