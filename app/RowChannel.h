// The rows of an import handed, as each completes, to an export on another thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "Cell.h"
#include "GrowingArray.h"
#include "HostManager.h"

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
class RowChannel : public RecordSink {
  public:
    explicit RowChannel(bool strict = true) : strict_(strict) {}
    /// One complete row: its number, its cells, their texts.
    struct Row {
        int32_t number;
        std::span<const Cell> cells;
        std::string_view texts;  // a text cell's offset counts from here
    };

    // The import's side.
    void Take(const qorvix::TrBase& record) override;
    /// Sends the last row and tells the export whether the import finished.
    void Close(bool finished);
    bool Diverged() const { return diverged_; }

    // The export's side.
    /// The next complete row, waiting for it; false when there are no more, with finished
    /// telling whether the import finished and the channel held every row. With wait false,
    /// false also when no complete row is there yet.
    bool Next(Row& row, bool& finished, bool wait = true);
    /// The export stops taking rows; the import's rows are dropped from now on.
    void Stop();

  private:
    /// Where a row ends in its batch's cells.
    struct RowEnd {
        int64_t number;
        uint64_t end;
    };
    /// What the import writes here goes around the caches (GrowingArray::StreamBack): a batch
    /// comes back to be filled again from the core that read it.
    struct Batch {
        GrowingArray<Cell> cells;
        GrowingArray<RowEnd> rows;
        GrowingArray<char> texts;  // each text starts on sixteen bytes of its own
    };

    /// The cell with its text stored in the batch, when it has one.
    Cell WithText(Cell cell, std::string_view text);
    /// Appends the cell, its text with it, as the row's next.
    void Append(Cell cell, std::string_view text);
    /// A cell at a column of the current row other than the next.
    void Place(size_t col, Cell cell, std::string_view text);
    void EndRow();
    void Send();

    // Each thread's own members on cache lines of their own, apart from those both touch: a
    // line written for every cell on one side and for every row on the other went back and forth
    // between the cores, which costs most where they share no cache.
    // The import's own.
    alignas(64) const bool strict_;
    CellReader reader_;
    Batch filling_;
    int32_t currentRow_ = -1;
    size_t rowStart_ = 0;  // where the current row begins in filling_.cells
    bool diverged_ = false;

    // The export's own.
    alignas(64) Batch taken_;
    size_t takenRow_ = 0;
    bool haveTaken_ = false;

    alignas(64) std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> sent_;
    std::vector<Batch> spare_;
    bool closed_ = false;
    bool finished_ = false;
    bool stopped_ = false;
};

}  // namespace dornel::app
