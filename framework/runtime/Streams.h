#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum class TSeekOrigin { Beginning, Current, End };

// A seekable byte stream. Read and Write move what they can and say how much;
// ReadBuffer and WriteBuffer move all or raise.
class TStream {
public:
    virtual ~TStream() = default;

    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(std::int64_t size);

    std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Beginning); }
    std::int64_t Size();

    void ReadBuffer(void* buffer, std::int32_t count);
    void WriteBuffer(const void* buffer, std::int32_t count);

    // Copies count bytes from the source's position; a count of 0 copies the
    // whole source from its start.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A stream over bytes in memory; the memory family can be read in place.
class TCustomMemoryStream : public TStream {
public:
    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

    const std::uint8_t* Memory() const { return memory_; }

protected:
    void SetPointer(const std::uint8_t* memory, std::int64_t size);

    const std::uint8_t* memory_ = nullptr;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    void SetSize(std::int64_t size) override;

    std::uint8_t* Memory() { return buffer_.data(); }
    void Clear() { SetSize(0); }
    void SaveToStream(TStream& destination);

private:
    std::vector<std::uint8_t> buffer_;
};

// A stream over a Win32 file handle that it does not own.
class THandleStream : public TStream {
public:
    explicit THandleStream(HANDLE handle) : handle_(handle) {}

    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;

    HANDLE Handle() const { return handle_; }

protected:
    HANDLE handle_;
};

enum class TFileMode {
    Create,        // create or truncate; read and write, not shared
    OpenRead,      // existing file, shared for reading
    OpenReadWrite, // existing file, not shared
};

class TFileStream : public THandleStream {
public:
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;

    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
};

// A read-only stream over a resource of a module, found by name and type.
// Names of the form "#123" and numeric ids made with MAKEINTRESOURCE work as
// the platform defines them; text names match without regard to case.
class TResourceStream : public TCustomMemoryStream {
public:
    TResourceStream(HMODULE module, const char* name, const char* type);

    std::int32_t Write(const void* buffer, std::int32_t count) override;
};

// Text of a resource name or type for messages: the name itself, or "#id".
std::string ResourceIdText(const char* id);
