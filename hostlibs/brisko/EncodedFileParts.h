// What the encoded file's reading and writing share: block sizes, the output's place, the
// thread that decodes ahead, and the form of its errors.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/Exception.h"
#include "host/brisko/ReplacementFile.h"
#include "Utf8.h"

namespace brisko {

extern std::atomic<size_t> defaultBlockSize;
// Blocks decoded ahead of the reader. The thread sleeps until half of them are free again, so
// that it is woken once per several blocks: a wake-up costs more than decoding a small block.
constexpr size_t kBlocksAhead = 8;
// Output: encoded into a block of kOutCapacity bytes, written out once kOutFlushAt are there.
// A piece of kOutPieceUnits units always fits in what is left.
constexpr size_t kOutPieceUnits = 16 * 1024;
constexpr size_t kOutFlushAt = 64 * 1024;
constexpr size_t kOutCapacity = kOutFlushAt + kOutPieceUnits * kUtf8BytesPerUnit;
// Shorter files are read on the reader's own thread: a thread would cost more than it saves.
constexpr int64_t kReadAheadBlocks = 4;
constexpr char16_t kReplacement = 0xFFFD;

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
    explicit ReadAhead(CEncodedBufferedFile& file) : file_(file) {
        for (size_t i = 0; i < kBlocksAhead; ++i)
            free_.emplace_back().units.assign(file.units_.size(), 0);
        thread_ = std::thread([this] { Run(); });
    }

    ~ReadAhead() { Stop(); }

    /// Hands the reader the next block in exchange for its current buffer; 0 at the end.
    /// Throws what decoding the block threw.
    size_t Take(std::vector<char16_t>& units, int64_t& start, int64_t& end) {
        if (finished_)
            return 0;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !ready_.empty(); });
        Block block = std::move(ready_.front());
        ready_.pop_front();
        const size_t count = block.count;
        if (count == 0)
            finished_ = true;
        else {
            units.swap(block.units);
            start = block.start;
            end = block.end;
        }
        const std::exception_ptr error = std::move(block.error);
        free_.push_back(std::move(block));
        lock.unlock();
        changed_.notify_all();
        if (error)
            std::rethrow_exception(error);
        return count;
    }

    /// Stops the thread; returns where the first block the reader has not taken began, or -1
    /// when it has taken them all.
    int64_t Stop() {
        if (thread_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                stop_ = true;
            }
            changed_.notify_all();
            thread_.join();
        }
        return ready_.empty() ? -1 : ready_.front().start;
    }

  private:
    struct Block {
        std::vector<char16_t> units;
        size_t count = 0;
        int64_t start = 0;
        int64_t end = 0;
        std::exception_ptr error;
    };

    void Run() {
        for (;;) {
            Block block;
            {
                std::unique_lock lock(mutex_);
                if (free_.empty())
                    changed_.wait(lock,
                                  [this] { return free_.size() >= kBlocksAhead / 2 || stop_; });
                if (stop_)
                    return;
                block = std::move(free_.back());
                free_.pop_back();
            }
            block.start = file_.position_ - static_cast<int64_t>(file_.carry_);
            block.error = nullptr;
            try {
                block.count = file_.DecodeBlock(block.units.data() + 1, block.units.size() - 2,
                                                block.start, block.end);
            } catch (...) {
                block.count = 0;
                block.error = std::current_exception();
            }
            const bool last = block.count == 0;
            {
                std::lock_guard lock(mutex_);
                ready_.push_back(std::move(block));
            }
            changed_.notify_all();
            if (last)
                return;
        }
    }

    CEncodedBufferedFile& file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;  // decoded, in file order
    std::vector<Block> free_;  // buffers to decode into
    bool stop_ = false;
    bool finished_ = false;  // the reader has taken the last block
    std::thread thread_;
};

}  // namespace brisko
