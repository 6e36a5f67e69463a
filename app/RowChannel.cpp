// Rows from an import to an export on another thread.
#include "RowChannel.h"

#include <algorithm>
#include <utility>

namespace dornel::app {

namespace {

constexpr size_t kBatchCells = 16384;
/// A batch of long texts goes sooner: sixteen batches under way stay within some 16 MB of texts.
constexpr size_t kBatchTextBytes = 1 << 20;
/// Batches sent ahead of the export: with three threads on two cores, room for a few batches
/// made the import wait whenever the export was descheduled.
constexpr size_t kBatchesUnderWay = 16;

}  // namespace

// Inline into Take, as Append, so that the cell stays in registers.
[[gnu::always_inline]] inline Cell RowChannel::WithText(Cell cell, std::string_view text) {
    if (cell.kind == Cell::Text) {
        cell.textOffset = filling_.texts.StreamAppend(text.data(), text.size());
        cell.textLength = static_cast<uint32_t>(text.size());
    }
    return cell;
}

[[gnu::always_inline]] inline void RowChannel::Append(Cell cell, std::string_view text) {
    cell = WithText(cell, text);
    filling_.cells.StreamBack(CellHead(cell), CellBody(cell));
}

void RowChannel::Take(const qorvix::TrBase& record) {
    int32_t row = 0, col = 0;
    // Made in registers and stored whole (see Batch).
    Cell cell;
    std::string_view text;
    if (diverged_ || !reader_.Take(record, row, col, cell, text))
        return;
    if (row != currentRow_) [[unlikely]] {
        if (row < currentRow_ && strict_) {
            // Back to a row that may be exported already.
            diverged_ = true;
            return;
        }
        if (currentRow_ >= 0)
            EndRow();
        currentRow_ = row;
        rowStart_ = filling_.cells.size();
        Place(static_cast<size_t>(col), cell, text);
        return;
    }
    // The next cell of the row, as imports hand them.
    if (rowStart_ + static_cast<size_t>(col) == filling_.cells.size()) [[likely]] {
        Append(cell, text);
        return;
    }
    Place(static_cast<size_t>(col), cell, text);
}

void RowChannel::Place(size_t col, Cell cell, std::string_view text) {
    // Cells between are empty, as in a worksheet; a cell given again replaces the first.
    const size_t at = rowStart_ + col;
    while (filling_.cells.size() < at)
        Append(Cell(), {});
    if (at == filling_.cells.size()) {
        Append(cell, text);
        return;
    }
    filling_.cells[at] = WithText(cell, text);
}

void RowChannel::EndRow() {
    filling_.rows.StreamBack(static_cast<uint64_t>(int64_t{currentRow_}), filling_.cells.size());
    if (filling_.cells.size() >= kBatchCells || filling_.texts.size() >= kBatchTextBytes)
        Send();
}

void RowChannel::Send() {
    StreamFence();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return sent_.size() < kBatchesUnderWay || stopped_; });
    if (stopped_) {
        filling_.cells.clear();
        filling_.rows.clear();
        filling_.texts.clear();
        return;
    }
    sent_.push_back(std::move(filling_));
    filling_ = Batch();
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    lock.unlock();
    changed_.notify_all();
}

void RowChannel::Close(bool finished) {
    // The row under way is complete only when the import is.
    if (finished && !diverged_ && currentRow_ >= 0)
        EndRow();
    if (!diverged_ && !filling_.rows.empty())
        Send();
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        finished_ = finished && !diverged_;
    }
    changed_.notify_all();
}

bool RowChannel::Next(Row& row, bool& finished, bool wait) {
    for (;;) {
        if (haveTaken_ && takenRow_ < taken_.rows.size()) {
            const size_t begin = takenRow_ == 0 ? 0 : taken_.rows[takenRow_ - 1].end;
            const RowEnd& end = taken_.rows[takenRow_++];
            row.number = static_cast<int32_t>(end.number);
            row.cells = std::span<const Cell>(taken_.cells.data() + begin, end.end - begin);
            row.texts = std::string_view(taken_.texts.data(), taken_.texts.size());
            // The import stored the batch around the caches: asking for the rows after this one
            // now hides the wait for memory.
            const char* const next = reinterpret_cast<const char*>(taken_.cells.data() + end.end);
            __builtin_prefetch(next + 128);
            __builtin_prefetch(next + 192);
            __builtin_prefetch(&end + 4);
            return true;
        }
        std::unique_lock lock(mutex_);
        if (haveTaken_) {
            taken_.cells.clear();
            taken_.rows.clear();
            taken_.texts.clear();
            spare_.push_back(std::move(taken_));
            haveTaken_ = false;
            changed_.notify_all();
        }
        if (wait)
            changed_.wait(lock, [this] { return !sent_.empty() || closed_; });
        if (sent_.empty()) {
            finished = finished_;
            return false;
        }
        taken_ = std::move(sent_.front());
        sent_.pop_front();
        takenRow_ = 0;
        haveTaken_ = true;
        changed_.notify_all();
    }
}

void RowChannel::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        sent_.clear();
    }
    changed_.notify_all();
}

}  // namespace dornel::app
