#include "tests/support/FuzzCorpus.h"

#include <windows.h>

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "framework/runtime/FolderEntries.h"
#include "framework/runtime/Handles.h"

namespace {

std::string Environment(const char* name, const char* fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

TFuzzBytes ReadFileBytes(const std::string& path)
{
    const TKernelHandle file(
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        throw std::runtime_error("cannot open " + path);
    TFuzzBytes bytes(GetFileSize(file.Get(), nullptr));
    DWORD done = 0;
    const BOOL read =
        bytes.empty() || ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    if (!read || done != bytes.size())
        throw std::runtime_error("cannot read " + path);
    return bytes;
}

TFuzzBytes Inflate(const TFuzzBytes& stream, const std::string& path)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        throw std::runtime_error("zlib");
    TFuzzBytes out;
    std::uint8_t piece[65536];
    z.next_in = const_cast<std::uint8_t*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = piece;
        z.avail_out = sizeof piece;
        result = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), piece, piece + (sizeof piece - z.avail_out));
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END)
        throw std::runtime_error("damaged zlib stream in " + path);
    return out;
}

std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const TFolderEntry& entry : FindEntries(folder + "\\*")) {
        if (!entry.isFolder)
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// FNV-1a, enough to tell findings apart.
std::uint64_t Hash(const TFuzzBytes& bytes)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (std::uint8_t byte : bytes)
        hash = (hash ^ byte) * 0x100000001B3ull;
    return hash;
}

} // namespace

std::string CorpusFolder(const std::string& reader)
{
    return Environment("ZELMORIA_CORPUS_DIR", "corpus") + "\\" + reader;
}

std::vector<TCorpusEntry> LoadCorpus(const std::string& folder)
{
    std::vector<TCorpusEntry> entries;
    for (const char* kind : {"regressions", "seeds"}) {
        const std::string path = folder + "\\" + kind;
        const std::vector<std::string> names = FileNames(path);
        // Mutants of nothing test nothing.
        if (names.empty() && std::string(kind) == "seeds")
            throw std::runtime_error("no seeds in " + path);
        for (const std::string& name : names) {
            TFuzzBytes bytes = ReadFileBytes(path + "\\" + name);
            if (EndsWith(name, ".z"))
                bytes = Inflate(bytes, path + "\\" + name);
            entries.push_back({std::string(kind) + "/" + name, std::move(bytes)});
        }
    }
    return entries;
}

std::vector<TCorpusEntry> ReaderCorpus(const std::string& reader)
{
    const std::string input = Environment("ZELMORIA_FUZZ_INPUT", "");
    if (input.empty())
        return LoadCorpus(CorpusFolder(reader));
    TFuzzBytes bytes = ReadFileBytes(input);
    if (EndsWith(input, ".z"))
        bytes = Inflate(bytes, input);
    return {{input, std::move(bytes)}};
}

namespace {

// The findings folder of a target, made if missing.
std::string FindingsFolder(const std::string& target)
{
    const std::string root = Environment("ZELMORIA_FINDINGS_DIR", "fuzz-findings");
    CreateDirectoryA(root.c_str(), nullptr);
    const std::string folder = root + "\\" + target;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// Opens the fault file of this process in the target's findings folder and
// puts its path into the buffer (MAX_PATH characters).
HANDLE OpenFaultFile(char* path, const std::string& target)
{
    // Named for this process: a campaign that goes on after a fault starts
    // a new one, which must not take the file over.
    std::snprintf(path, MAX_PATH, "%s\\fault-%lu-%lu.bin", FindingsFolder(target).c_str(),
                  static_cast<unsigned long>(GetCurrentProcessId()), static_cast<unsigned long>(GetTickCount()));
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
}

} // namespace

std::string SaveFinding(const std::string& target, const std::string& kind, const TFuzzBytes& bytes)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s-%016llx.bin", kind.c_str(), static_cast<unsigned long long>(Hash(bytes)));
    const std::string path = FindingsFolder(target) + "\\" + name;
    const TKernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file) {
        DWORD done = 0;
        WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    }
    return path;
}

TFaultFile::TFaultFile(const std::string& target) : handle_(OpenFaultFile(path_, target)) {}

TFaultFile::~TFaultFile()
{
    handle_.Close();
    if (!written_)
        DeleteFileA(path_);
}

const char* TFaultFile::Write(const TFuzzBytes& bytes)
{
    DWORD done = 0;
    WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    FlushFileBuffers(handle_.Get());
    written_ = true;
    return path_;
}
