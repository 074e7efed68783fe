#include "tests/support/FuzzGuardedBytes.h"

#include <windows.h>

#include <cstring>
#include <new>

namespace {

std::size_t PageSize()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwPageSize;
}

// The size in whole pages.
std::size_t Span(std::size_t size)
{
    const std::size_t page = PageSize();
    return (size + page - 1) / page * page;
}

} // namespace

TGuardedBytes::TGuardedBytes(const TFuzzBytes& bytes) : size_(bytes.size()), pages_(Span(size_) + PageSize())
{
    if (!pages_.Data())
        throw std::bad_alloc();
    // Without the guard a read past the end would go unnoticed again.
    std::uint8_t* const guard = pages_.Data() + Span(size_);
    DWORD previous = 0;
    if (!VirtualProtect(guard, PageSize(), PAGE_NOACCESS, &previous))
        throw std::bad_alloc();
    start_ = guard - size_;
    if (size_)
        std::memcpy(start_, bytes.data(), size_);
}
