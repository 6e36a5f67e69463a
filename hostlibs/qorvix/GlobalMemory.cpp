// The global-memory stand-in of the Linux build: blocks with a size header.
#include "host/qorvix/GlobalMemory.h"

#if !defined(_WIN32)
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
struct BlockHeader {
    size_t size;
    int locks;
    alignas(std::max_align_t) unsigned char data[1];
};
}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    void* raw = std::malloc(offsetof(BlockHeader, data) + (bytes ? bytes : 1));
    if (!raw)
        return nullptr;
    auto* block = static_cast<BlockHeader*>(raw);
    block->size = bytes;
    block->locks = 0;
    if (flags & GMEM_ZEROINIT)
        std::memset(block->data, 0, bytes);
    return block;
}

LPVOID GlobalLock(HGLOBAL handle) {
    if (!handle)
        return nullptr;
    auto* block = static_cast<BlockHeader*>(handle);
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle) {
    if (!handle)
        return 0;
    auto* block = static_cast<BlockHeader*>(handle);
    if (block->locks > 0)
        --block->locks;
    return block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    std::free(handle);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL handle) {
    return handle ? static_cast<BlockHeader*>(handle)->size : 0;
}
}
#endif
