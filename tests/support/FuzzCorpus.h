#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/runtime/Handles.h"
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

// A file opened ahead of time for an input that faults. After a fault the
// heap may be damaged and nothing can be allocated (the platform allocates
// to open a file by its name), so the input goes out through the handle
// alone. The file is removed again if nothing was written to it.
class TFaultFile {
public:
    explicit TFaultFile(const std::string& target);
    ~TFaultFile();

    TFaultFile(const TFaultFile&) = delete;
    TFaultFile& operator=(const TFaultFile&) = delete;

    // Allocates nothing; answers the file's path.
    const char* Write(const TFuzzBytes& bytes);

private:
    char path_[MAX_PATH];
    TKernelHandle handle_;
    bool written_ = false;
};
