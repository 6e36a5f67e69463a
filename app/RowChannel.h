// The rows of an import handed, as each completes, to an export on another thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "Cell.h"
#include "GrowingArray.h"
#include "RecordSink.h"
#include "host/brisko/BatchQueue.h"

namespace dornel::app {

/// A record sink for convert: the import's cells go row by row to the thread that exports them,
/// so that the export runs while the import goes on, and no worksheet is kept. A row is sent
/// once a cell of a later row arrives; the rows travel in batches, and at most a few batches are
/// under way, so the memory in between stays small.
///
/// Imports hand their rows in order. A cell that comes back to a row already sent cannot be
/// exported this way: a strict channel then says so (Diverged), and the convert is done again
/// the plain way, through a whole worksheet. A channel that is not strict, as the views use,
/// starts a new row there, numbered as the cell says, as a view written row by row would.
///
/// A channel that is not strict also hands a row over in pieces once the row outgrows a
/// bound, so that one line of hundreds of megabytes is never held whole; a cell that comes back
/// to a column of a piece already sent starts a new row there, as a row that comes back does.
class RowChannel : public RecordSink {
  public:
    /// How much of a row the batch being filled may hold before the row goes on in a piece of
    /// its own: cells, and bytes of their texts.
    struct PieceBound {
        size_t cells;
        size_t textBytes;
    };
    /// The bound the views use.
    static PieceBound DefaultPieces();
    explicit RowChannel(bool strict = true, PieceBound pieces = DefaultPieces());
    /// A row, or a piece of one: its number, its cells, their texts.
    struct Row {
        int32_t number;
        std::span<const Cell> cells;
        std::string_view texts;  // a text cell's offset counts from here
        /// False when the row goes on in the next piece; a strict channel sends rows whole.
        bool ends;
    };

    // The import's side.
    void Take(const qorvix::TrBase& record) override;
    /// Sends the last row and tells the export whether the import finished.
    void Close(bool finished);
    bool Diverged() const { return diverged_; }
    /// Where no thread takes the rows: takeRows runs on the import's thread after each batch is
    /// sent, before the next is asked for, so that the batches never all wait.
    void TakeRowsOnSend(std::function<void()> takeRows) { takeRows_ = std::move(takeRows); }

    // The export's side.
    /// The next complete row, waiting for it; false when there are no more, with finished
    /// telling whether the import finished and the channel held every row. With wait false,
    /// false also when no complete row is there yet.
    bool Next(Row& row, bool& finished, bool wait = true);
    /// The export stops taking rows; the import's rows are dropped from now on.
    void Stop();

  private:
    /// Where a row, or a piece of one, ends in its batch's cells. head holds the row's number
    /// in its low half and kGoesOn above.
    struct RowEnd {
        uint64_t head;
        uint64_t end;
    };
    static constexpr uint64_t kGoesOn = uint64_t{1} << 32;
    /// What the import writes here goes around the caches (GrowingArray::StreamBack): a batch
    /// comes back to be filled again from the core that read it.
    struct Batch {
        GrowingArray<Cell> cells;
        GrowingArray<RowEnd> rows;
        GrowingArray<char> texts;  // each text starts on sixteen bytes of its own
    };

    /// Any record, as Take takes it where it is not the next plain cell of the row.
    void TakeInGeneral(const qorvix::TrBase& record);
    /// The cell with its text stored in the batch, when it has one.
    Cell WithText(Cell cell, std::string_view text);
    /// Appends the cell, its text with it, as the row's next.
    void Append(Cell cell, std::string_view text);
    /// A cell at a column of the current row other than the next.
    void Place(size_t col, Cell cell, std::string_view text);
    void StartRow(int32_t row);
    void EndRow();
    /// True when the row under way must go on in a piece of its own before its next cell.
    bool Full() const { return filling_.cells.size() >= cutAt_; }
    /// Sends the batch with the row under way unfinished.
    void Cut();
    void Send();

    // Each thread's own members on cache lines of their own, apart from those both touch: a
    // line written for every cell on one side and for every row on the other went back and forth
    // between the cores, which costs most where they share no cache.
    // The import's own.
    alignas(64) const bool strict_;
    bool stopped_ = false;     // the export takes no more: the import's rows are dropped
    const PieceBound pieces_;  // never reached in a strict channel
    const PieceBound batch_;   // where a batch goes once its row ends
    // The cells at which the batch is full: pieces_.cells, or none once its texts reach theirs.
    size_t cutAt_;
    CellReader reader_;
    Batch filling_;
    int32_t currentRow_ = -1;
    size_t rowStart_ = 0;  // where the current row's piece begins in filling_.cells
    // Where the current row's column 0 would lie in filling_.cells: rowStart_ less the columns
    // sent in earlier pieces, modulo 2^64.
    size_t rowOrigin_ = 0;
    bool diverged_ = false;
    std::function<void()> takeRows_;  // runs once a batch was sent

    // The export's own.
    alignas(64) Batch taken_;
    size_t takenRow_ = 0;
    bool haveTaken_ = false;

    alignas(64) brisko::BatchQueue<Batch> batches_;
};

}  // namespace dornel::app
