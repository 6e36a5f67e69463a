// Rows from an import to an export on another thread.
#include "RowChannel.h"

#include <algorithm>
#include <utility>

#include "ReservedMemory.h"

namespace dornel::app {

namespace {

constexpr size_t kBatchCells = 16384;
/// A batch of long texts goes sooner: sixteen batches under way stay within some 16 MB of texts.
constexpr size_t kBatchTextBytes = 1 << 20;
/// Batches sent ahead of the export, and the one each side holds: with three threads on two
/// cores, room for a few batches made the import wait whenever the export was descheduled.
constexpr size_t kBatches = 16 + 2;

}  // namespace

// Inline into Take, as Append, so that the cell stays in registers.
[[gnu::always_inline]] inline Cell RowChannel::WithText(Cell cell, std::string_view text) {
    if (cell.kind == Cell::Text) {
        cell.textOffset = filling_.texts.StreamAppend(text.data(), text.size());
        cell.textLength = static_cast<uint32_t>(text.size());
        // Checked here rather than before every cell: the next cell then cuts the row.
        if (filling_.texts.size() >= pieces_.textBytes) [[unlikely]]
            cutAt_ = 0;
    }
    return cell;
}

[[gnu::always_inline]] inline void RowChannel::Append(Cell cell, std::string_view text) {
    cell = WithText(cell, text);
    filling_.cells.StreamBack(CellHead(cell), CellBody(cell));
}

RowChannel::PieceBound RowChannel::DefaultPieces() {
    // A piece's texts stay below the size from which an array moves onto huge pages: the last
    // huge page of each batch under way would be resident whole, and with pieces of 2 MB of texts
    // one long line of long fields took 88 MB.
    return {2 * kBatchCells, ReservedMemory::kSmallestRangedArray / 2};
}

RowChannel::RowChannel(bool strict, PieceBound pieces)
    : strict_(strict),
      pieces_(strict ? PieceBound{SIZE_MAX, SIZE_MAX}
                     : PieceBound{std::max<size_t>(pieces.cells, 1),
                                  std::max<size_t>(pieces.textBytes, 1)}),
      // A batch that is not cut ends at half a piece, so that a row below that is never cut.
      batch_(strict ? PieceBound{kBatchCells, kBatchTextBytes}
                    : PieceBound{pieces_.cells / 2, pieces_.textBytes / 2}),
      cutAt_(pieces_.cells),
      batches_(kBatches) {}

void RowChannel::Take(const qorvix::TrBase& record) {
    // The usual record: a cell that stands as it is, the next of the row under way or the
    // first of a row after it.
    if (reader_.Plain(record) && !diverged_) [[likely]] {
        const auto& c = static_cast<const qorvix::TrCell&>(record);
        const bool next = c.row == currentRow_ && c.row >= 0 && c.col >= 0 &&
                          rowOrigin_ + static_cast<size_t>(c.col) == filling_.cells.size() &&
                          !Full();
        const bool first = c.row > currentRow_ && c.col == 0;
        if (next || first) [[likely]] {
            if (first) {
                if (currentRow_ >= 0)
                    EndRow();
                StartRow(c.row);
                if (Full()) [[unlikely]]
                    Cut();
            }
            Cell cell;
            std::string_view text;
            if (c.kind == qorvix::CELL_TEXT) {
                cell.kind = Cell::Text;
                text = c.text.str();
            } else if (c.kind == qorvix::CELL_NUMBER || c.kind == qorvix::CELL_NUMBER_ALT) {
                cell.kind = Cell::Number;
                cell.number = c.number;
            }
            Append(cell, text);
            return;
        }
    }
    TakeInGeneral(record);
}

void RowChannel::TakeInGeneral(const qorvix::TrBase& record) {
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
        StartRow(row);
        Place(static_cast<size_t>(col), cell, text);
        return;
    }
    // The next cell of the row, as imports hand them.
    if (rowOrigin_ + static_cast<size_t>(col) == filling_.cells.size()) [[likely]] {
        if (Full()) [[unlikely]]
            Cut();
        Append(cell, text);
        return;
    }
    Place(static_cast<size_t>(col), cell, text);
}

void RowChannel::Place(size_t col, Cell cell, std::string_view text) {
    if (col < rowStart_ - rowOrigin_) {
        // The column went out in an earlier piece and cannot be stored over.
        EndRow();
        StartRow(currentRow_);
    }
    // Cells between are empty, as in a worksheet; a cell given again replaces the first.
    while (rowOrigin_ + col >= filling_.cells.size()) {
        if (Full())
            Cut();
        if (rowOrigin_ + col == filling_.cells.size()) {
            Append(cell, text);
            return;
        }
        Append(Cell(), {});
    }
    filling_.cells[rowOrigin_ + col] = WithText(cell, text);
}

void RowChannel::StartRow(int32_t row) {
    currentRow_ = row;
    rowStart_ = rowOrigin_ = filling_.cells.size();
}

void RowChannel::EndRow() {
    filling_.rows.StreamBack(static_cast<uint32_t>(currentRow_), filling_.cells.size());
    if (filling_.cells.size() >= batch_.cells || filling_.texts.size() >= batch_.textBytes)
        Send();
}

void RowChannel::Cut() {
    const size_t sent = filling_.cells.size() - rowOrigin_;
    // A batch filled by whole rows before the row's first cell goes as it is.
    if (filling_.cells.size() > rowStart_)
        filling_.rows.StreamBack(static_cast<uint32_t>(currentRow_) | kGoesOn,
                                 filling_.cells.size());
    Send();
    rowStart_ = filling_.cells.size();
    rowOrigin_ = rowStart_ - sent;
}

void RowChannel::Send() {
    cutAt_ = pieces_.cells;
    bool made;
    if (!stopped_ && batches_.Send(std::move(filling_))) {
        if (takeRows_)
            takeRows_();
        if (batches_.Acquire(filling_, made))
            return;
    }
    // The export takes no more: one batch is kept to be filled and dropped.
    stopped_ = true;
    filling_.cells.clear();
    filling_.rows.clear();
    filling_.texts.clear();
}

void RowChannel::Close(bool finished) {
    // The row under way is complete only when the import is.
    if (finished && !diverged_ && currentRow_ >= 0)
        EndRow();
    if (!diverged_ && !filling_.rows.empty())
        Send();
    batches_.Close(finished && !diverged_);
}

bool RowChannel::Next(Row& row, bool& finished, bool wait) {
    for (;;) {
        if (haveTaken_ && takenRow_ < taken_.rows.size()) {
            const size_t begin = takenRow_ == 0 ? 0 : taken_.rows[takenRow_ - 1].end;
            const RowEnd& end = taken_.rows[takenRow_++];
            row.number = static_cast<int32_t>(static_cast<uint32_t>(end.head));
            row.ends = (end.head & kGoesOn) == 0;
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
        if (haveTaken_) {
            taken_.cells.clear();
            taken_.rows.clear();
            taken_.texts.clear();
            batches_.GiveBack(std::move(taken_));
            haveTaken_ = false;
        }
        if (!(wait ? batches_.Take(taken_) : batches_.TryTake(taken_))) {
            finished = batches_.Finished();
            return false;
        }
        takenRow_ = 0;
        haveTaken_ = true;
    }
}

void RowChannel::Stop() {
    batches_.Stop();
}

}  // namespace dornel::app
