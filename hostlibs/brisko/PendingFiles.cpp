// The registry of files that a signal must remove before the process ends.
#include "host/brisko/ReplacementFile.h"

#include <atomic>
#include <cstring>

#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace brisko {

namespace {

// Pending paths live in fixed slots, so that neither registering nor the signal handler ever
// allocates or frees: a slot is free, being written, or holds a path.
constexpr size_t kPendingSlots = 64;
constexpr size_t kPendingPathBytes = 4096;
enum SlotState : int { kSlotFree, kSlotBusy, kSlotHeld };
struct PendingSlot {
    std::atomic<int> state{kSlotFree};
    char path[kPendingPathBytes];
};
PendingSlot pendingFiles[kPendingSlots];

}  // namespace

void RegisterPendingFile(const std::string& path) {
    if (path.size() >= kPendingPathBytes)
        return;
    for (PendingSlot& slot : pendingFiles) {
        int expected = kSlotFree;
        if (slot.state.compare_exchange_strong(expected, kSlotBusy)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(kSlotHeld);
            return;
        }
    }
}

void UnregisterPendingFile(const std::string& path) {
    for (PendingSlot& slot : pendingFiles) {
        int expected = kSlotHeld;
        if (slot.state.load() != kSlotHeld || path != slot.path)
            continue;
        if (slot.state.compare_exchange_strong(expected, kSlotBusy)) {
            slot.state.store(kSlotFree);
            return;
        }
    }
}

void RemovePendingFiles() noexcept {
    // Files first, so that the folders they lie in are empty when their turn comes.
    for (PendingSlot& slot : pendingFiles) {
#if defined(_WIN32)
        if (slot.state.load() == kSlotHeld && _unlink(slot.path) == 0)
#else
        if (slot.state.load() == kSlotHeld && unlink(slot.path) == 0)
#endif
            slot.state.store(kSlotFree);
    }
    for (PendingSlot& slot : pendingFiles) {
        if (slot.state.load() != kSlotHeld)
            continue;
#if defined(_WIN32)
        _rmdir(slot.path);
#else
        rmdir(slot.path);
#endif
        slot.state.store(kSlotFree);
    }
}

}  // namespace brisko
