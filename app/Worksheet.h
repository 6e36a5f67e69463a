// The host program's worksheet: the cells an import hands over, and the views that show them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "HostManager.h"

namespace dornel::app {

struct Cell {
    enum Kind { Empty, Number, Text } kind = Empty;
    double number = 0.0;
    std::string text;  // UTF-8
    int dateFormat = 0;
    int timeFormat = 0;
    bool present = false;  // a record named this cell
};

/// How a cell reads in the table and CSV views: numbers in their shortest exact form, dates and
/// times in their format, texts as they are.
std::string CellDisplay(const Cell& cell);

/// Turns cell records into cells: a TrCellFmt's date format goes to the numeric cell that
/// follows it at the same place.
class CellReader {
  public:
    /// True when the record completes a cell at (row, col).
    bool Take(const qorvix::TrBase& record, int32_t& row, int32_t& col, Cell& cell);

  private:
    int pendingDate_ = 0, pendingTime_ = 0;
    int32_t pendingRow_ = -1, pendingCol_ = -1;
};

/// All cells in memory, for the table and JSON views and for convert.
class Worksheet : public RecordSink {
  public:
    void Take(const qorvix::TrBase& record) override;
    const std::vector<std::vector<Cell>>& Rows() const { return rows_; }
    void WriteTable(std::FILE* out) const;
    void WriteJson(std::FILE* out) const;

  private:
    std::vector<std::vector<Cell>> rows_;
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
    int64_t currentRow_ = -1;
    int64_t writtenRows_ = 0;
    CellReader reader_;
};

/// One CSV line of cells (RFC 4180 quoting), without its line end.
std::string CsvLine(const std::vector<Cell>& cells);

}  // namespace dornel::app
