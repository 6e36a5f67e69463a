// The host program's worksheet: the cells an import hands over, and the views that show them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "HostManager.h"

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
std::string CellDisplay(const Cell& cell, const std::string& text);

/// Turns cell records into cells: a TrCellFmt's date format goes to the numeric cell that
/// follows it at the same place.
class CellReader {
  public:
    /// True when the record completes a cell at (row, col); a text cell's text goes to text.
    bool Take(const qorvix::TrBase& record, int32_t& row, int32_t& col, Cell& cell,
              std::string& text);

  private:
    int pendingDate_ = 0, pendingTime_ = 0;
    int32_t pendingRow_ = -1, pendingCol_ = -1;
};

/// All cells in memory, for the table and JSON views and for convert.
class Worksheet : public RecordSink {
  public:
    void Take(const qorvix::TrBase& record) override;
    const std::vector<std::vector<Cell>>& Rows() const { return rows_; }
    /// The text of a stored text cell.
    std::string Text(const Cell& cell) const {
        return cell.kind == Cell::Text ? texts_.substr(cell.textOffset, cell.textLength)
                                       : std::string();
    }
    void WriteTable(std::FILE* out) const;
    void WriteJson(std::FILE* out) const;

  private:
    std::vector<std::vector<Cell>> rows_;
    std::string texts_;
    CellReader reader_;
};

/// Writes CSV as the cells arrive, keeping only the current row: memory does not grow with the
/// file. Cells must come row by row, as imports hand them.
class CsvStream : public RecordSink {
  public:
    explicit CsvStream(std::FILE* out) : out_(out) {}
    void Take(const qorvix::TrBase& record) override;
    void Finish();

  private:
    void FlushRow();

    std::FILE* out_;
    std::vector<Cell> row_;
    std::vector<std::string> rowTexts_;
    int64_t currentRow_ = -1;
    int64_t writtenRows_ = 0;
    CellReader reader_;
};

/// One CSV line of cells (RFC 4180 quoting), without its line end; text(cell index) gives the
/// text of a text cell.
template <class TextOf>
std::string CsvLine(const std::vector<Cell>& cells, TextOf text);
/// One CSV field of a cell.
void AppendCsvField(std::string& line, const Cell& cell, const std::string& text);

template <class TextOf>
std::string CsvLine(const std::vector<Cell>& cells, TextOf text) {
    std::string line;
    for (size_t c = 0; c < cells.size(); ++c) {
        if (c > 0)
            line += ',';
        AppendCsvField(line, cells[c], cells[c].kind == Cell::Text ? text(c) : std::string());
    }
    return line;
}

}  // namespace dornel::app
