// An array of plain values that grows at its end without copying itself.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace dornel::app {

/// Like std::vector for trivially copyable values, for arrays of hundreds of megabytes: it
/// grows through realloc, which the C library serves for large blocks by remapping pages
/// instead of copying them, so growing costs neither a copy nor twice the memory for a while.
/// (Huge pages made the import slower, and faulting in the new part at each growth saved
/// little and kept unused capacity resident.)
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
          capacity_(std::exchange(other.capacity_, 0)) {}
    GrowingArray& operator=(GrowingArray&& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        return *this;
    }
    ~GrowingArray() { std::free(data_); }

    size_t size() const { return size_; }
    /// Empties the array and keeps its memory.
    void clear() { size_ = 0; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

    /// The place after the last value, for a value to be written there in parts before
    /// Commit makes it the last: a value built elsewhere and copied as a whole would be read
    /// back before its parts were written out, which stalls the processor.
    T& Spare() {
        if (size_ == capacity_) [[unlikely]]
            Grow(size_ + 1);
        return data_[size_];
    }
    void Commit() { ++size_; }
    void push_back(const T& value) {
        if (size_ == capacity_) [[unlikely]]
            Grow(size_ + 1);
        data_[size_++] = value;
    }
    void append(const T* values, size_t count) {
        if (count == 0)
            return;
        if (capacity_ - size_ < count)
            Grow(size_ + count);
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
    void Grow(size_t needed) {
        size_t capacity = capacity_ < 1024 ? 1024 : capacity_ + capacity_ / 2;
        if (capacity < needed)
            capacity = needed;
        if (capacity > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        void* grown = std::realloc(data_, capacity * sizeof(T));
        if (!grown)
            throw std::bad_alloc();
        data_ = static_cast<T*>(grown);
        capacity_ = capacity;
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace dornel::app
