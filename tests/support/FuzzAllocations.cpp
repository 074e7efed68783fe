#include "tests/support/FuzzAllocations.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// operator new has no way to reach an object, so the one watch and its
// thread are kept here.
std::atomic<DWORD> watchedThread{0};
TAllocationWatch* currentWatch = nullptr;

void* Allocate(std::size_t size)
{
    if (watchedThread.load(std::memory_order_relaxed) == GetCurrentThreadId() && currentWatch)
        currentWatch->Request(size);
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

} // namespace

TAllocationWatch::TAllocationWatch(std::size_t cap) : cap_(cap)
{
    currentWatch = this;
    watchedThread.store(GetCurrentThreadId());
}

TAllocationWatch::~TAllocationWatch()
{
    watchedThread.store(0);
    currentWatch = nullptr;
}

void TAllocationWatch::Request(std::size_t size)
{
    if (size > largest_)
        largest_ = size;
    if (size > cap_) {
        capExceeded_ = true;
        throw std::bad_alloc();
    }
}

void* operator new(std::size_t size)
{
    return Allocate(size);
}

void* operator new[](std::size_t size)
{
    return Allocate(size);
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
