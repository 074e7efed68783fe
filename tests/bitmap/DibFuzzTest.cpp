// Mutation fuzzing of the readers of outside data: bitmap data through the
// three kinds of stream TDIB reads from, through the safety bitmap's clipboard,
// form-data and worker-thread loading, and RIFF palettes. Seeds and every
// input that once failed are kept in tests/bitmap/fuzz/. A failing input is
// written to the build folder's fuzz-failures/ for keeping.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>

#include "bitmap/UDIB.h"
#include "bitmap/UPaletteUtil.h"
#include "bitmap/USafetyBitmap.h"
#include "container/UZLIB.h"
#include "tests/bitmap/BitmapTestSupport.h"
#include "tests/bitmap/MaskTestSupport.h"

// The largest single allocation while watching, to tell allocations the data
// justifies from those it merely claims.
namespace {
bool watching = false;
std::size_t largest = 0;
} // namespace

// The process heap, not malloc: the compiler then sees no mismatch between
// this allocation and the runtime's free.
void* operator new(std::size_t size)
{
    if (watching && size > largest)
        largest = size;
    if (void* memory = HeapAlloc(GetProcessHeap(), 0, size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void operator delete(void* memory) noexcept
{
    if (memory)
        HeapFree(GetProcessHeap(), 0, memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    operator delete(memory);
}

namespace {

// Bytes that end right at a page the process may not read: a read past the
// data faults at once.
class TGuardedBytes {
public:
    explicit TGuardedBytes(const Bytes& data)
    {
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        const std::size_t page = system.dwPageSize;
        const std::size_t span = (data.size() + page - 1) / page * page;
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + span, page, PAGE_NOACCESS, &old);
        start_ = base_ + span - data.size();
        if (!data.empty())
            std::memcpy(start_, data.data(), data.size());
    }
    ~TGuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    TGuardedBytes(const TGuardedBytes&) = delete;
    TGuardedBytes& operator=(const TGuardedBytes&) = delete;

    const std::uint8_t* Data() const { return start_; }

private:
    std::uint8_t* base_;
    std::uint8_t* start_;
};

// A read-only memory stream over the guarded bytes: the reader reads in place.
class TGuardedStream : public TCustomMemoryStream {
public:
    TGuardedStream(const TGuardedBytes& bytes, std::size_t size) { SetPointer(bytes.Data(), static_cast<std::int64_t>(size)); }
    std::int32_t Write(const void*, std::int32_t) override { return 0; }
};

std::string FuzzFolder()
{
    const char* folder = std::getenv("ZELMORIA_FUZZ_DIR");
    return folder ? folder : "";
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern)
{
    std::vector<std::string> files;
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return files;
    do {
        files.push_back(folder + "\\" + found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return files;
}

Bytes ReadAll(const std::string& path)
{
    TFileStream file(path, TFileMode::OpenRead);
    Bytes bytes(static_cast<std::size_t>(file.Size()));
    file.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return bytes;
}

void Keep(const Bytes& input, const std::string& why)
{
    const char* build = std::getenv("ZELMORIA_BUILD_DIR");
    const std::string folder = std::string(build ? build : ".") + "\\fuzz-failures";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + std::to_string(std::hash<std::string>()(std::string(input.begin(), input.end()))) + ".bin";
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
    ADD_FAILURE() << why << " (input kept as " << path << ")";
}

// Damage of the kinds real files suffer and header fields invite.
class TMutator {
public:
    explicit TMutator(std::uint32_t seed) : random_(seed) {}

    Bytes Mutate(Bytes data)
    {
        const int steps = 1 + Below(4);
        for (int i = 0; i < steps; ++i)
            MutateOnce(data);
        return data;
    }

private:
    int Below(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    void MutateOnce(Bytes& data)
    {
        static constexpr std::uint32_t kInteresting[] = {0,          1,          2,          4,          8,
                                                         12,         16,         24,         32,         40,
                                                         52,         124,        255,        256,        0x7FFF,
                                                         0x8000,     0xFFFF,     0x10000,    0x7FFFFFFF, 0x80000000,
                                                         0xFFFFFFFF, 0xFFFFFFF0, 0x40000000, 0x04000000};
        switch (data.empty() ? 4 : Below(6)) {
        case 0: data[Below(static_cast<int>(data.size()))] ^= static_cast<std::uint8_t>(1 << Below(8)); break;
        case 1: data[Below(static_cast<int>(data.size()))] = static_cast<std::uint8_t>(random_()); break;
        case 2: {
            // A header field: anywhere in the first 70 bytes, 16 or 32 bits.
            const int at = Below(std::min<int>(70, static_cast<int>(data.size())));
            const std::uint32_t value = kInteresting[Below(std::size(kInteresting))];
            const int width = Below(2) ? 4 : 2;
            for (int i = 0; i < width && at + i < static_cast<int>(data.size()); ++i)
                data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
            break;
        }
        case 3: data.resize(Below(static_cast<int>(data.size()) + 1)); break;
        case 4: {
            const int extra = 1 + Below(64);
            for (int i = 0; i < extra; ++i)
                data.push_back(static_cast<std::uint8_t>(random_()));
            break;
        }
        default: {
            const int at = Below(static_cast<int>(data.size()));
            data.erase(data.begin() + at, data.begin() + std::min<int>(at + 1 + Below(8), static_cast<int>(data.size())));
            break;
        }
        }
    }

    std::mt19937 random_;
};

enum class TStreamKind { Memory, Other, Container };

// Loads one input; answers what went wrong, or nothing.
std::string LoadOnce(const Bytes& input, TStreamKind kind)
{
    const Bytes data = kind == TStreamKind::Container ? ContainerOf(input) : input;
    const TGuardedBytes guarded(data);
    TGuardedStream memory(guarded, data.size());
    TPlainStream other(data);
    TStream& stream = kind == TStreamKind::Other ? static_cast<TStream&>(other) : memory;

    TDIB dib;
    largest = 0;
    watching = true;
    try {
        dib.LoadFromStream(stream);
    } catch (const EInvalidGraphic&) {
    } catch (const EReadError&) {
    } catch (const EZLibError&) {
    } catch (const std::exception& error) {
        watching = false;
        return std::string("unexpected error: ") + error.what();
    }
    watching = false;
    // What the data justifies: itself (or what it inflates to), once copied.
    const std::size_t justified = 2 * std::max(input.size(), data.size()) + 65536;
    if (largest > justified)
        return "allocated " + std::to_string(largest) + " bytes for " + std::to_string(input.size());
    if (dib.HasBits()) {
        TRenderTarget target(8, 8);
        TAttachedCanvas canvas(target.Dc());
        dib.DrawDirect(canvas, RECT{0, 0, 8, 8}, RECT{0, 0, dib.Width(), dib.Height()});
    }
    return {};
}

// The ways outside data reaches a safety bitmap besides a plain stream: a
// clipboard DIB (the data without its file header), form data (a length,
// then the data) and loading off the main thread (a container).
enum class TSafetyRoute { Clipboard, FormData, Worker };

Bytes SafetySeed(const Bytes& file, TSafetyRoute route)
{
    switch (route) {
    case TSafetyRoute::Clipboard: return file.size() > 14 ? PackedDibOf(file) : Bytes{};
    case TSafetyRoute::FormData: {
        Bytes form(4);
        const auto length = static_cast<DWORD>(file.size());
        std::memcpy(form.data(), &length, 4);
        form.insert(form.end(), file.begin(), file.end());
        return form;
    }
    default: return ContainerOf(file);
    }
}

void LoadThroughRoute(TSafetyBitmap& bitmap, const Bytes& input, TSafetyRoute route)
{
    if (route == TSafetyRoute::Clipboard) {
        const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, input.size());
        if (!block)
            throw EOutOfResources();
        struct TFree {
            HGLOBAL block;
            ~TFree() { GlobalFree(block); }
        } free{block};
        if (!input.empty()) {
            std::memcpy(GlobalLock(block), input.data(), input.size());
            GlobalUnlock(block);
        }
        bitmap.LoadFromClipboardFormat(CF_DIB, block, nullptr);
        return;
    }
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded, input.size());
    if (route == TSafetyRoute::FormData)
        bitmap.ReadData(stream);
    else
        bitmap.LoadFromStream(stream);
}

// Loads one input into a bitmap that holds a picture already and draws what
// it loaded, transparently; answers what went wrong, or nothing. A refused
// input must leave the picture in place.
std::string LoadSafetyOnce(const Bytes& input, TSafetyRoute route)
{
    TSafetyBitmap bitmap;
    bitmap.SetSize(2, 2);
    TBitmap before;
    before.Assign(bitmap);
    try {
        LoadThroughRoute(bitmap, input, route);
    } catch (const Exception& error) {
        const bool expected = dynamic_cast<const EInvalidGraphic*>(&error) || dynamic_cast<const EReadError*>(&error) ||
                              dynamic_cast<const EZLibError*>(&error) || dynamic_cast<const EOutOfResources*>(&error);
        if (!expected)
            return "unexpected error: " + error.Message();
        return bitmap.SharesImageWith(before) ? std::string() : "a refused load changed the bitmap";
    } catch (const std::exception& error) {
        return std::string("unexpected error: ") + error.what();
    }
    // Damaged sizes make large pictures whose masks take long to build
    // pixel by pixel: only small ones are drawn.
    if (static_cast<std::int64_t>(bitmap.Width()) * bitmap.Height() > 65536)
        return {};
    try {
        bitmap.SetTransparent(true);
        TRenderTarget target(8, 8);
        TAttachedCanvas canvas(target.Dc());
        bitmap.Draw(canvas, RECT{0, 0, 8, 8});
    } catch (const std::exception& error) {
        return std::string("drawing what loaded failed: ") + error.what();
    }
    return {};
}

std::string ReadPaletteOnce(const Bytes& input)
{
    const TGuardedBytes guarded(input);
    TGuardedStream stream(guarded, input.size());
    try {
        if (HPALETTE palette = ReadRiffPalette(stream))
            DeleteObject(palette);
    } catch (const std::exception& error) {
        return std::string("unexpected error: ") + error.what();
    }
    return {};
}

constexpr int kMutationsPerSeed = 4000;

TEST(DibFuzz, DamagedBitmapsRaiseOnlyTheirErrorsThroughEveryKindOfStream)
{
    const std::string folder = FuzzFolder();
    ASSERT_FALSE(folder.empty());
    const DWORD started = GetTickCount();
    std::vector<std::string> inputs = FilesIn(folder + "\\seeds", "*.bmp");
    for (const std::string& path : FilesIn(folder + "\\seeds", "*.cbm"))
        inputs.push_back(path);
    ASSERT_GE(inputs.size(), 5u);
    const std::vector<std::string> found = FilesIn(folder + "\\found", "*.bmp");

    int runs = 0;
    auto check = [&](const Bytes& input) {
        for (TStreamKind kind : {TStreamKind::Memory, TStreamKind::Other, TStreamKind::Container}) {
            const std::string fault = LoadOnce(input, kind);
            ++runs;
            if (!fault.empty()) {
                Keep(input, fault);
                return false;
            }
        }
        return true;
    };
    for (const std::string& path : found)
        check(ReadAll(path));
    std::uint32_t seed = 1;
    for (const std::string& path : inputs) {
        const Bytes original = ReadAll(path);
        ASSERT_TRUE(check(original)) << path;
        TMutator mutator(seed++);
        for (int i = 0; i < kMutationsPerSeed; ++i)
            if (!check(mutator.Mutate(original)))
                break;
    }
    const double seconds = (GetTickCount() - started) / 1000.0;
    std::printf("%d loads in %.1f s\n", runs, seconds);
}

constexpr int kSafetyMutationsPerSeed = 600;

TEST(DibFuzz, DamagedBitmapsReachingASafetyBitmapRaiseOnlyTheirErrorsAndChangeNothing)
{
    const std::string folder = FuzzFolder();
    ASSERT_FALSE(folder.empty());
    const DWORD started = GetTickCount();
    std::vector<Bytes> files;
    for (const char* pattern : {"*.bmp", "*.cbm"})
        for (const std::string& path : FilesIn(folder + "\\seeds", pattern))
            files.push_back(ReadAll(path));
    for (const std::string& path : FilesIn(folder + "\\found", "*.bmp"))
        files.push_back(ReadAll(path));
    ASSERT_GE(files.size(), 5u);

    int runs = 0;
    for (TSafetyRoute route : {TSafetyRoute::Clipboard, TSafetyRoute::FormData, TSafetyRoute::Worker}) {
        Bytes failed;
        std::string fault;
        auto campaign = [&] {
            std::uint32_t seed = 2000 + static_cast<std::uint32_t>(route) * 100;
            for (const Bytes& file : files) {
                const Bytes original = SafetySeed(file, route);
                TMutator mutator(seed++);
                for (int i = 0; i <= kSafetyMutationsPerSeed && fault.empty(); ++i) {
                    const Bytes input = i == 0 ? original : mutator.Mutate(original);
                    fault = LoadSafetyOnce(input, route);
                    ++runs;
                    if (!fault.empty())
                        failed = input;
                }
            }
        };
        // Loading off the main thread takes the framework's reader.
        if (route == TSafetyRoute::Worker)
            OnWorkerThread(campaign);
        else
            campaign();
        if (!fault.empty())
            Keep(failed, fault);
    }
    const double seconds = (GetTickCount() - started) / 1000.0;
    std::printf("%d safety-bitmap loads in %.1f s\n", runs, seconds);
}

TEST(DibFuzz, DamagedRiffPalettesAreRefusedQuietly)
{
    const std::string folder = FuzzFolder();
    ASSERT_FALSE(folder.empty());
    const std::vector<std::string> seeds = FilesIn(folder + "\\seeds", "*.pal");
    ASSERT_GE(seeds.size(), 2u);
    std::vector<Bytes> inputs;
    for (const std::string& path : FilesIn(folder + "\\found", "*.pal"))
        inputs.push_back(ReadAll(path));
    std::uint32_t seed = 1000;
    for (const std::string& path : seeds) {
        const Bytes original = ReadAll(path);
        inputs.push_back(original);
        TMutator mutator(seed++);
        for (int i = 0; i < 4 * kMutationsPerSeed; ++i)
            inputs.push_back(mutator.Mutate(original));
    }
    for (const Bytes& input : inputs) {
        const std::string fault = ReadPaletteOnce(input);
        if (!fault.empty()) {
            Keep(input, fault);
            break;
        }
    }
}

} // namespace
