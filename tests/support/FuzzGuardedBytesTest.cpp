#include <gtest/gtest.h>

#include <windows.h>

#include "tests/support/FuzzGuardedBytes.h"

namespace {

DWORD ProtectionAt(const void* address)
{
    MEMORY_BASIC_INFORMATION region{};
    EXPECT_EQ(VirtualQuery(address, &region, sizeof region), sizeof region);
    return region.Protect;
}

TEST(GuardedBytes, HoldTheInputRightBeforeAPageNothingMayTouch)
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    // Shorter than a page, a whole page, a page and a byte.
    for (const std::size_t size : {std::size_t{5}, std::size_t{system.dwPageSize}, std::size_t{system.dwPageSize} + 1}) {
        SCOPED_TRACE(size);
        TFuzzBytes input(size);
        for (std::size_t i = 0; i < size; ++i)
            input[i] = static_cast<std::uint8_t>(i * 7);
        const TGuardedBytes guarded(input);
        ASSERT_EQ(guarded.Size(), size);
        EXPECT_EQ(TFuzzBytes(guarded.Data(), guarded.Data() + size), input);
        EXPECT_EQ(ProtectionAt(guarded.Data()), static_cast<DWORD>(PAGE_READWRITE));
        EXPECT_EQ(ProtectionAt(guarded.Data() + size - 1), static_cast<DWORD>(PAGE_READWRITE));
        EXPECT_EQ(ProtectionAt(guarded.Data() + size), static_cast<DWORD>(PAGE_NOACCESS));
    }
}

TEST(GuardedBytes, AnEmptyInputStartsAtTheGuard)
{
    const TGuardedBytes guarded(TFuzzBytes{});
    EXPECT_EQ(guarded.Size(), 0u);
    EXPECT_EQ(ProtectionAt(guarded.Data()), static_cast<DWORD>(PAGE_NOACCESS));
}

} // namespace
