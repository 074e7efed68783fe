#include "imagepack/UResStream.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "framework/runtime/Errors.h"
#include "framework/runtime/Text.h"

namespace {

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The text in the system code page; false when some character has no
// equivalent there, for such a text cannot be any wanted 8-bit text.
bool ToSystemText(const wchar_t* units, int count, std::string& text)
{
    text.clear();
    if (count == 0)
        return true;
    const int size = WideCharToMultiByte(CP_ACP, 0, units, count, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    text.resize(static_cast<std::size_t>(size));
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, text.data(), size, nullptr, &usedDefault);
    return !usedDefault;
}

bool IsTooLong(const char* id)
{
    return !IS_INTRESOURCE(id) && std::strlen(id) > kMaxResIdText;
}

} // namespace

TResStream::TResStream(const std::string& resFile, const char* type, const char* name)
{
    if (!resFile.empty() && FileExists(resFile)) {
        auto copy = std::make_unique<TMemoryStream>();
        FindInResFile(*copy, resFile, type, name);
        copy->SetPosition(0);
        inner_ = std::move(copy);
    } else {
        inner_ = std::make_unique<TResourceStream>(GetModuleHandleA(nullptr), name, type);
    }
}

std::int32_t TResStream::Read(void* buffer, std::int32_t count)
{
    return inner_->Read(buffer, count);
}

std::int32_t TResStream::Write(const void* buffer, std::int32_t count)
{
    return inner_->Write(buffer, count);
}

std::int64_t TResStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    return inner_->Seek(offset, origin);
}

void FindInResFile(TStream& destination, const std::string& resFile, const char* type, const char* name)
{
    // The comparison reads the file's text in one piece of the wanted
    // length; a limit keeps that piece small.
    if (IsTooLong(type) || IsTooLong(name))
        throw EResNotFound(ResourceIdText(name));

    TFileStream file(resFile, TFileMode::OpenRead);
    const std::int64_t fileSize = file.Size();
    while (file.Position() < fileSize) {
        const std::int64_t entryStart = file.Position();
        std::uint32_t dataSize = 0;
        std::uint32_t headerSize = 0;
        file.ReadBuffer(&dataSize, sizeof dataSize);
        file.ReadBuffer(&headerSize, sizeof headerSize);
        const std::int64_t dataStart = entryStart + AlignDword(headerSize);

        // A header too small for its own two sizes would not move on to
        // the next entry; an entry past the end is a cut-off file.
        if (headerSize < 2 * sizeof(std::uint32_t) || entryStart + headerSize > fileSize ||
            (dataSize > 0 && dataStart + dataSize > fileSize))
            throw EReadError();

        if (MatchResId(file, type) && MatchResId(file, name)) {
            file.SetPosition(dataStart);
            // A count of 0 would copy the whole file.
            if (dataSize > 0)
                destination.CopyFrom(file, dataSize);
            return;
        }
        file.SetPosition(dataStart + AlignDword(dataSize));
    }
    throw EResNotFound(ResourceIdText(name));
}

bool MatchResId(TStream& file, const char* id)
{
    if (IS_INTRESOURCE(id)) {
        std::uint16_t field[2];
        file.ReadBuffer(field, sizeof field);
        return field[0] == 0xFFFF && field[1] == reinterpret_cast<std::uintptr_t>(id);
    }

    const std::size_t length = std::strlen(id);
    if (length > kMaxResIdText)
        return false;
    // A text of L bytes has at most L characters: L units and the ending zero.
    const std::int64_t fieldStart = file.Position();
    std::vector<wchar_t> units(length + 1);
    const auto wanted = static_cast<std::int32_t>(units.size() * sizeof(wchar_t));
    if (file.Read(units.data(), wanted) != wanted)
        return false;
    const auto end = std::find(units.begin(), units.end(), L'\0');
    // 0xFFFF starts a number, which no text matches.
    if (end == units.end() || units.front() == 0xFFFF)
        return false;
    const auto count = static_cast<int>(end - units.begin());
    std::string text;
    if (!ToSystemText(units.data(), count, text) || !AnsiSameText(text, id))
        return false;
    // Double-byte characters take one unit for two bytes, so the piece read
    // may reach into the name that follows the type.
    file.SetPosition(fieldStart + (count + 1) * static_cast<std::int64_t>(sizeof(wchar_t)));
    return true;
}
