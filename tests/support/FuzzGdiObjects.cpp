#include "tests/support/FuzzGdiObjects.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace {

// The table: 65536 entries of 24 bytes, the object's type in the byte at 14
// (0 in a free entry); the process environment block points to it.
constexpr std::size_t kHandleEntries = 0x10000;
constexpr std::size_t kEntrySize = 24;
constexpr std::size_t kTypeAt = 14;
#ifdef _WIN64
constexpr std::size_t kTableInEnvironmentBlock = 0xF8;
#else
constexpr std::size_t kTableInEnvironmentBlock = 0x94;
#endif

std::size_t EntriesInUse()
{
    PROCESS_BASIC_INFORMATION process{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof process, nullptr) != 0)
        return 0;
    const auto* environment = reinterpret_cast<const std::uint8_t*>(process.PebBaseAddress);
    const auto* table = *reinterpret_cast<const std::uint8_t* const*>(environment + kTableInEnvironmentBlock);
    if (!table)
        return 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < kHandleEntries; ++i) {
        if (table[i * kEntrySize + kTypeAt] != 0)
            ++count;
    }
    return count;
}

} // namespace

std::size_t GdiObjectCount()
{
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return reported;
    return EntriesInUse();
}
