// Export records made of worksheet rows.
#include "RowRecords.h"

#include "host/brisko/CodePage.h"
#include "host/brisko/DateTime.h"

namespace dornel::app {

using namespace qorvix;

TrCellFmt DateFormatRecord(int32_t row, int32_t col, int date, int time) {
    TrCellFmt format(row, col, 0);
    char text[40];
    brisko::WQMapFmtTypesToExcelFmtStr(date, time, text);
    const bool dated = date != 0 || time != 0;
    format.mask = dated ? CELLFMT_DATE_MASK : 0;
    format.category = dated ? CELLFMT_CATEGORY_DATE : 0;
    format.format = brisko::RString(text);
    return format;
}

bool SystemPageIsUtf8() {
    return brisko::GetSystemCodePage() == brisko::kCodePageUtf8;
}

}  // namespace dornel::app
