// The host program's worksheet: its cells and texts in memory.
#include "Worksheet.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace dornel::app {

using namespace qorvix;

uint64_t Worksheet::PackWhole(Cell cell) {
    wholeCells_.push_back(cell);
    return kWholeBox | (wholeCells_.size() - 1);
}

void Worksheet::StoreElsewhere(size_t row, size_t col, Cell cell) {
    if (row == rowStart_.size() && col == 0) {
        rowStart_.push_back(cells_.size());
        cells_.push_back(Pack(cell));
        return;
    }
    Place(row, col, cell);
}

void Worksheet::Place(size_t row, size_t col, Cell cell) {
    while (rowStart_.size() <= row)
        rowStart_.push_back(cells_.size());
    const size_t start = rowStart_[row];
    const size_t end = RowEnd(row);
    if (start + col < end) {
        cells_[start + col] = Pack(cell);
        return;
    }
    // The row grows: empty cells up to the column, then the cell.
    const size_t added = start + col + 1 - end;
    cells_.insert(end, added, kEmptyBox);
    cells_[start + col] = Pack(cell);
    rowStart_.MoveFrom(row + 1, added);
}

}  // namespace dornel::app
