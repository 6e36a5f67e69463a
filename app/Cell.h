// One worksheet cell, and how cell records become cells.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/brisko/TypeInfo.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

/// One cell as a record described it, and as the views and the row channel see it: 16 bytes.
/// Texts are UTF-8, kept in one pool; a cell holds only its text's place there. (A worksheet
/// keeps its cells in eight bytes each, and gives them back as these.)
struct Cell {
    enum Kind : uint8_t { Empty, Number, Text } kind = Empty;
    uint8_t dateFormat = 0;
    uint8_t timeFormat = 0;
    uint32_t textLength = 0;
    union {
        double number = 0.0;
        uint64_t textOffset;
    };
};

/// The two halves of a cell as it lies in memory, the first holding its kind, formats and text
/// length, the second its number or text offset: a cell made in registers is stored whole.
inline uint64_t CellHead(const Cell& cell) {
    static_assert(offsetof(Cell, kind) == 0 && offsetof(Cell, dateFormat) == 1 &&
                  offsetof(Cell, timeFormat) == 2 && offsetof(Cell, textLength) == 4 &&
                  offsetof(Cell, number) == 8 && sizeof(Cell) == 16);
    return uint64_t{cell.kind} | uint64_t{cell.dateFormat} << 8 | uint64_t{cell.timeFormat} << 16 |
           uint64_t{cell.textLength} << 32;
}
inline uint64_t CellBody(const Cell& cell) {
    return cell.kind == Cell::Text ? cell.textOffset : std::bit_cast<uint64_t>(cell.number);
}

/// How a cell reads in the table and CSV views: numbers in their shortest exact form, dates and
/// times in their format, texts as they are.
std::string CellDisplay(const Cell& cell, std::string_view text);
/// Room for what CellShown writes.
constexpr size_t kShownRoom = 64;
/// CellDisplay without an allocation: a text cell's own text, else what is written at room
/// (kShownRoom bytes).
std::string_view CellShown(const Cell& cell, std::string_view text, char* room);

/// Turns cell records into cells: a TrCellFmt's date format goes to the numeric cell that
/// follows it at the same place.
class CellReader {
  public:
    CellReader();
    /// True when the record completes a cell at (row, col). A text cell's UTF-8 text goes to
    /// text, which stays valid until the next call or while the record lives. Inline: it runs
    /// once per cell of an import.
    bool Take(const qorvix::TrBase& record, int32_t& row, int32_t& col, Cell& cell,
              std::string_view& text) {
        if (record.GetTypeInfo() != cellType_) [[unlikely]] {
            TakeOther(record);
            return false;
        }
        const auto& c = static_cast<const qorvix::TrCell&>(record);
        cell = Cell();
        if (c.kind == qorvix::CELL_TEXT) {
            cell.kind = Cell::Text;
            text = utf8Acp_ ? std::string_view(c.text.str()) : Converted(c.text.str());
        } else if (c.kind == qorvix::CELL_NUMBER || c.kind == qorvix::CELL_NUMBER_ALT) {
            cell.kind = Cell::Number;
            cell.number = c.number;
            // Inline, as all of this: a cell whose address went to a call would be made in
            // memory, and read back whole before its parts were stored.
            if (pendingRow_ >= 0 && c.row == pendingRow_ && c.col == pendingCol_) [[unlikely]] {
                cell.dateFormat = static_cast<uint8_t>(pendingDate_);
                cell.timeFormat = static_cast<uint8_t>(pendingTime_);
            }
        }
        pendingRow_ = pendingCol_ = -1;
        row = c.row;
        col = c.col;
        return row >= 0 && col >= 0;
    }

    /// True when the record is a cell that stands as it is: a TrCell whose text, if any, is
    /// UTF-8 already, with no date format waiting for it. Nearly every record of an import is.
    bool Plain(const qorvix::TrBase& record) const {
        return record.GetTypeInfo() == cellType_ && pendingRow_ < 0 && utf8Acp_;
    }

  private:
    void TakeOther(const qorvix::TrBase& record);
    std::string_view Converted(const std::string& acp);

    // Looked up once: every record asks for its type.
    const brisko::CTypeInfo* cellType_;
    const brisko::CTypeInfo* formatType_;
    bool utf8Acp_;
    std::string converted_;  // a text converted from another 8-bit page
    int pendingDate_ = 0, pendingTime_ = 0;
    int32_t pendingRow_ = -1, pendingCol_ = -1;
};

}  // namespace dornel::app
