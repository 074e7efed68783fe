#include "tests/support/FuzzAllocations.h"

#include <windows.h>

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// operator new has no way to reach an object, so the one watch and its
// thread are kept here.
std::atomic<DWORD> watchedThread{0};
TAllocationWatch* currentWatch = nullptr;
std::atomic<std::int64_t> liveBlocks{0};
std::atomic<std::int64_t> liveBytes{0};

void* Allocate(std::size_t size)
{
    if (watchedThread.load(std::memory_order_relaxed) == GetCurrentThreadId() && currentWatch)
        currentWatch->Request(size);
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    liveBlocks.fetch_add(1, std::memory_order_relaxed);
    liveBytes.fetch_add(static_cast<std::int64_t>(_msize(block)), std::memory_order_relaxed);
    return block;
}

void Free(void* block) noexcept
{
    if (!block)
        return;
    liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    liveBytes.fetch_sub(static_cast<std::int64_t>(_msize(block)), std::memory_order_relaxed);
    std::free(block);
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

TLiveAllocations LiveAllocations()
{
    return {liveBlocks.load(), liveBytes.load()};
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
    Free(block);
}

void operator delete[](void* block) noexcept
{
    Free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    Free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    Free(block);
}
