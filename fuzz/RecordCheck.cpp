// The checks of the records an import hands its host.
#include "RecordCheck.h"

#include <cstdlib>

namespace dornel::fuzz {

using namespace qorvix;

bool CheckingManager::ImportObject(const TrBase& record) {
    const brisko::CTypeInfo* type = record.GetTypeInfo();
    if (ended_)
        std::abort();  // nothing after the end
    if (type == TrBeginWksImp::GetClassTypeId()) {
        if (begun_)
            std::abort();
        begun_ = true;
        return true;
    }
    if (!begun_)
        std::abort();  // nothing before the begin
    if (type == TrEndWksImp::GetClassTypeId()) {
        if (formatPending_)
            std::abort();
        ended_ = true;
        return true;
    }
    int32_t row = 0, col = 0;
    if (type == TrCellFmt::GetClassTypeId()) {
        const auto& f = static_cast<const TrCellFmt&>(record);
        if (formatPending_)
            std::abort();
        formatPending_ = true;
        formatRow_ = f.row;
        formatCol_ = f.col;
        return true;
    }
    if (type != TrCell::GetClassTypeId())
        std::abort();
    const auto& c = static_cast<const TrCell&>(record);
    row = c.row;
    col = c.col;
    if (formatPending_ && (formatRow_ != row || formatCol_ != col))
        std::abort();  // a format belongs to the cell right after it
    formatPending_ = false;
    if (row < row_)
        std::abort();  // rows never go back
    if (row > row_) {
        row_ = row;
        nextCol_ = 0;
    }
    if (col != nextCol_)
        std::abort();  // columns start at 0 and follow one another
    ++nextCol_;
    Cell cell{row, col, 'e', 0.0, {}};
    if (c.kind == CELL_TEXT)
        cell.kind = 't', cell.text = c.text.str();
    else if (c.kind == CELL_NUMBER || c.kind == CELL_NUMBER_ALT)
        cell.kind = 'n', cell.number = c.number;
    cells.push_back(cell);
    return true;
}

void CheckingManager::CheckFinished(int status) const {
    if (status == 0 && begun_ && !ended_)
        std::abort();
    if (formatPending_)
        std::abort();
}

}  // namespace dornel::fuzz
