#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <set>
#include <string>

#include "bitmap/USafetyBitmap.h"
#include "container/UZLIB.h"
#include "framework/graphics/DecodeLimit.h"
#include "framework/graphics/Icon.h"
#include "framework/graphics/Metafile.h"
#include "imagepack/UResourceImageLoader.h"
#include "tests/imagepack/PictureResources.h"
#include "tests/support/FuzzTest.h"

// Damaged picture resources in a resource file next to the program, loaded
// through TResourceImageLoader. The loader may raise the read error, the
// not-found error and its decoders' errors only, and keeps the picture as it
// was when it raises. The seeds hold one file for each kind of picture: bare
// and compressed bitmaps, "CBM" resources (compressed, and a bare run-length
// one), an icon image, a metafile and a JPEG image.

namespace {

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

bool IsLoaderRefusal(const std::exception& error)
{
    return dynamic_cast<const EInvalidGraphic*>(&error) || dynamic_cast<const EZLibError*>(&error) ||
           dynamic_cast<const EReadError*>(&error) || dynamic_cast<const EResNotFound*>(&error) ||
           dynamic_cast<const EOutOfMemory*>(&error);
}

// What a failed load must leave alone: the graphic itself, its content and
// whether it came from a resource.
struct TPictureState {
    const TGraphic* graphic = nullptr;
    TFuzzBytes content;
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

// Each input is written to the resource file beside the program, and every
// wanted picture is loaded from it. The picture goes on from what the inputs
// before left in it, so a load meets graphics of its own kind and of others.
// The file is accepted when one picture loaded; when none did, the last
// refusal stands for the file's. A drawing target draws every picture it
// loaded, as a control shows it.
class TPictureResourceTarget {
public:
    explicit TPictureResourceTarget(bool draws = false) : draws_(draws) { loader_.SetResFile(file_.Name()); }

    void Load(const TFuzzBytes& input)
    {
        {
            TFileStream file(file_.Path(), TFileMode::Create);
            file.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
        }
        std::exception_ptr refusal;
        bool loaded = false;
        for (const TWantedPicture& wanted : kWantedPictures) {
            const std::string which = std::string(wanted.type) + " " + wanted.name;
            loader_.SetResType(wanted.type);
            loader_.SetResName(wanted.name);
            const TPictureState before = TPictureState::Of(picture_);
            try {
                loader_.Load();
            } catch (const std::exception& error) {
                if (!IsLoaderRefusal(error))
                    throw;
                if (!(TPictureState::Of(picture_) == before))
                    throw TFuzzViolation(which + ": a failed load changed the picture");
                refusal = std::current_exception();
                continue;
            }
            if (!wanted.loaded(picture_.Graphic()) || !picture_.LoadedFromResource())
                throw TFuzzViolation(which + ": a load that succeeded left no picture of its kind");
            loadedKinds_.insert(which);
            loaded = true;
            if (draws_) {
                TRenderTarget target(16, 16);
                target.Draw(*picture_.Graphic(), RECT{0, 0, 16, 16});
            }
        }
        if (!loaded)
            std::rethrow_exception(refusal);
    }

    // The wanted pictures that loaded at least once.
    std::size_t LoadedKinds() const { return loadedKinds_.size(); }

private:
    bool draws_;
    TResFileBesideProgram file_{"picture-fuzz"};
    TPictureEx picture_;
    TResourceImageLoader loader_{picture_};
    std::set<std::string> loadedKinds_;
};

TEST(PictureResourceFuzz, ResourceFile)
{
    TPictureResourceTarget target;
    ExpectReaderHolds({"picture-resource", [&](const TFuzzBytes& input) { target.Load(input); }, IsLoaderRefusal,
                       nullptr},
                      "picture-resource", FuzzOptions(8000, static_cast<std::size_t>(kMaxPictureBytes)));
    // Every decoder was reached.
    if (!std::getenv("ZELMORIA_FUZZ_INPUT")) {
        EXPECT_EQ(target.LoadedKinds(), std::size(kWantedPictures));
    }
}

// Mutants are loaded only: the platform's drawing of extreme but
// well-formed pictures says nothing about the loader.
TEST(PictureResourceFuzz, CorpusDrawn)
{
    TPictureResourceTarget target(true);
    ExpectCorpusHolds({"picture-resource-drawn", [&](const TFuzzBytes& input) { target.Load(input); },
                       IsLoaderRefusal, nullptr},
                      "picture-resource", FuzzOptions(0, static_cast<std::size_t>(kMaxPictureBytes)));
}

} // namespace
