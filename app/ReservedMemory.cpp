// Address space reserved for one large array, so that it grows in place on huge pages.
#include "ReservedMemory.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace dornel::app {

#if defined(__linux__)

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
// Address space costs nothing until it is used, and a 47-bit space holds two thousand ranges of
// this size. An array that outgrows its range moves once to one four times its size.
std::atomic<size_t> rangeBytes{size_t{64} << 30};

size_t RoundUp(size_t bytes) {
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

}  // namespace

bool ReservedMemory::Reserve(size_t bytes) {
    Release();
    if (bytes > SIZE_MAX / 8)
        return false;
    // Address space alone, which counts against no memory: it becomes memory as Extend makes it
    // usable. One huge page more, to start the range on one. Where the address space is limited,
    // the system refuses, and the array stays on the heap, which takes no more than it uses.
    const size_t want = std::max(rangeBytes.load(std::memory_order_relaxed), RoundUp(bytes) * 4);
    const size_t asked = want + kHugePage;
    void* const p =
        mmap(nullptr, asked, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED)
        return false;
    const auto start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
    if (aligned > start)
        munmap(p, aligned - start);
    const size_t tail = asked - (aligned - start) - want;
    if (tail > 0)
        munmap(reinterpret_cast<void*>(aligned + want), tail);
    base_ = reinterpret_cast<char*>(aligned);
    reserved_ = want;
    // A system without huge pages, or with them turned off, refuses this; the range then works
    // with small pages.
    madvise(base_, reserved_, MADV_HUGEPAGE);
    return true;
}

size_t ReservedMemory::Extend(size_t bytes) {
    if (bytes <= usable_)
        return usable_;
    const size_t usable = RoundUp(bytes);
    if (usable > reserved_)
        return 0;
    if (mprotect(base_ + usable_, usable - usable_, PROT_READ | PROT_WRITE) != 0)
        throw std::bad_alloc();
    usable_ = usable;
    return usable_;
}

void ReservedMemory::Release() {
    if (base_)
        munmap(base_, reserved_);
    base_ = nullptr;
    reserved_ = usable_ = 0;
}

void ReservedMemory::SetRange(size_t bytes) {
    rangeBytes.store(bytes, std::memory_order_relaxed);
}

#else

void ReservedMemory::SetRange(size_t) {}

bool ReservedMemory::Reserve(size_t) {
    return false;
}

size_t ReservedMemory::Extend(size_t) {
    return 0;
}

void ReservedMemory::Release() {}

#endif

}  // namespace dornel::app
