#pragma once

#include <cstddef>
#include <cstdint>

// Watches the C++ allocations of one thread while it runs a reader. The
// test program's operator new passes every request through here: the
// largest request is recorded, and one beyond the cap is refused with
// std::bad_alloc and remembered, so that a reader sizing a buffer from a
// damaged header shows up even when it copes with the refusal.
//
// Only allocations made through operator new are seen; readers that use C
// libraries bound those libraries' memory by the libraries' own settings.
class TAllocationWatch {
public:
    explicit TAllocationWatch(std::size_t cap);
    ~TAllocationWatch();

    TAllocationWatch(const TAllocationWatch&) = delete;
    TAllocationWatch& operator=(const TAllocationWatch&) = delete;

    std::size_t Largest() const { return largest_; }
    bool CapExceeded() const { return capExceeded_; }

    // Called by operator new for requests of the watched thread.
    void Request(std::size_t size);

private:
    std::size_t cap_;
    std::size_t largest_ = 0;
    bool capExceeded_ = false;
};

// The blocks that operator new has handed out on every thread and that are
// not deleted yet, and their bytes: a reader that keeps memory on some path
// makes them grow with the inputs that take that path.
struct TLiveAllocations {
    std::int64_t blocks = 0;
    std::int64_t bytes = 0;
};
TLiveAllocations LiveAllocations();
