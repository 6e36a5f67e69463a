// The host program's worksheet: the cells an import hands over, and the views that show them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "GrowingArray.h"
#include "HostManager.h"
#include "host/brisko/TypeInfo.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

/// One cell as a record described it. Texts are UTF-8; a worksheet keeps them in one pool and
/// its cells hold only their place there, so that a cell takes 24 bytes.
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

/// How a cell reads in the table and CSV views: numbers in their shortest exact form, dates and
/// times in their format, texts as they are.
std::string CellDisplay(const Cell& cell, std::string_view text);

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
            if (pendingRow_ >= 0) [[unlikely]]
                ApplyPending(c, cell);
        }
        pendingRow_ = pendingCol_ = -1;
        row = c.row;
        col = c.col;
        return row >= 0 && col >= 0;
    }

  private:
    void TakeOther(const qorvix::TrBase& record);
    void ApplyPending(const qorvix::TrCell& record, Cell& cell);
    std::string_view Converted(const std::string& acp);

    // Looked up once: every record asks for its type.
    const brisko::CTypeInfo* cellType_;
    const brisko::CTypeInfo* formatType_;
    bool utf8Acp_;
    std::string converted_;  // a text converted from another 8-bit page
    int pendingDate_ = 0, pendingTime_ = 0;
    int32_t pendingRow_ = -1, pendingCol_ = -1;
};

/// All cells in memory, for the table and JSON views and for convert.
///
/// The rows lie one after another in a single array, so a cell costs its 16 bytes and no row
/// has an allocation of its own. Imports hand cells row by row and left to right, which only
/// appends; a cell that comes back to an earlier place is stored there all the same (a row
/// that has to grow in the middle moves the rows after it).
class Worksheet final : public RecordSink {
  public:
    /// Inline, with the usual case first: it runs once per cell of an import.
    void Take(const qorvix::TrBase& record) override {
        int32_t row = 0, col = 0;
        Cell cell;
        std::string_view text;
        if (reader_.Take(record, row, col, cell, text))
            Store(static_cast<size_t>(row), static_cast<size_t>(col), cell, text);
    }
    /// Stores a cell as a record described it; a text cell's text is copied.
    void Store(size_t row, size_t col, Cell cell, std::string_view text) {
        if (cell.kind == Cell::Text) {
            cell.textOffset = texts_.size();
            cell.textLength = static_cast<uint32_t>(text.size());
            texts_.append(text.data(), text.size());
        }
        // The next cell of the last row: the way imports hand them.
        if (row + 1 == rowStart_.size() && rowStart_[row] + col == cells_.size()) [[likely]] {
            cells_.push_back(cell);
            return;
        }
        StoreElsewhere(row, col, cell);
    }
    size_t RowCount() const { return rowStart_.size(); }
    std::span<const Cell> Row(size_t row) const {
        const size_t end = row + 1 < rowStart_.size() ? rowStart_[row + 1] : cells_.size();
        return {cells_.data() + rowStart_[row], end - rowStart_[row]};
    }
    /// All texts of the worksheet; a text cell's offset counts from their start.
    std::string_view Texts() const { return std::string_view(texts_.data(), texts_.size()); }
    /// The text of a stored text cell.
    std::string_view Text(const Cell& cell) const {
        return cell.kind == Cell::Text
                   ? std::string_view(texts_.data() + cell.textOffset, cell.textLength)
                   : std::string_view();
    }
    /// The aligned table view; memory beyond the worksheet's is one line.
    void WriteTable(std::FILE* out) const;

  private:
    /// The first cell of a new row, or a cell out of the usual order.
    void StoreElsewhere(size_t row, size_t col, const Cell& cell);
    void Place(size_t row, size_t col, const Cell& cell);

    GrowingArray<Cell> cells_;
    GrowingArray<size_t> rowStart_;  // where each row begins in cells_
    GrowingArray<char> texts_;
    CellReader reader_;
};

/// Writes the CSV or JSON view as the cells arrive, keeping only the current row: memory does
/// not grow with the file. Cells must come row by row, as imports hand them. JSON is an array of
/// rows, each an array of cells (number, string or null), the same as a whole worksheet dumped.
class RowStream : public RecordSink {
  public:
    enum Format { Csv, Json };
    RowStream(std::FILE* out, Format format) : out_(out), format_(format) {}
    ~RowStream() override;
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;
    void Take(const qorvix::TrBase& record) override;
    /// Writes the last row and, for JSON, the end of the array.
    void Finish();

  private:
    static constexpr size_t kWriteAt = 64 * 1024;

    void FlushRow();
    void WriteRow(std::span<const Cell> cells);
    void WritePending();

    std::FILE* out_;
    Format format_;
    std::string pending_;    // rows made and not written yet
    std::vector<Cell> row_;  // the current row's cells are its first rowLength_
    std::string rowText_;    // the current row's texts, where its text cells point
    size_t rowLength_ = 0;
    int64_t currentRow_ = -1;
    int64_t writtenRows_ = 0;
    CellReader reader_;
};

/// Appends one CSV line of cells (RFC 4180 quoting) and its line end; text(cell index) gives
/// the text of a text cell.
template <class TextOf>
void AppendCsvLine(std::string& line, std::span<const Cell> cells, TextOf text);
/// One CSV field of a cell.
void AppendCsvField(std::string& line, const Cell& cell, std::string_view text);

template <class TextOf>
void AppendCsvLine(std::string& line, std::span<const Cell> cells, TextOf text) {
    for (size_t c = 0; c < cells.size(); ++c) {
        if (c > 0)
            line += ',';
        AppendCsvField(line, cells[c], cells[c].kind == Cell::Text ? text(c) : std::string_view());
    }
    line += '\n';
}

}  // namespace dornel::app
