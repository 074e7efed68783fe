#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <string>

#include "framework/runtime/Errors.h"
#include "imagepack/UResStream.h"
#include "tests/support/FuzzTest.h"
#include "tests/support/TestSupport.h"

// A compiled resource file next to the program is input that anyone can drop
// there. Whatever it holds, TResStream may only raise the read error or the
// not-found error, must not crash, and hands out nothing but a piece of the
// file. The seeds are a file from the resource compiler and one written by
// hand with texts, numbers, double-byte names, an empty and a duplicate entry.

namespace {

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

bool IsResourceRefusal(const std::exception& error)
{
    return dynamic_cast<const EReadError*>(&error) || dynamic_cast<const EResNotFound*>(&error) ||
           dynamic_cast<const EOutOfMemory*>(&error);
}

// Checks what the stream promises of a resource it opened.
void CheckResource(TResStream& stream, const TFuzzBytes& file)
{
    const std::int64_t size = stream.Size();
    if (size > static_cast<std::int64_t>(file.size()))
        throw TFuzzViolation("the resource is larger than the file");
    TFuzzBytes data(static_cast<std::size_t>(size));
    stream.ReadBuffer(data.data(), static_cast<std::int32_t>(data.size()));
    // Data follows at least the two sizes of its entry's header.
    if (!data.empty() &&
        (file.size() < 8 || std::search(file.begin() + 8, file.end(), data.begin(), data.end()) == file.end()))
        throw TFuzzViolation("the resource is not a piece of the file after a header");
    try {
        stream.Seek(-1, TSeekOrigin::Beginning);
        throw TFuzzViolation("a seek moved before the start");
    } catch (const ESeekError&) {
    }
    if (stream.Position() != size)
        throw TFuzzViolation("a refused seek moved the position");
}

// Each input is written to one file, and every wanted resource is read from
// it. The file is accepted when one of them could be read; when none could,
// the last refusal stands for the file's.
class TResourceFileTarget {
public:
    void Load(const TFuzzBytes& input)
    {
        {
            TFileStream file(path_, TFileMode::Create);
            file.WriteBuffer(input.data(), static_cast<std::int32_t>(input.size()));
        }
        std::exception_ptr refusal;
        bool read = false;
        for (const TWanted& wanted : kWanted) {
            try {
                TResStream stream(path_, wanted.type, wanted.name);
                CheckResource(stream, input);
                read = true;
            } catch (const std::exception& error) {
                if (!IsResourceRefusal(error))
                    throw;
                refusal = std::current_exception();
            }
        }
        if (!read)
            std::rethrow_exception(refusal);
    }

private:
    TTempFolder folder_;
    std::string path_ = folder_.File("input.res");
};

TEST(ResStreamFuzz, ResourceFile)
{
    TResourceFileTarget target;
    TFuzzOptions options = FuzzOptions(10000, 1 << 20);
    // Entry headers' fields: sizes, a number in place of a text, the memory
    // flags and the language.
    options.dictionary = {{0x20, 0, 0, 0}, {0xFF, 0xFF}, {0x30, 0x10}, {0x11, 0x04}, {0, 0, 0, 0}};
    ExpectReaderHolds({"resource-file", [&](const TFuzzBytes& input) { target.Load(input); }, IsResourceRefusal,
                       nullptr},
                      "resource-file", options);
}

} // namespace
