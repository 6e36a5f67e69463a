// Helpers of the reader's tests: a block size for one test, and all a reader gives.
#pragma once

#include <cstddef>

#include "host/brisko/EncodedBufferedFile.h"

namespace dornel::test {

/// Sets the reader's block size for one test and restores it afterwards.
struct BlockSize {
    explicit BlockSize(size_t n) : saved(brisko::CEncodedBufferedFile::GetDefaultBlockSize()) {
        brisko::CEncodedBufferedFile::SetDefaultBlockSize(n);
    }
    ~BlockSize() { brisko::CEncodedBufferedFile::SetDefaultBlockSize(saved); }
    size_t saved;
};

/// Every unit up to the end.
inline brisko::WString ReadAll(brisko::CEncodedBufferedFile& f) {
    brisko::WString out;
    for (char16_t c; (c = f.Getc()) != brisko::kEndOfFile;)
        out += c;
    return out;
}

}  // namespace dornel::test
