// Address space reserved for one large array, so that it grows in place on huge pages.
#pragma once

#include <cstddef>
#include <utility>

namespace dornel::app {

/// A range of address space kept for one array of hundreds of megabytes and made usable from its
/// start as the array grows, in steps of a huge page, with the system asked to back it with huge
/// pages. Every page of a new array is a fault to the thread that first writes it, and on some
/// virtual machines the fault of a small page costs about ten microseconds, more than the rest of
/// an import spends on that page; one huge page is one fault for 512 small ones. The array must
/// not move: a block that realloc remaps is split back into small pages at each move.
///
/// The cost of the choice: where the system compacts memory for pages so advised (its default), a
/// fault on a badly fragmented machine may wait for that; and the last huge page of each array is
/// resident whole, up to 2 MB more than the array uses.
///
/// Linux only. Elsewhere, and where the system refuses the address space (a limit on it), Reserve
/// fails and the array stays on the C library's heap.
class ReservedMemory {
  public:
    /// Arrays from this size on are worth a range of their own.
    static constexpr size_t kSmallestRangedArray = size_t{2} << 20;

    ReservedMemory() = default;
    ReservedMemory(const ReservedMemory&) = delete;
    ReservedMemory& operator=(const ReservedMemory&) = delete;
    ReservedMemory(ReservedMemory&& other) noexcept
        : base_(std::exchange(other.base_, nullptr)),
          reserved_(std::exchange(other.reserved_, 0)),
          usable_(std::exchange(other.usable_, 0)) {}
    ReservedMemory& operator=(ReservedMemory&& other) noexcept {
        std::swap(base_, other.base_);
        std::swap(reserved_, other.reserved_);
        std::swap(usable_, other.usable_);
        return *this;
    }
    ~ReservedMemory() { Release(); }

    /// Reserves a range for at least bytes, and room to grow far past them; false when the
    /// system refuses. Releases any range held before.
    bool Reserve(size_t bytes);
    /// Makes at least the first bytes usable and returns how many are; 0 when bytes exceed the
    /// range. Throws std::bad_alloc when the system has no memory to give.
    size_t Extend(size_t bytes);
    void Release();

    /// How much address space a range takes at least (64 GB); tests shrink it to move arrays
    /// from range to range.
    static void SetRange(size_t bytes);

    char* data() const { return base_; }
    /// How many bytes from data() may be read and written.
    size_t usable() const { return usable_; }

  private:
    char* base_ = nullptr;
    size_t reserved_ = 0;
    size_t usable_ = 0;
};

}  // namespace dornel::app
