// The fields of an import, read on a second thread.
#include "import/FieldPipeline.h"

#include <system_error>
#include <utility>

namespace dornel {

namespace {

// About 100 KB of units a chunk: a few of them under way keep both threads busy in the cache.
constexpr size_t kChunkUnits = 48 * 1024;
constexpr size_t kChunkFields = 8 * 1024;
constexpr size_t kChunksUnderWay = 4;

}  // namespace

FieldPipeline::Chunk FieldPipeline::MakeChunk() {
    Chunk chunk;
    chunk.units.resize(kChunkUnits);
    chunk.entries.resize(kChunkFields);
    return chunk;
}

FieldPipeline::FieldPipeline(DatImportFilter& filter)
    : filter_(filter), otherDecimal_(filter.OtherDecimal()) {
    for (size_t i = 0; i < kChunksUnderWay; ++i)
        spare_.push_back(MakeChunk());
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the consumer fills each chunk itself when it needs one.
        return;
    }
}

FieldPipeline::~FieldPipeline() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    filter_.fieldOut = filter_.fieldBuffer.data();
}

void FieldPipeline::Fill(Chunk& chunk) {
    chunk.count = 0;
    chunk.failure = nullptr;
    chunk.last = false;
    size_t used = 0;
    // A field needs room for its longest text and its terminating zero.
    while (chunk.count < chunk.entries.size() && used + kFieldCapacity + 1 <= chunk.units.size()) {
        filter_.fieldOut = chunk.units.data() + used;
        char16_t t;
        try {
            t = filter_.ReadField();
        } catch (...) {
            chunk.failure = std::current_exception();
            chunk.last = true;
            return;
        }
        filter_.TrimFieldEnd();
        // The number scan is made here, so that the thread that makes the cells has less to do.
        FieldView view{filter_.fieldOut, filter_.fieldLength, filter_.fieldQuoted};
        filter_.ScanField(view, otherDecimal_);
        const bool lineEnd = t == kLF || t == kCR || t == kEof;
        chunk.entries[chunk.count++] = Entry{static_cast<uint32_t>(used),
                                             filter_.fieldLength,
                                             lineEnd ? filter_.reader->GetPosition() : int64_t{-1},
                                             view.value,
                                             t,
                                             filter_.fieldQuoted,
                                             view.scan};
        used += static_cast<size_t>(filter_.fieldLength) + 1;
        if (t == kEof) {
            chunk.last = true;
            return;
        }
    }
}

void FieldPipeline::Run() {
    // With two cores, this thread and the one making cells keep both busy: a third that decodes
    // ahead would only take turns with them.
    if (std::thread::hardware_concurrency() <= 2)
        filter_.reader->SetReadAhead(false);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !spare_.empty(); });
        if (stopping_)
            return;
        Chunk chunk = std::move(spare_.back());
        spare_.pop_back();
        lock.unlock();
        Fill(chunk);
        const bool last = chunk.last;
        lock.lock();
        filled_.push_back(std::move(chunk));
        changed_.notify_all();
        if (last)
            return;
    }
}

void FieldPipeline::TakeChunk() {
    if (current_.failure)
        std::rethrow_exception(current_.failure);
    if (finished_) {
        // Past the end of the file there is only the end of the file.
        current_.count = 1;
        current_.entries.assign(1,
                                Entry{0, 0, position_, 0.0, kEof, false, ScannedField::Unscanned});
        current_.units.assign(1, 0);
        index_ = 0;
        return;
    }
    if (!thread_.joinable()) {
        if (current_.units.empty())
            current_ = MakeChunk();
        Fill(current_);
    } else {
        std::unique_lock lock(mutex_);
        if (!current_.units.empty()) {
            spare_.push_back(std::move(current_));
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return !filled_.empty(); });
        current_ = std::move(filled_.front());
        filled_.erase(filled_.begin());
    }
    index_ = 0;
    finished_ = current_.last;
    if (current_.count == 0 && current_.failure)
        std::rethrow_exception(current_.failure);
}

}  // namespace dornel
