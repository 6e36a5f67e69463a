// The fields of an import, read on a second thread.
#include "import/FieldPipeline.h"

#include <system_error>
#include <utility>

namespace dornel {

namespace {

constexpr size_t kChunksUnderWay = 4;

}  // namespace

FieldPipeline::Chunk FieldPipeline::MakeChunk() {
    Chunk chunk;
    chunk.units = std::make_unique<Chunk::Units>();
    chunk.entries = std::make_unique<Chunk::Entries>();
    chunk.positions.reserve(kChunkFields / kProgressRows + 2);
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
    chunk.positions.clear();
    chunk.failure = nullptr;
    chunk.last = false;
    size_t used = 0;
    // A field needs room for its longest text and its terminating zero.
    char16_t* const units = chunk.units->units;
    Entry* const entries = chunk.entries->entries;
    while (chunk.count < kChunkFields && used + kFieldCapacity + 1 <= kChunkUnits) {
        filter_.fieldOut = units + used;
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
        // Rows and line ends go together, so the position is noted where a row's number will be
        // a multiple of kProgressRows; the division it costs is not made for every line.
        const bool lineEnd = t == kLF || t == kCR;
        const bool noted = t == kEof || (lineEnd && ++lineEnds_ % kProgressRows == 0);
        if (noted)
            chunk.positions.push_back(filter_.reader->GetPosition());
        const uint16_t shape =
            static_cast<uint16_t>(filter_.fieldLength | (filter_.fieldQuoted ? kQuoted : 0) |
                                  static_cast<int>(view.scan) << kScanShift | (noted ? kNoted : 0));
        entries[chunk.count++] = Entry{view.value, static_cast<uint32_t>(used), shape, t};
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
        current_.entries->entries[0] =
            Entry{0.0, 0, static_cast<int>(ScannedField::Unscanned) << kScanShift, kEof};
        current_.units->units[0] = 0;
        index_ = 0;
        return;
    }
    if (!thread_.joinable()) {
        if (!current_.units)
            current_ = MakeChunk();
        Fill(current_);
    } else {
        std::unique_lock lock(mutex_);
        if (current_.units) {
            spare_.push_back(std::move(current_));
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return !filled_.empty(); });
        current_ = std::move(filled_.front());
        filled_.erase(filled_.begin());
    }
    index_ = 0;
    noted_ = 0;
    finished_ = current_.last;
    if (current_.count == 0 && current_.failure)
        std::rethrow_exception(current_.failure);
}

}  // namespace dornel
