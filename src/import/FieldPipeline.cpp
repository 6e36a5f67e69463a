// The fields of an import, read on a second thread.
#include "import/FieldPipeline.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace dornel {

namespace {

constexpr size_t kChunksUnderWay = 4;

std::mutex tuningMutex;
FieldPipeline::Tuning tuning;

}  // namespace

void FieldPipeline::SetTuning(const Tuning& t) {
    std::lock_guard lock(tuningMutex);
    tuning = t;
    tuning.chunkUnits = std::max<size_t>(tuning.chunkUnits, kFieldCapacity + 1);
    tuning.chunkFields = std::max<size_t>(tuning.chunkFields, 1);
}

FieldPipeline::Tuning FieldPipeline::GetTuning() {
    std::lock_guard lock(tuningMutex);
    return tuning;
}

FieldPipeline::Chunk FieldPipeline::MakeChunk() const {
    Chunk chunk;
    chunk.units.Allocate(tuning_.chunkUnits);
    chunk.entries.Allocate(tuning_.chunkFields);
    chunk.positions.reserve(tuning_.chunkFields / kProgressRows + 2);
    return chunk;
}

FieldPipeline::FieldPipeline(DatImportFilter& filter)
    : filter_(filter), otherDecimal_(filter.OtherDecimal()), tuning_(GetTuning()) {
    // A short file is read sooner than a thread starts.
    if (filter.reader->GetLength() < tuning_.threadFrom)
        return;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the consumer fills each chunk itself when it needs one.
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
    char16_t* const units = chunk.units.items.get();
    Entry* const entries = chunk.entries.items.get();
    const size_t fields = tuning_.chunkFields;
    const size_t room = tuning_.chunkUnits;
    while (chunk.count < fields && used + kFieldCapacity + 1 <= room) {
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
        // A number travels as its value alone: the next field is read over its text, so that
        // fewer cache lines are written here and read on the other thread.
        if (view.scan != ScannedField::Number)
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
        // Chunks are made as they are needed, so that a short import allocates only one.
        changed_.wait(
            lock, [this] { return stopping_ || !spare_.empty() || chunksMade_ < kChunksUnderWay; });
        if (stopping_)
            return;
        Chunk chunk;
        if (!spare_.empty()) {
            chunk = std::move(spare_.back());
            spare_.pop_back();
        } else {
            ++chunksMade_;
            lock.unlock();
            try {
                chunk = MakeChunk();
            } catch (...) {
                // The consumer meets the failure where the next field would have been.
                chunk.failure = std::current_exception();
                chunk.last = true;
                lock.lock();
                filled_.push_back(std::move(chunk));
                changed_.notify_all();
                return;
            }
            lock.lock();
        }
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
        if (!current_.units.items) {
            current_.units.Allocate(1);
            current_.entries.Allocate(1);
        }
        current_.entries.items[0] =
            Entry{0.0, 0, static_cast<int>(ScannedField::Unscanned) << kScanShift, kEof};
        current_.units.items[0] = 0;
        index_ = 0;
        return;
    }
    if (!thread_.joinable()) {
        if (!current_.units.items)
            current_ = MakeChunk();
        Fill(current_);
    } else {
        std::unique_lock lock(mutex_);
        if (current_.units.items) {
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
