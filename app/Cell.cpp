// A cell as the views show it, and the reader that makes cells of an import's records.
#include "Cell.h"

#include <string>

#include "ShortestNumber.h"
#include "Trace.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/DateTime.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

using namespace qorvix;

std::string CellDisplay(const Cell& cell, std::string_view text) {
    switch (cell.kind) {
        case Cell::Empty:
            return std::string();
        case Cell::Text:
            return std::string(text);
        case Cell::Number:
            if (cell.dateFormat != 0 || cell.timeFormat != 0) {
                char buf[40];
                brisko::WQDateTime(cell.number)
                    .GetDateTimeStr(cell.dateFormat, cell.timeFormat, buf);
                return buf;
            }
            return ShortestNumber(cell.number);
    }
    return std::string();
}

CellReader::CellReader()
    : cellType_(TrCell::GetClassTypeId()),
      formatType_(TrCellFmt::GetClassTypeId()),
      utf8Acp_(brisko::GetSystemCodePage() == brisko::kCodePageUtf8) {}

void CellReader::TakeOther(const TrBase& record) {
    if (record.GetTypeInfo() != formatType_)
        return;
    const auto& f = static_cast<const TrCellFmt&>(record);
    brisko::WQMapExcelFmtStrToFmtTypes(f.format.c_str(), pendingDate_, pendingTime_);
    pendingRow_ = f.row;
    pendingCol_ = f.col;
}

std::string_view CellReader::Converted(const std::string& acp) {
    converted_ = AcpToUtf8(acp);
    return converted_;
}

}  // namespace dornel::app
