// An array of plain values that grows at its end without copying itself.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ReservedMemory.h"
#include "host/brisko/BatchQueue.h"

namespace dornel::app {

/// Stores sixteen bytes, lo first, with a store that goes around the caches, where there is one.
/// For memory that another thread reads and hands back to be filled again: an ordinary store
/// first takes the line back from that thread's core, which costs more than all else where the
/// two cores share no cache; and a load that a stalled store holds up stalls with it. to is
/// aligned to sixteen bytes. StreamFence must come before the memory is handed over.
inline void StreamSixteen(void* to, uint64_t lo, uint64_t hi) {
#if defined(__SSE2__)
    _mm_stream_si128(static_cast<__m128i*>(to),
                     _mm_set_epi64x(static_cast<int64_t>(hi), static_cast<int64_t>(lo)));
#else
    std::memcpy(to, &lo, sizeof lo);
    std::memcpy(static_cast<char*>(to) + sizeof lo, &hi, sizeof hi);
#endif
}

/// Stores eight bytes as StreamSixteen does; to is aligned to eight bytes.
inline void StreamEight(void* to, uint64_t value) {
#if defined(__SSE2__) && defined(__x86_64__)
    _mm_stream_si64(static_cast<long long*>(to), static_cast<long long>(value));
#else
    std::memcpy(to, &value, sizeof value);
#endif
}

using brisko::StreamFence;

/// Like std::vector for trivially copyable values, for arrays of hundreds of megabytes: growing
/// costs neither a copy nor twice the memory for a while. A small array grows through realloc;
/// from ReservedMemory::kSmallestRangedArray on, it moves once into a range of address space of its
/// own, where it grows in place on huge pages. (Huge pages in a block that realloc remaps made the
/// import slower: each move splits them again.)
template <class T>
class GrowingArray {
    static_assert(std::is_trivially_copyable_v<T>);

  public:
    GrowingArray() = default;
    GrowingArray(const GrowingArray&) = delete;
    GrowingArray& operator=(const GrowingArray&) = delete;
    GrowingArray(GrowingArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          size_(std::exchange(other.size_, 0)),
          capacity_(std::exchange(other.capacity_, 0)),
          range_(std::move(other.range_)) {}
    GrowingArray& operator=(GrowingArray&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        std::swap(range_, other.range_);
        return *this;
    }
    ~GrowingArray() {
        if (!range_.data())
            std::free(data_);
    }

    size_t size() const { return size_; }
    /// Empties the array and keeps its memory.
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

    /// Appends a value of sixteen bytes, given as its two halves, with StreamSixteen.
    void StreamBack(uint64_t lo, uint64_t hi) {
        static_assert(sizeof(T) == 16 && alignof(T) <= 16);
        if (size_ == capacity_) [[unlikely]]
            Grow(size_ + 1);
        // realloc aligns to sixteen bytes on the machines with a store around the caches.
        StreamSixteen(data_ + size_, lo, hi);
        ++size_;
    }
    /// Appends count values with StreamEight, starting on a multiple of sixteen bytes, and
    /// returns where the first went. For an array of bytes.
    size_t StreamAppend(const T* values, size_t count) {
        static_assert(sizeof(T) == 1);
        const size_t at = size_;
        const size_t padded = (count + 15) / 16 * 16;
        if (capacity_ - size_ < padded)
            Grow(size_ + padded);
        T* const to = data_ + at;
        size_t i = 0;
        for (; i + 8 <= count; i += 8) {
            uint64_t word;
            std::memcpy(&word, values + i, sizeof word);
            StreamEight(to + i, word);
        }
        if (i < count)
            StreamEight(to + i,
                        TailWord(reinterpret_cast<const unsigned char*>(values + i), count - i));
        size_ += padded;
        return at;
    }

    /// Room for count values after the last, set to nothing: where to write them. Commit then
    /// says how many were written.
    T* Spare(size_t count) {
        if (capacity_ - size_ < count)
            Grow(size_ + count);
        return data_ + size_;
    }
    void Commit(size_t count) { size_ += count; }

    void push_back(const T& value) {
        if (size_ == capacity_) [[unlikely]]
            Grow(size_ + 1);
        data_[size_++] = value;
    }
    [[gnu::always_inline]] void append(const T* values, size_t count) {
        if (count == 0)
            return;
        if (capacity_ - size_ < count)
            Grow(size_ + count);
        if constexpr (sizeof(T) == 1) {
            // Most texts in a worksheet are short, and a call to copy them cost more than the
            // copy; for the same reason the whole append is always inline, which the compiler
            // did not choose by itself.
            if (count <= 16) {
                CopyShort(data_ + size_, values, count);
                size_ += count;
                return;
            }
        }
        std::memcpy(data_ + size_, values, count * sizeof(T));
        size_ += count;
    }
    /// Puts count copies of value before position, moving what follows.
    void insert(size_t position, size_t count, const T& value) {
        if (capacity_ - size_ < count)
            Grow(size_ + count);
        std::memmove(data_ + position + count, data_ + position, (size_ - position) * sizeof(T));
        for (size_t i = 0; i < count; ++i)
            data_[position + i] = value;
        size_ += count;
    }

  private:
    /// Copies n bytes, 1 to 16, in two pieces that may overlap, reading and writing nothing
    /// outside them.
    static void CopyShort(T* to, const T* from, size_t n) {
        const auto two = [&](auto word) {
            constexpr size_t k = sizeof word;
            decltype(word) first, last;
            std::memcpy(&first, from, k);
            std::memcpy(&last, from + n - k, k);
            std::memcpy(to, &first, k);
            std::memcpy(to + n - k, &last, k);
        };
        if (n >= 8)
            two(uint64_t{});
        else if (n >= 4)
            two(uint32_t{});
        else if (n >= 2)
            two(uint16_t{});
        else
            *to = *from;
    }

    /// The n bytes at p (fewer than eight) as the low bytes of a word in memory order, read in
    /// pieces that each load once: bytes gathered through memory would be read back before they
    /// were stored.
    static uint64_t TailWord(const unsigned char* p, size_t n) {
        uint64_t word = 0;
        if constexpr (std::endian::native != std::endian::little) {
            std::memcpy(&word, p, n);
            return word;
        }
        unsigned shift = 0;
        if (n >= 4) {
            uint32_t v;
            std::memcpy(&v, p, sizeof v);
            word = v;
            shift = 32;
            p += 4;
            n -= 4;
        }
        if (n >= 2) {
            uint16_t v;
            std::memcpy(&v, p, sizeof v);
            word |= uint64_t{v} << shift;
            shift += 16;
            p += 2;
            n -= 2;
        }
        if (n > 0)
            word |= uint64_t{*p} << shift;
        return word;
    }

    void Grow(size_t needed) {
        size_t capacity = capacity_ < 1024 ? 1024 : capacity_ + capacity_ / 2;
        if (capacity < needed)
            capacity = needed;
        if (capacity > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        const size_t bytes = capacity * sizeof(T);
        if (bytes >= ReservedMemory::kSmallestRangedArray && GrowInRange(bytes))
            return;
        if (range_.data()) {
            // The system gave no larger range: back to the heap, at the cost of one copy.
            void* const moved = std::malloc(bytes);
            if (!moved)
                throw std::bad_alloc();
            std::memcpy(moved, data_, size_ * sizeof(T));
            range_.Release();
            data_ = static_cast<T*>(moved);
            capacity_ = capacity;
            return;
        }
        void* grown = std::realloc(data_, bytes);
        if (!grown)
            throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = capacity;
    }

    /// Makes room for bytes in the array's own range, moving the array into a range first when
    /// it has none or outgrew it; false when the system refuses a range.
    bool GrowInRange(size_t bytes) {
        if (!range_.data() || range_.Extend(bytes) == 0) {
            ReservedMemory range;
            if (!range.Reserve(bytes) || range.Extend(bytes) == 0)
                return false;
            if (size_ > 0)
                std::memcpy(range.data(), data_, size_ * sizeof(T));
            if (!range_.data())
                std::free(data_);
            range_ = std::move(range);
            data_ = reinterpret_cast<T*>(range_.data());
        }
        capacity_ = range_.usable() / sizeof(T);
        return true;
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    ReservedMemory
        range_;  // where data_ lies from kSmallestRangedArray bytes on; empty while on the heap
};

}  // namespace dornel::app
