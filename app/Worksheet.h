// The host program's worksheet: the cells an import hands over, all in memory.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <thread>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "GrowingArray.h"
#include "Cell.h"
#include "RecordSink.h"
#include "RowChannel.h"
#include "RowStarts.h"
#include "host/brisko/TypeInfo.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

/// All cells in memory, for the table view and for convert.
///
/// The rows lie one after another in a single array, and no row has an allocation of its own.
/// A cell takes eight bytes there: the largest array of an import is its cells, and every page
/// of it is a fault to the import. A number is its double (every NaN the one quiet NaN); any
/// other cell is a pattern no number is left with, a negative quiet NaN, whose lower bits say
/// its kind and where it lies: a text by its place and length in the pool of texts, a cell that
/// does not fit (a number with a date or time format, a text too long or too far into the pool)
/// by its place in a list of whole cells. Imports hand cells row by row and left to right,
/// which only appends; a cell that comes back to an earlier place is stored there all the same
/// (a row that has to grow in the middle moves the rows after it).
class Worksheet final : public RecordSink {
  public:
    /// Inline, with the usual case first: it runs once per cell of an import. The cell is made
    /// in registers and stored once.
    void Take(const qorvix::TrBase& record) override {
        if (reader_.Plain(record) && Append(static_cast<const qorvix::TrCell&>(record))) [[likely]]
            return;
        TakeInGeneral(record);
    }
    /// Any record, as a cell where it makes one.
    void TakeInGeneral(const qorvix::TrBase& record) {
        int32_t row = 0, col = 0;
        Cell cell;
        std::string_view text;
        if (!reader_.Take(record, row, col, cell, text))
            return;
        const size_t r = static_cast<size_t>(row), c = static_cast<size_t>(col);
        const bool next = r + 1 == rowStart_.size() && rowStart_.back() + c == cells_.size();
        // The first cell of a new row.
        const bool first = r == rowStart_.size() && c == 0;
        if (next || first) [[likely]] {
            if (first)
                rowStart_.push_back(cells_.size());
            if (cell.kind == Cell::Text) {
                cell.textOffset = texts_.size();
                cell.textLength = static_cast<uint32_t>(text.size());
                texts_.append(text.data(), text.size());
            }
            cells_.push_back(Pack(cell));
            return;
        }
        Store(r, c, cell, text);
    }
    /// The usual cell record: the next cell of the last row or the first of a new row, a number,
    /// a text or an empty cell that fits in eight bytes, appended straight from the record.
    /// False, with nothing stored, for any other.
    bool Append(const qorvix::TrCell& c) {
        // Negative places become large ones, which are neither.
        const size_t r = static_cast<uint32_t>(c.row), col = static_cast<uint32_t>(c.col);
        const size_t rows = rowStart_.size();
        const bool next = r + 1 == rows && rowStart_.back() + col == cells_.size();
        const bool first = r == rows && col == 0;
        if (!next && !first)
            return false;
        uint64_t bits;
        if (c.kind == qorvix::CELL_NUMBER || c.kind == qorvix::CELL_NUMBER_ALT) {
            bits = c.number == c.number ? std::bit_cast<uint64_t>(c.number) : kQuietNaN;
        } else if (c.kind == qorvix::CELL_TEXT) {
            const std::string& text = c.text.str();
            const size_t offset = texts_.size();
            if (offset >= kOffsetLimit || text.size() >= kLengthLimit)
                return false;
            bits = kTextBox | uint64_t{text.size()} << kLengthShift | offset;
            texts_.append(text.data(), text.size());
        } else {
            bits = kEmptyBox;
        }
        if (first)
            rowStart_.push_back(cells_.size());
        cells_.push_back(bits);
        return true;
    }
    /// Stores a cell as a record described it; a text cell's text is copied.
    void Store(size_t row, size_t col, Cell cell, std::string_view text) {
        if (cell.kind == Cell::Text) {
            cell.textOffset = texts_.size();
            cell.textLength = static_cast<uint32_t>(text.size());
            texts_.append(text.data(), text.size());
        }
        // The next cell of the last row: the way imports hand them.
        if (row + 1 == rowStart_.size() && rowStart_.back() + col == cells_.size()) [[likely]] {
            cells_.push_back(Pack(cell));
            return;
        }
        StoreElsewhere(row, col, cell);
    }
    size_t RowCount() const { return rowStart_.size(); }
    /// The number of cells in a row.
    size_t RowLength(size_t row) const { return RowEnd(row) - rowStart_[row]; }
    /// The cells of a row, put in cells, which the span shows.
    std::span<const Cell> Row(size_t row, std::vector<Cell>& cells) const {
        const size_t start = rowStart_[row];
        cells.resize(RowEnd(row) - start);
        for (size_t i = 0; i < cells.size(); ++i)
            cells[i] = Unpack(cells_[start + i]);
        return cells;
    }
    /// Calls visit(column, cell) for each cell of a row, left to right: the way of a view through
    /// all cells, which copies no row.
    template <class Visit>
    void ForEachCell(size_t row, Visit&& visit) const {
        const uint64_t* const cells = cells_.data() + rowStart_[row];
        const size_t length = RowEnd(row) - rowStart_[row];
        for (size_t c = 0; c < length; ++c)
            visit(c, Unpack(cells[c]));
    }
    /// All texts of the worksheet; a text cell's offset counts from their start.
    std::string_view Texts() const { return std::string_view(texts_.data(), texts_.size()); }
    /// The text of a stored text cell.
    std::string_view Text(const Cell& cell) const {
        return cell.kind == Cell::Text
                   ? std::string_view(texts_.data() + cell.textOffset, cell.textLength)
                   : std::string_view();
    }

  private:
    static constexpr uint64_t kBox = 0xFFF8'0000'0000'0000;  // sign, exponent, quiet bit
    static constexpr uint64_t kQuietNaN = 0x7FF8'0000'0000'0000;
    static constexpr int kKindShift = 49;  // two bits: what the box holds
    enum BoxKind : uint64_t { kEmptyKind, kTextKind, kWholeKind };
    static constexpr uint64_t kEmptyBox = kBox, kTextBox = kBox | kTextKind << kKindShift,
                              kWholeBox = kBox | kWholeKind << kKindShift;
    static constexpr int kLengthShift = 33;  // a text's length above its offset
    static constexpr uint64_t kOffsetLimit = uint64_t{1} << kLengthShift;
    static constexpr uint64_t kLengthLimit = uint64_t{1} << (kKindShift - kLengthShift);

    /// The eight bytes of a cell; inline, for the usual cells.
    uint64_t Pack(const Cell& cell) {
        if (cell.kind == Cell::Number && cell.dateFormat == 0 && cell.timeFormat == 0) {
            const auto bits = std::bit_cast<uint64_t>(cell.number);
            return cell.number == cell.number ? bits : kQuietNaN;
        }
        if (cell.kind == Cell::Text && cell.textOffset < kOffsetLimit &&
            cell.textLength < kLengthLimit)
            return kTextBox | uint64_t{cell.textLength} << kLengthShift | cell.textOffset;
        if (cell.kind == Cell::Empty)
            return kEmptyBox;
        return PackWhole(cell);
    }
    // Cells go by value to what is not inline: a cell whose address went to a call would be
    // made in memory, its parts stored one by one and read back as one, which waits for them.
    uint64_t PackWhole(Cell cell);
    /// Inline: it runs once per cell of a view, and a cell made in registers goes to the view
    /// without being stored.
    Cell Unpack(uint64_t bits) const {
        Cell cell;
        if ((bits & kBox) != kBox) [[likely]] {
            cell.kind = Cell::Number;
            cell.number = std::bit_cast<double>(bits);
            return cell;
        }
        const uint64_t place = bits & ((uint64_t{1} << kKindShift) - 1);
        switch (bits >> kKindShift & 3) {
            case kTextKind:
                cell.kind = Cell::Text;
                cell.textLength = static_cast<uint32_t>(place >> kLengthShift);
                cell.textOffset = place & (kOffsetLimit - 1);
                return cell;
            case kWholeKind:
                return wholeCells_[place];
            default:
                return cell;
        }
    }
    size_t RowEnd(size_t row) const {
        return row + 1 < rowStart_.size() ? rowStart_[row + 1] : cells_.size();
    }
    /// The first cell of a new row, or a cell out of the usual order.
    void StoreElsewhere(size_t row, size_t col, Cell cell);
    void Place(size_t row, size_t col, Cell cell);

    GrowingArray<uint64_t> cells_;
    RowStarts rowStart_;  // where each row begins in cells_
    GrowingArray<char> texts_;
    // The cells that do not fit in eight bytes; one stored over stays here unused, as cells
    // come back to a place seldom.
    std::vector<Cell> wholeCells_;
    CellReader reader_;
};

}  // namespace dornel::app
