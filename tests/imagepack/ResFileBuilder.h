#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A type or name of a compiled resource file entry: a number or a text.
struct TResFileId {
    bool numeric = false;
    std::uint16_t number = 0;
    std::wstring text;
};

inline TResFileId ResNumber(std::uint16_t number)
{
    return {true, number, {}};
}

inline TResFileId ResText(std::wstring text)
{
    return {false, 0, std::move(text)};
}

// Writes compiled resource files byte by byte, so that tests can also make
// the damaged ones. Starts with the empty entry that such files begin with.
class TResFileBuilder {
public:
    TResFileBuilder() { Add(ResNumber(0), ResNumber(0), {}); }

    // Appends an entry and answers where it starts.
    std::size_t Add(const TResFileId& type, const TResFileId& name, const std::string& data)
    {
        const std::size_t start = bytes.size();
        PutDword(static_cast<std::uint32_t>(data.size()));
        PutDword(0); // header size, known at the end of the header
        PutId(type);
        PutId(name);
        Pad();
        PutDword(0);       // data version
        PutWord(0x1030);   // memory flags
        PutWord(0x0411);   // language: Japanese
        PutDword(0);       // version
        PutDword(0);       // characteristics
        SetDword(start + 4, static_cast<std::uint32_t>(bytes.size() - start));
        bytes.insert(bytes.end(), data.begin(), data.end());
        Pad();
        return start;
    }

    void SetDword(std::size_t offset, std::uint32_t value) { std::memcpy(&bytes[offset], &value, sizeof value); }

    bool Save(const std::string& path) const
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        DWORD done = 0;
        const bool written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                             done == bytes.size();
        CloseHandle(file);
        return written;
    }

    std::vector<unsigned char> bytes;

private:
    void PutWord(std::uint16_t value)
    {
        bytes.push_back(static_cast<unsigned char>(value));
        bytes.push_back(static_cast<unsigned char>(value >> 8));
    }
    void PutDword(std::uint32_t value)
    {
        PutWord(static_cast<std::uint16_t>(value));
        PutWord(static_cast<std::uint16_t>(value >> 16));
    }
    void PutId(const TResFileId& id)
    {
        if (id.numeric) {
            PutWord(0xFFFF);
            PutWord(id.number);
            return;
        }
        for (wchar_t unit : id.text)
            PutWord(static_cast<std::uint16_t>(unit));
        PutWord(0);
    }
    void Pad()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }
};
