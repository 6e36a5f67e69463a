// Rows from an import to an export on another thread.
#include "RowChannel.h"

#include <algorithm>
#include <utility>

namespace dornel::app {

namespace {

constexpr size_t kBatchCells = 16384;
constexpr size_t kBatchesUnderWay = 4;

}  // namespace

void RowChannel::Take(const qorvix::TrBase& record) {
    int32_t row = 0, col = 0;
    // Read straight into the place after the last cell (see GrowingArray::Spare).
    Cell& cell = filling_.cells.Spare();
    std::string_view text;
    if (diverged_ || !reader_.Take(record, row, col, cell, text))
        return;
    if (row != currentRow_) [[unlikely]] {
        if (row < currentRow_ && strict_) {
            // Back to a row that may be exported already.
            diverged_ = true;
            return;
        }
        // Ending the row may send the batch the cell was read into.
        const Cell taken = cell;
        if (currentRow_ >= 0)
            EndRow();
        currentRow_ = row;
        rowStart_ = filling_.cells.size();
        Place(static_cast<size_t>(col), taken, text);
        return;
    }
    const size_t at = rowStart_ + static_cast<size_t>(col);
    // The next cell of the row, as imports hand them.
    if (at == filling_.cells.size()) [[likely]] {
        if (cell.kind == Cell::Text)
            AddText(cell, text);
        filling_.cells.Commit();
        return;
    }
    Place(static_cast<size_t>(col), Cell(cell), text);
}

void RowChannel::AddText(Cell& cell, std::string_view text) {
    cell.textOffset = filling_.texts.size();
    cell.textLength = static_cast<uint32_t>(text.size());
    filling_.texts += text;
}

void RowChannel::Place(size_t col, Cell cell, std::string_view text) {
    if (cell.kind == Cell::Text)
        AddText(cell, text);
    // Cells between are empty, as in a worksheet; a cell given again replaces the first.
    const size_t at = rowStart_ + col;
    while (filling_.cells.size() <= at)
        filling_.cells.push_back(Cell());
    filling_.cells[at] = cell;
}

void RowChannel::EndRow() {
    filling_.rows.emplace_back(currentRow_, filling_.cells.size());
    if (filling_.cells.size() >= kBatchCells)
        Send();
}

void RowChannel::Send() {
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
            const size_t begin = takenRow_ == 0 ? 0 : taken_.rows[takenRow_ - 1].second;
            const auto& [number, end] = taken_.rows[takenRow_++];
            row.number = number;
            row.cells = std::span<const Cell>(taken_.cells.data() + begin, end - begin);
            row.texts = taken_.texts;
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
