#include "framework/runtime/Streams.h"

#include <algorithm>
#include <cstring>

#include "framework/runtime/Errors.h"

void TStream::SetSize(std::int64_t)
{
    throw EStreamError("ストリームのサイズを変更できません");
}

std::int64_t TStream::Size()
{
    const std::int64_t position = Seek(0, TSeekOrigin::Current);
    const std::int64_t size = Seek(0, TSeekOrigin::End);
    Seek(position, TSeekOrigin::Beginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr std::int32_t kPiece = 61440;
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::int64_t>(count, kPiece)));
    for (std::int64_t left = count; left > 0;) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(left, kPiece));
        source.ReadBuffer(piece.data(), n);
        WriteBuffer(piece.data(), n);
        left -= n;
    }
    return count;
}

std::int32_t TCustomMemoryStream::Read(void* buffer, std::int32_t count)
{
    if (count <= 0 || position_ >= size_)
        return 0;
    const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size_ - position_));
    std::memcpy(buffer, memory_ + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::Beginning: break;
    case TSeekOrigin::Current: base = position_; break;
    case TSeekOrigin::End: base = size_; break;
    }
    std::int64_t target = 0;
    // A position before the start would let a read copy the bytes in front
    // of the buffer; the position stays where it was.
    if (__builtin_add_overflow(base, offset, &target) || target < 0)
        throw ESeekError();
    position_ = target;
    return position_;
}

void TCustomMemoryStream::SetPointer(const std::uint8_t* memory, std::int64_t size)
{
    memory_ = memory;
    size_ = size;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count)
{
    if (count <= 0)
        return 0;
    const std::int64_t end = position_ + count;
    if (end > size_)
        SetSize(end);
    std::memcpy(buffer_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

void TMemoryStream::SetSize(std::int64_t size)
{
    if (size < 0)
        throw EStreamError("ストリームのサイズを変更できません");
    buffer_.resize(static_cast<std::size_t>(size));
    SetPointer(buffer_.data(), size);
    if (position_ > size)
        position_ = size;
}

void TMemoryStream::SaveToStream(TStream& destination)
{
    if (size_ > 0)
        destination.WriteBuffer(buffer_.data(), static_cast<std::int32_t>(size_));
}

std::int32_t THandleStream::Read(void* buffer, std::int32_t count)
{
    DWORD done = 0;
    if (count <= 0 || !ReadFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<std::int32_t>(done);
}

std::int32_t THandleStream::Write(const void* buffer, std::int32_t count)
{
    DWORD done = 0;
    if (count <= 0 || !WriteFile(handle_, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<std::int32_t>(done);
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    static constexpr DWORD kMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    // The platform refuses a position before the start of the file.
    if (!SetFilePointerEx(handle_, distance, &result, kMethod[static_cast<int>(origin)]))
        throw ESeekError(GetLastError());
    return result.QuadPart;
}

void THandleStream::SetSize(std::int64_t size)
{
    const std::int64_t position = Position();
    SetPosition(size);
    if (!SetEndOfFile(handle_))
        throw EWriteError(GetLastError());
    if (position < size)
        SetPosition(position);
}

namespace {

HANDLE OpenFile(const std::string& path, TFileMode mode)
{
    switch (mode) {
    case TFileMode::Create:
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    case TFileMode::OpenRead:
        return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    case TFileMode::OpenReadWrite:
        break;
    }
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode) : THandleStream(OpenFile(path, mode))
{
    if (handle_ == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (mode == TFileMode::Create)
            throw EFCreateError(path, error);
        throw EFOpenError(path, error);
    }
}

TFileStream::~TFileStream()
{
    CloseHandle(handle_);
}

TResourceStream::TResourceStream(HMODULE module, const char* name, const char* type)
{
    HRSRC info = FindResourceA(module, name, type);
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    if (!data)
        throw EResNotFound(ResourceIdText(name), GetLastError());
    SetPointer(static_cast<const std::uint8_t*>(LockResource(data)), SizeofResource(module, info));
}

std::int32_t TResourceStream::Write(const void*, std::int32_t)
{
    throw EStreamError("リソースには書き込めません");
}

std::string ResourceIdText(const char* id)
{
    if (!IS_INTRESOURCE(id))
        return id;
    std::string text = "#";
    text += std::to_string(reinterpret_cast<std::uintptr_t>(id));
    return text;
}
