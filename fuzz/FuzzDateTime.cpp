// Fuzz target: date and time texts. A text that parses writes back, in its own codes, to a
// text that parses to the same value.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/brisko/DateTime.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    double serial = 0;
    int date = 0, time = 0;
    if (!brisko::WQParseDateTimeStr(brisko::RString(text), serial, date, time))
        return 0;
    char written[40];
    brisko::WQDateTime(serial).GetDateTimeStr(date, time, written);
    double again = 0;
    int date2 = 0, time2 = 0;
    if (!brisko::WQParseDateTimeStr(brisko::RString(written), again, date2, time2))
        std::abort();
    // Two-digit years and 12-hour times keep their value; only milliseconds may round.
    if (std::fabs(again - serial) > 1e-6)
        std::abort();
    char format[40];
    brisko::WQMapFmtTypesToExcelFmtStr(date, time, format);
    int d = -1, t = -1;
    brisko::WQMapExcelFmtStrToFmtTypes(format, d, t);
    if (d != date || t != time)
        std::abort();
    return 0;
}
