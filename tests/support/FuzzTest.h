#pragma once

#include <gtest/gtest.h>

#include "tests/support/Fuzzer.h"

// Runs a target over its reader's corpus and then over mutants; every
// failure is a test failure. A run whose inputs were all accepted, or all
// refused, never reached one side of the reader's checks, which would make
// a quiet run worthless; replaying a single input (ZELMORIA_FUZZ_INPUT) is
// exempt.
inline void ExpectReaderHolds(const TFuzzTarget& target, const std::string& reader, const TFuzzOptions& options)
{
    const TFuzzResult result = RunFuzzer(target, ReaderCorpus(reader), options);
    for (const std::string& failure : result.failures)
        ADD_FAILURE() << failure;
    if (result.figures.inputs > 1) {
        EXPECT_GT(result.figures.accepted, 0u) << target.name;
        EXPECT_GT(result.figures.refused, 0u) << target.name;
    }
}

// Runs a target over its reader's corpus alone: for a target too costly for
// mutants, such as one that draws what it accepts in full, where the
// platform's playback of extreme but well-formed mutants would say nothing
// about the reader. A hang still ends the run through the watchdog.
inline void ExpectCorpusHolds(const TFuzzTarget& target, const std::string& reader, TFuzzOptions options)
{
    options.mutants = 0;
    ExpectReaderHolds(target, reader, options);
}
