// What the encoded file's reading and writing share: block sizes, the output's place, the
// thread that decodes ahead, and the form of its errors.
#pragma once

#include <atomic>
#include <cstring>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "host/brisko/BatchQueue.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/Exception.h"
#include "host/brisko/ReplacementFile.h"
#include "Utf8.h"

namespace brisko {

extern std::atomic<size_t> defaultBlockSize;
// Blocks decoded ahead of the reader.
constexpr size_t kBlocksAhead = 8;
// Output: encoded into a block of kOutCapacity bytes, written out once kOutFlushAt are there.
// A piece of kOutPieceUnits units always fits in what is left.
constexpr size_t kOutPieceUnits = 16 * 1024;
constexpr size_t kOutFlushAt = 64 * 1024;
constexpr size_t kOutCapacity = kOutFlushAt + kOutPieceUnits * kUtf8BytesPerUnit;
// Shorter files are read on the reader's own thread: a thread would cost more than it saves.
constexpr int64_t kReadAheadBlocks = 4;

[[noreturn]] inline void ThrowFileError(int line, int code, const RString& path, const char* what,
                                        int err) {
    std::string message = std::string(what) + " '" + path.str() + "'";
    if (err != 0)
        message += std::string(": ") + std::strerror(err);
    throw Exception("brisko", "CEncodedBufferedFile", line, code, message);
}

/// Where written bytes go: a file that replaces the target when complete, or a device, FIFO or
/// socket written as it is.
class CEncodedBufferedFile::Output {
  public:
    WriteTarget target;
    ReplacementFile part;
};

/// Decodes the blocks after the reader's on a thread of its own. Blocks travel by swapping
/// buffers, so nothing is copied; the thread alone touches the file and the decoder while it
/// runs.
class CEncodedBufferedFile::ReadAhead {
  public:
    using BlockNotes = CEncodedBufferedFile::BlockNotes;

    explicit ReadAhead(CEncodedBufferedFile& file) : file_(file), blockUnits_(file.units_.size()) {
        thread_ = std::thread([this] { Run(); });
    }

    ~ReadAhead() { Stop(); }

    /// Hands the reader the next block in exchange for its current buffer; 0 at the end.
    /// Throws what decoding the block threw.
    size_t Take(std::vector<char16_t>& units, int64_t& start, int64_t& end, BlockNotes& notes) {
        Block block;
        if (finished_ || !blocks_.Take(block))
            return 0;
        const size_t count = block.count;
        notes = std::move(block.notes);
        if (count == 0)
            finished_ = true;
        else {
            units.swap(block.units);
            start = block.start;
            end = block.end;
        }
        const std::exception_ptr error = std::move(block.error);
        blocks_.GiveBack(std::move(block));
        if (error)
            std::rethrow_exception(error);
        return count;
    }

    /// Stops the thread; returns where the first block the reader has not taken began, or -1
    /// when it has taken them all.
    int64_t Stop() {
        if (thread_.joinable()) {
            blocks_.Stop();
            thread_.join();
        }
        Block first;
        return blocks_.TryTake(first) ? first.start : -1;
    }

  private:
    struct Block {
        std::vector<char16_t> units;
        size_t count = 0;
        int64_t start = 0;
        int64_t end = 0;
        BlockNotes notes;
        std::exception_ptr error;
    };

    void Run() {
        Block block;
        bool made;
        while (blocks_.Acquire(block, made)) {
            if (made)
                block.units.assign(blockUnits_, 0);
            block.start = file_.position_ - static_cast<int64_t>(file_.carry_);
            block.error = nullptr;
            block.notes = BlockNotes{};
            try {
                block.count = file_.DecodeBlock(block.units.data() + 1, block.units.size() - 2,
                                                block.start, block.end, block.notes);
            } catch (...) {
                block.count = 0;
                block.error = std::current_exception();
            }
            const bool last = block.count == 0;
            if (!blocks_.Send(std::move(block)) || last)
                return;
        }
    }

    CEncodedBufferedFile& file_;
    // The reader's buffer is swapped with the blocks' as they are taken: its size is taken here,
    // on the reader's thread, before the decoding thread starts.
    const size_t blockUnits_;
    // The thread sleeps until half the blocks are free again, so that it is woken once per
    // several blocks: a wake-up costs more than decoding a small block.
    BatchQueue<Block> blocks_{kBlocksAhead, 1, kBlocksAhead / 2};
    bool finished_ = false;  // the reader has taken the last block
    std::thread thread_;
};

}  // namespace brisko
