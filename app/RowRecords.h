// Export records made of worksheet rows.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "Trace.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

/// Called for each record in order until it answers false.
using RecordVisitor = std::function<bool(qorvix::TrBase&)>;

/// The date format record that goes before a number of that format.
qorvix::TrCellFmt DateFormatRecord(int32_t row, int32_t col, int date, int time);
/// Whether worksheet texts (UTF-8) are already in the system page.
bool SystemPageIsUtf8();

/// Export records made of rows, one at a time: rows in order, empty cells as records of their
/// own, a row without cells (and each row skipped) as one empty cell, and a date format before
/// each dated number whose format differs from the last one's. Visit is called for every
/// record, and answers whether to go on; it is a template parameter, not a function object, so
/// that the record reaches the export with no call through a pointer on the way.
template <class Visit>
class RowRecords {
  public:
    explicit RowRecords(Visit& visit) : visit_(visit), acpIsUtf8_(SystemPageIsUtf8()) {}
    bool Begin() {
        qorvix::TrInitWksExp init;
        return visit_(init);
    }
    /// One row; texts holds its text cells' texts. False when a record was refused.
    bool Row(int32_t row, std::span<const Cell> cells, std::string_view texts);

  private:
    Visit& visit_;
    int32_t nextRow_ = 0;
    int date_ = 0, time_ = 0;
    // One record of each kind serves every cell, so that none is made and destroyed per cell,
    // and the text record's buffer is allocated once.
    qorvix::TrCell text_{0, 0, brisko::RString()};
    qorvix::TrCell number_{0, 0, 0.0};
    qorvix::TrCell empty_{0, 0};
    const bool acpIsUtf8_;
};

template <class Visit>
bool RowRecords<Visit>::Row(int32_t row, std::span<const Cell> cells, std::string_view texts) {
    for (; nextRow_ < row; ++nextRow_) {
        empty_.row = nextRow_;
        empty_.col = 0;
        if (!visit_(empty_))
            return false;
    }
    nextRow_ = row + 1;
    if (cells.empty()) {
        empty_.row = row;
        empty_.col = 0;
        return visit_(empty_);
    }
    for (size_t c = 0; c < cells.size(); ++c) {
        const Cell& cell = cells[c];
        const int32_t col = static_cast<int32_t>(c);
        if (cell.kind == Cell::Text) {
            text_.row = row;
            text_.col = col;
            const std::string_view text = texts.substr(cell.textOffset, cell.textLength);
            // Copied into the record's own buffer, which long texts then allocate only once.
            if (acpIsUtf8_)
                text_.text.assign(text.data(), text.size());
            else
                text_.text = brisko::RString(Utf8ToAcp(text));
            if (!visit_(text_))
                return false;
        } else if (cell.kind == Cell::Number) {
            if (cell.dateFormat != date_ || cell.timeFormat != time_) [[unlikely]] {
                qorvix::TrCellFmt format =
                    DateFormatRecord(row, col, cell.dateFormat, cell.timeFormat);
                if (!visit_(format))
                    return false;
                date_ = cell.dateFormat;
                time_ = cell.timeFormat;
            }
            number_.row = row;
            number_.col = col;
            number_.number = cell.number;
            if (!visit_(number_))
                return false;
        } else {
            empty_.row = row;
            empty_.col = col;
            if (!visit_(empty_))
                return false;
        }
    }
    return true;
}

/// The worksheet as export records.
template <class Visit>
void VisitWorksheet(const Worksheet& sheet, Visit&& visit) {
    RowRecords records(visit);
    if (!records.Begin())
        return;
    std::vector<Cell> row;
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r, row);
        // Worksheet texts count from the start of its pool.
        if (!records.Row(static_cast<int32_t>(r), cells, sheet.Texts()))
            return;
    }
}

}  // namespace dornel::app
