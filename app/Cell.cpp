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

std::string_view CellShown(const Cell& cell, std::string_view text, char* room) {
    static_assert(kShownRoom >= kNumberRoom);
    switch (cell.kind) {
        case Cell::Empty:
            return std::string_view();
        case Cell::Text:
            return text;
        case Cell::Number:
            if (cell.dateFormat != 0 || cell.timeFormat != 0) {
                brisko::WQDateTime(cell.number)
                    .GetDateTimeStr(cell.dateFormat, cell.timeFormat, room);
                return std::string_view(room);
            }
            return std::string_view(room, WriteShortestNumber(room, cell.number));
    }
    return std::string_view();
}

std::string CellDisplay(const Cell& cell, std::string_view text) {
    char room[kShownRoom];
    return std::string(CellShown(cell, text, room));
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
