#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/runtime/Streams.h"

// Resource identifiers, types and names alike, are texts or numbers made
// with MAKEINTRESOURCEA, as the platform's resource functions take them.

// A read stream over one resource: from the compiled resource file at the
// path when that file exists, otherwise from the program's own resources.
// A picture can so be replaced by dropping a resource file next to the
// program.
class TResStream : public TStream {
public:
    // Raises EResNotFound when the resource is not where it is looked for:
    // a resource file that exists is the only place searched.
    TResStream(const std::string& resFile, const char* type, const char* name);

    std::int32_t Read(void* buffer, std::int32_t count) override;
    // Works on the copy of a file's resource; a module's resource is read-only.
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    // A seek to before the start of the data raises ESeekError, as it does
    // on a file, and the position stays where it was.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

private:
    std::unique_ptr<TStream> inner_;
};

// Longest text identifier that a resource file is searched for, in bytes.
inline constexpr std::size_t kMaxResIdText = 260;

// Copies the data of the first entry of the resource file that matches type
// and name to the destination. Raises EResNotFound when no entry matches,
// and EReadError when the file is damaged: an entry that runs past the end
// of the file or whose header does not even hold its own two sizes.
void FindInResFile(TStream& destination, const std::string& resFile, const char* type, const char* name);

// Reads one type or name field of a resource file entry and tells whether it
// is the wanted identifier; text matches without regard to case. After a
// match the file is positioned right after the field.
bool MatchResId(TStream& file, const char* id);

// Rounds up to the next multiple of 4, where resource file entries and their
// data start.
constexpr std::int64_t AlignDword(std::int64_t value)
{
    return (value + 3) & ~std::int64_t{3};
}
