// Mutated compiled resource files read through TResStream, and mutated
// picture resources loaded through TResourceImageLoader. A file next to the
// program is input that anyone can drop there, so whatever it holds the
// stream may only raise the read error or the not-found error, must not
// crash, and must hand out nothing but a piece of the file; the loader may
// raise those and its decoders' errors only, and keeps the picture as it was
// when it raises. A run that does not end is caught by the test's time limit.
//
// fuzz/seeds holds the files that the stream's mutations start from:
// compiled.res from the resource compiler, mixed.res written by hand with
// texts, numbers, double-byte names, an empty and a duplicate entry.
// fuzz/picture-seeds holds those of the loader, one file for each kind of
// picture: bare and compressed bitmaps, "CBM" resources (compressed, and a
// bare run-length one), an icon image, a metafile and a JPEG image.
// fuzz/found and fuzz/picture-found hold every input that once went wrong;
// they are read unchanged on every run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "container/UZLIB.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/JpegDecoder.h"
#include "framework/graphics/Metafile.h"
#include "framework/runtime/Errors.h"
#include "imagepack/UResStream.h"
#include "imagepack/UResourceImageLoader.h"
#include "tests/support/TestSupport.h"

namespace {

using TBytes = std::vector<unsigned char>;

constexpr int kMutatedFiles = 10000;
constexpr int kMutatedPictureFiles = 8000;

struct TWanted {
    const char* type;
    const char* name;
};

const TWanted kWanted[] = {
    {"DATA", "LOGO"},
    {MAKEINTRESOURCEA(2), "LOGO"},
    {MAKEINTRESOURCEA(9), MAKEINTRESOURCEA(7)},
    {"画像", "ロゴ"},
    {"DATA", "MISSING"},
};

std::string CorpusDir()
{
    const char* dir = std::getenv("IMAGEPACK_FUZZ_DIR");
    return dir ? dir : ".";
}

std::vector<TBytes> ReadFolder(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*.res").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do
            names.push_back(entry.cFileName);
        while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<TBytes> files;
    for (const auto& name : names)
        files.push_back(ReadWholeFile(folder + "\\" + name));
    return files;
}

bool SaveBytes(const std::string& path, const TBytes& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const bool written =
        bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                          done == bytes.size());
    CloseHandle(file);
    return written;
}

// Reads every wanted resource of the file; answers what went wrong, or
// nothing.
std::string Check(const std::string& path, const TBytes& file)
{
    for (const auto& wanted : kWanted) {
        try {
            TResStream stream(path, wanted.type, wanted.name);
            const std::int64_t size = stream.Size();
            if (size > static_cast<std::int64_t>(file.size()))
                return "the resource is larger than the file";
            TBytes data(static_cast<std::size_t>(size));
            stream.ReadBuffer(data.data(), static_cast<std::int32_t>(data.size()));
            // Data follows at least the two sizes of its entry's header.
            if (!data.empty() && (file.size() < 8 || std::search(file.begin() + 8, file.end(), data.begin(),
                                                                 data.end()) == file.end()))
                return "the resource is not a piece of the file after a header";
            try {
                stream.Seek(-1, TSeekOrigin::Beginning);
                return "a seek moved before the start";
            } catch (const ESeekError&) {
            }
            if (stream.Position() != size)
                return "a refused seek moved the position";
        } catch (const EReadError&) {
        } catch (const EResNotFound&) {
        } catch (const std::exception& error) {
            return std::string("unexpected error: ") + MessageOf(error);
        }
    }
    return {};
}

class TMutator {
public:
    explicit TMutator(unsigned seed) : random_(seed) {}

    TBytes Mutate(TBytes bytes)
    {
        const int steps = Below(4) + 1;
        for (int step = 0; step < steps; ++step)
            MutateOnce(bytes);
        return bytes;
    }

private:
    int Below(std::size_t limit) { return static_cast<int>(random_() % std::max<std::size_t>(limit, 1)); }

    void MutateOnce(TBytes& bytes)
    {
        static const std::uint32_t kSizes[] = {0, 1, 2, 4, 8, 0x20, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};
        const std::size_t at = static_cast<std::size_t>(Below(bytes.size()));
        switch (Below(7)) {
        case 0: // one bit
            if (!bytes.empty())
                bytes[at] ^= static_cast<unsigned char>(1u << Below(8));
            break;
        case 1: // a size field, on the 4-byte grid where entries start
            if (bytes.size() >= 4) {
                const std::size_t field = std::min(at & ~std::size_t{3}, bytes.size() - 4);
                std::uint32_t value = Below(2) ? kSizes[Below(std::size(kSizes))] : static_cast<std::uint32_t>(random_());
                if (Below(4) == 0)
                    value = static_cast<std::uint32_t>(bytes.size() - field + Below(9)) - 4;
                std::memcpy(&bytes[field], &value, sizeof value);
            }
            break;
        case 2: // a text unit that ends a text or starts a number
            if (bytes.size() >= 2) {
                const std::size_t unit = std::min(at & ~std::size_t{1}, bytes.size() - 2);
                const std::uint16_t value = Below(2) ? 0 : 0xFFFF;
                std::memcpy(&bytes[unit], &value, sizeof value);
            }
            break;
        case 3: // cut off
            bytes.resize(at);
            break;
        case 4: // bytes inserted
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::size_t>(Below(8) + 1),
                         static_cast<unsigned char>(random_()));
            break;
        case 5: // bytes removed
            bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + Below(16) + 1)));
            break;
        default: // a piece repeated elsewhere, as a duplicated entry would be
            if (!bytes.empty()) {
                const std::size_t length = std::min<std::size_t>(bytes.size() - at, Below(64) + 1);
                const TBytes piece(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                   bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
                const std::size_t to = static_cast<std::size_t>(Below(bytes.size() + 1));
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(to), piece.begin(), piece.end());
            }
            break;
        }
    }

    std::mt19937 random_;
};

class ResStreamFuzz : public ::testing::Test {
protected:
    // The input under test lies in the build folder while it runs, so that a
    // crash or a hang leaves it behind.
    std::string current = BuildDir() + "\\tests\\imagepack\\fuzz-current.res";
    int failures = 0;

    void Run(const TBytes& input, const std::string& origin)
    {
        ASSERT_TRUE(SaveBytes(current, input));
        const std::string problem = Check(current, input);
        if (problem.empty())
            return;
        const std::string kept = BuildDir() + "\\tests\\imagepack\\fuzz-failure-" + std::to_string(failures++) + ".res";
        SaveBytes(kept, input);
        ADD_FAILURE() << origin << ": " << problem << "; the input is kept in " << kept
                      << " (move it to tests/imagepack/fuzz/found)";
    }
};

TEST_F(ResStreamFuzz, OnceFailingInputsAndSeedsReadSafely)
{
    const auto seeds = ReadFolder(CorpusDir() + "\\seeds");
    ASSERT_FALSE(seeds.empty()) << "no seeds in " << CorpusDir();
    for (const auto& seed : seeds)
        Run(seed, "a seed");
    for (const auto& found : ReadFolder(CorpusDir() + "\\found"))
        Run(found, "a once failing input");
}

TEST_F(ResStreamFuzz, MutatedFilesRaiseOnlyTheReadAndNotFoundErrors)
{
    const auto seeds = ReadFolder(CorpusDir() + "\\seeds");
    ASSERT_FALSE(seeds.empty()) << "no seeds in " << CorpusDir();
    const unsigned seed = GetTickCount() ^ GetCurrentProcessId();
    std::cout << "mutation seed " << seed << "\n";
    TMutator mutator(seed);
    for (int index = 0; index < kMutatedFiles && failures < 10; ++index)
        Run(mutator.Mutate(seeds[static_cast<std::size_t>(index) % seeds.size()]), "mutation " + std::to_string(index));
    DeleteFileA(current.c_str());
}


// Every picture resource of the seeds, with what a load that succeeds must
// leave in the picture.
struct TWantedPicture {
    const char* type;
    const char* name;
    bool (*loaded)(const TGraphic*);
};

template <class T>
bool Is(const TGraphic* graphic)
{
    return dynamic_cast<const T*>(graphic) != nullptr;
}

const TWantedPicture kWantedPictures[] = {
    {"RT_BITMAP", "LOGO", Is<TSafetyBitmap>}, {"RT_BITMAP", "PACKED", Is<TSafetyBitmap>},
    {"CBM", "LOGO", Is<TSafetyBitmap>},       {"CBM", "PLAIN", Is<TSafetyBitmap>},
    {"RT_ICON", "ICON", Is<TIcon>},           {"METAFILE", "LOGO", Is<TMetafile>},
    {"JPEG", "LOGO", Is<TJPEGImage>},
};

// What a failed load must leave alone: the graphic itself, its content and
// whether it came from a resource.
struct TPictureState {
    const TGraphic* graphic = nullptr;
    TBytes content;
    bool fromResource = false;

    static TPictureState Of(TPictureEx& picture)
    {
        TPictureState state{picture.Graphic(), {}, picture.LoadedFromResource()};
        if (state.graphic) {
            TMemoryStream saved;
            state.graphic->SaveToStream(saved);
            state.content.assign(saved.Memory(), saved.Memory() + saved.Size());
        }
        return state;
    }
    bool operator==(const TPictureState&) const = default;
};

class PictureResourceFuzz : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The loader takes its file in the program's folder, the build's bin.
        loader.SetResFile("..\\tests\\imagepack\\picture-fuzz-current.res");
    }

    // The input under test lies in the build folder while it runs, so that a
    // crash or a hang leaves it behind. The picture goes on from what the
    // inputs before left in it, so a load meets graphics of its own kind and
    // of others.
    void Run(const TBytes& input, const std::string& origin)
    {
        ASSERT_TRUE(SaveBytes(current, input));
        const std::string problem = Check();
        if (problem.empty())
            return;
        const std::string kept =
            BuildDir() + "\\tests\\imagepack\\picture-fuzz-failure-" + std::to_string(failures++) + ".res";
        SaveBytes(kept, input);
        ADD_FAILURE() << origin << ": " << problem << "; the input is kept in " << kept
                      << " (move it to tests/imagepack/fuzz/picture-found)";
    }

    std::string Check()
    {
        for (const auto& wanted : kWantedPictures) {
            const std::string which = std::string(wanted.type) + " " + wanted.name + ": ";
            loader.SetResType(wanted.type);
            loader.SetResName(wanted.name);
            const TPictureState before = TPictureState::Of(picture);
            try {
                loader.Load();
                if (!wanted.loaded(picture.Graphic()) || !picture.LoadedFromResource())
                    return which + "a load that succeeded left no picture of its kind";
                continue;
            } catch (const EInvalidGraphic&) {
            } catch (const EJPEGError&) {
            } catch (const EZLibError&) {
            } catch (const EReadError&) {
            } catch (const EResNotFound&) {
            } catch (const std::exception& error) {
                return which + "unexpected error: " + MessageOf(error);
            }
            if (!(TPictureState::Of(picture) == before))
                return which + "a failed load changed the picture";
        }
        return {};
    }

    std::string current = BuildDir() + "\\tests\\imagepack\\picture-fuzz-current.res";
    TPictureEx picture;
    TResourceImageLoader loader{picture};
    int failures = 0;
};

TEST_F(PictureResourceFuzz, OnceFailingInputsAndSeedsLoad)
{
    const auto seeds = ReadFolder(CorpusDir() + "\\picture-seeds");
    ASSERT_EQ(seeds.size(), 5u) << "seeds in " << CorpusDir();
    for (const auto& seed : seeds)
        Run(seed, "a seed");
    // Each kind of picture was loaded from its seed at least once.
    int kinds = 0;
    for (const auto& wanted : kWantedPictures) {
        for (const auto& seed : seeds) {
            ASSERT_TRUE(SaveBytes(current, seed));
            loader.SetResType(wanted.type);
            loader.SetResName(wanted.name);
            try {
                loader.Load();
                ++kinds;
                break;
            } catch (const EResNotFound&) {
            }
        }
    }
    EXPECT_EQ(kinds, static_cast<int>(std::size(kWantedPictures)));
    for (const auto& found : ReadFolder(CorpusDir() + "\\picture-found"))
        Run(found, "a once failing input");
}

TEST_F(PictureResourceFuzz, MutatedPictureResourcesRaiseOnlyTheirErrorsAndLeaveThePictureAlone)
{
    const auto seeds = ReadFolder(CorpusDir() + "\\picture-seeds");
    ASSERT_FALSE(seeds.empty()) << "no seeds in " << CorpusDir();
    const unsigned seed = GetTickCount() ^ GetCurrentProcessId();
    std::cout << "mutation seed " << seed << "\n";
    TMutator mutator(seed);
    for (int index = 0; index < kMutatedPictureFiles && failures < 10; ++index)
        Run(mutator.Mutate(seeds[static_cast<std::size_t>(index) % seeds.size()]), "mutation " + std::to_string(index));
    DeleteFileA(current.c_str());
}

} // namespace
