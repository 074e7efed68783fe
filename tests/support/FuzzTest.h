#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/FuzzAllocations.h"
#include "tests/support/FuzzGdiObjects.h"
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

// Runs a target like ExpectReaderHolds and checks that its loads give back
// what they take, on the paths that refuse as on those that accept: after a
// first pass over the corpus has made what the program keeps for good, the
// run ends with the live allocations and GDI objects it began with, give or
// take what a first use deep in some path may still make.
inline void ExpectReaderHoldsAndGivesBack(const TFuzzTarget& target, const std::string& reader,
                                          const TFuzzOptions& options)
{
    constexpr std::int64_t kBlocksTolerated = 16;
    constexpr std::int64_t kGdiObjectsTolerated = 4;
    ExpectCorpusHolds(target, reader, options);
    const TLiveAllocations before = LiveAllocations();
    const auto gdiBefore = static_cast<std::int64_t>(GdiObjectCount());
    ASSERT_GT(gdiBefore, 0) << "no count of GDI objects";
    ExpectReaderHolds(target, reader, options);
    const TLiveAllocations after = LiveAllocations();
    const auto gdiAfter = static_cast<std::int64_t>(GdiObjectCount());
    std::printf("fuzz-balance %s blocks=%lld->%lld bytes=%lld->%lld gdi=%lld->%lld\n", target.name.c_str(),
                static_cast<long long>(before.blocks), static_cast<long long>(after.blocks),
                static_cast<long long>(before.bytes), static_cast<long long>(after.bytes),
                static_cast<long long>(gdiBefore), static_cast<long long>(gdiAfter));
    EXPECT_LE(std::llabs(after.blocks - before.blocks), kBlocksTolerated) << target.name << ": allocations kept";
    EXPECT_LE(std::llabs(gdiAfter - gdiBefore), kGdiObjectsTolerated) << target.name << ": GDI objects kept";
}
