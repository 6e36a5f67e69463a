// Where each row of a worksheet begins among its cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "GrowingArray.h"

namespace dornel::app {

/// The place of each row's first cell, in four bytes a row: the low half of each place, and the
/// rows from which the high half is one more. A worksheet of a few hundred megabytes has millions
/// of rows, and four billion cells take more memory than a machine gives a worksheet, so the list
/// of rows where the high half grows is nearly always empty. The places never decrease.
class RowStarts {
  public:
    size_t size() const { return low_.size(); }
    /// Where the last row begins.
    size_t back() const { return last_; }
    size_t operator[](size_t row) const {
        size_t high = 0;
        for (const size_t first : highFrom_)
            high += row >= first ? 1 : 0;
        return high << 32 | low_[row];
    }
    /// A new last row that begins at start, no earlier than the rows before it.
    void push_back(size_t start) {
        if (start >> 32 != highFrom_.size()) [[unlikely]]
            NoteHigh(start, low_.size(), highFrom_);
        low_.push_back(static_cast<uint32_t>(start));
        last_ = start;
    }
    /// The rows from row on begin added cells later.
    void MoveFrom(size_t row, size_t added);

  private:
    /// Notes that the high half of the places reaches start's from row on.
    static void NoteHigh(size_t start, size_t row, std::vector<size_t>& highFrom) {
        while (start >> 32 > highFrom.size())
            highFrom.push_back(row);
    }

    GrowingArray<uint32_t> low_;
    std::vector<size_t> highFrom_;  // [k]: the first row at or past (k + 1) << 32
    size_t last_ = 0;
};

}  // namespace dornel::app
