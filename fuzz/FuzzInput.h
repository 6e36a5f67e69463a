// Reading fuzzer bytes as choices, then as data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dornel::fuzz {

/// Takes choices from the front of the fuzzer's bytes; what is left is the data.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() {
        if (pos_ >= size_)
            return 0;
        return data_[pos_++];
    }
    bool Bool() { return Byte() & 1; }
    /// A value below n.
    uint32_t Below(uint32_t n) { return n == 0 ? 0 : Byte() % n; }
    /// A text of up to max bytes, its length given by one byte.
    std::string Text(size_t max) {
        size_t n = Below(static_cast<uint32_t>(max + 1));
        if (n > size_ - pos_)
            n = size_ - pos_;
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
        pos_ = size_;
        return s;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

/// A scratch file of this process.
std::string ScratchPath(const char* name);
/// Writes bytes to a scratch file and returns its path.
std::string WriteScratch(const char* name, const std::string& bytes);

}  // namespace dornel::fuzz
