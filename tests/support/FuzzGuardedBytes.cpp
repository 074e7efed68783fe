#include "tests/support/FuzzGuardedBytes.h"

#include <windows.h>

#include <cstring>
#include <new>

TGuardedBytes::TGuardedBytes(const TFuzzBytes& bytes) : size_(bytes.size())
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    const std::size_t span = (size_ + page - 1) / page * page;
    base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base_)
        throw std::bad_alloc();
    // Without the guard a read past the end would go unnoticed again.
    DWORD previous = 0;
    if (!VirtualProtect(base_ + span, page, PAGE_NOACCESS, &previous)) {
        VirtualFree(base_, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
    start_ = base_ + span - size_;
    if (size_)
        std::memcpy(start_, bytes.data(), size_);
}

TGuardedBytes::~TGuardedBytes()
{
    VirtualFree(base_, 0, MEM_RELEASE);
}
