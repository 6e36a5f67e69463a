// Export records made of worksheet rows.
#include "RowRecords.h"

#include "Session.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/DateTime.h"

namespace dornel::app {

using namespace qorvix;

RowRecords::RowRecords(const RecordVisitor& visit)
    : visit_(visit), acpIsUtf8_(brisko::GetSystemCodePage() == brisko::kCodePageUtf8) {}

bool RowRecords::Row(int32_t row, std::span<const Cell> cells, std::string_view texts) {
    for (; nextRow_ < row; ++nextRow_) {
        TrCell blank(nextRow_, 0);
        if (!visit_(blank))
            return false;
    }
    nextRow_ = row + 1;
    if (cells.empty()) {
        TrCell blank(row, 0);
        return visit_(blank);
    }
    for (size_t c = 0; c < cells.size(); ++c) {
        const Cell& cell = cells[c];
        const int32_t col = static_cast<int32_t>(c);
        if (cell.kind == Cell::Text) {
            text_.row = row;
            text_.col = col;
            const std::string_view text = texts.substr(cell.textOffset, cell.textLength);
            text_.text = acpIsUtf8_ ? brisko::RString(text.data(), text.size())
                                    : brisko::RString(Utf8ToAcp(text));
            if (!visit_(text_))
                return false;
        } else if (cell.kind == Cell::Number) {
            if (cell.dateFormat != date_ || cell.timeFormat != time_) {
                TrCellFmt format(row, col, 0);
                char text[40];
                brisko::WQMapFmtTypesToExcelFmtStr(cell.dateFormat, cell.timeFormat, text);
                const bool dated = cell.dateFormat != 0 || cell.timeFormat != 0;
                format.mask = dated ? CELLFMT_DATE_MASK : 0;
                format.category = dated ? CELLFMT_CATEGORY_DATE : 0;
                format.format = brisko::RString(text);
                if (!visit_(format))
                    return false;
                date_ = cell.dateFormat;
                time_ = cell.timeFormat;
            }
            TrCell number(row, col, cell.number);
            if (!visit_(number))
                return false;
        } else {
            TrCell empty(row, col);
            if (!visit_(empty))
                return false;
        }
    }
    return true;
}

/// The worksheet as export records.
void VisitWorksheet(const Worksheet& sheet, const RecordVisitor& visit) {
    RowRecords records(visit);
    if (!records.Begin())
        return;
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r);
        // Worksheet texts count from the start of its pool.
        if (!records.Row(static_cast<int32_t>(r), cells, sheet.Texts()))
            return;
    }
}

}  // namespace dornel::app
