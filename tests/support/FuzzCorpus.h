#pragma once

#include <string>
#include <vector>

#include "tests/support/FuzzMutator.h"

// The inputs a fuzzer starts from, kept in the repository per reader:
//   <corpus>/seeds/        valid examples of the format
//   <corpus>/regressions/  every input that once made the reader fail
// A file whose name ends in ".z" holds its input as a zlib stream, for
// inputs too large to keep as they are.
struct TCorpusEntry {
    std::string name; // "seeds/..." or "regressions/..."
    TFuzzBytes bytes;
};

// The folder of one reader's corpus, under ZELMORIA_CORPUS_DIR.
std::string CorpusFolder(const std::string& reader);
// Both subfolders, regressions first, each in name order. A corpus without
// seeds raises std::runtime_error.
std::vector<TCorpusEntry> LoadCorpus(const std::string& folder);
// The corpus of one reader, or, when ZELMORIA_FUZZ_INPUT names a file, that
// file alone (to replay one input).
std::vector<TCorpusEntry> ReaderCorpus(const std::string& reader);

// Keeps an input that made a reader fail under ZELMORIA_FINDINGS_DIR (or the
// working folder), named after the target, the kind of failure and the
// input's hash; answers the file's path.
std::string SaveFinding(const std::string& target, const std::string& kind, const TFuzzBytes& bytes);
