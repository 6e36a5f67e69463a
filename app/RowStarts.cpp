// Where each row of a worksheet begins among its cells.
#include "RowStarts.h"

#include <utility>

namespace dornel::app {

void RowStarts::MoveFrom(size_t row, size_t added) {
    if (row >= size() || added == 0)
        return;
    // The rows before row keep their places, and so their part of the list.
    std::vector<size_t> highFrom;
    for (const size_t first : highFrom_)
        if (first < row)
            highFrom.push_back(first);
    for (size_t r = row; r < size(); ++r) {
        const size_t start = (*this)[r] + added;
        NoteHigh(start, r, highFrom);
        low_[r] = static_cast<uint32_t>(start);
    }
    highFrom_ = std::move(highFrom);
    last_ += added;
}

}  // namespace dornel::app
