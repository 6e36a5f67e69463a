// Dates and times: serial values, format codes, spreadsheet format texts, parsing and formatting.
#pragma once

#include <string>

#include <cstdint>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

/// Serial values count days from 1899-12-30 (serial 0); the fraction is the time of day.
///
/// Date format codes (0: no date):
///   1 "yyyy-mm-dd"  2 "m/d/yyyy"  3 "d/m/yyyy"  4 "dd.mm.yyyy"  5 "d-mmm-yyyy"  6 "mmmm d, yyyy"
///   7 "yyyy/mm/dd"  8 "d-mmm-yy"  9 "m/d/yy"
/// Time format codes (0: no time):
///   1 "h:mm"  2 "h:mm:ss"  3 "h:mm AM/PM"  4 "h:mm:ss AM/PM"  5 "h:mm:ss.000"
/// A format text for both joins the two with one space ("yyyy-mm-dd h:mm:ss").
enum DateFormatCode : int {
    DF_NONE = 0,
    DF_ISO = 1,
    DF_MDY_SLASH = 2,
    DF_DMY_SLASH = 3,
    DF_DMY_DOT = 4,
    DF_D_MON_Y = 5,
    DF_MONTH_D_Y = 6,
    DF_YMD_SLASH = 7,
    DF_D_MON_YY = 8,
    DF_MDY_SHORT = 9,
    DF_COUNT
};
enum TimeFormatCode : int {
    TF_NONE = 0,
    TF_HM = 1,
    TF_HMS = 2,
    TF_HM_AMPM = 3,
    TF_HMS_AMPM = 4,
    TF_HMS_MS = 5,
    TF_COUNT
};

/// A date and time from a serial value.
class BRISKO_API WQDateTime {
  public:
    explicit WQDateTime(double serial);
    /// Writes the value with the two codes into buffer (40 bytes, always terminated); a value
    /// outside the years 1 to 9999 is written as a plain number.
    void GetDateTimeStr(int dateFormat, int timeFormat, char buffer[40]) const;

  private:
    double serial_;
};

/// The date code to write a value with, given the current one: the current code when set; else
/// ISO dates when the value has a day part.
BRISKO_API int WQClosestAccurateDateFmt(double serial, int currentDateFormat);
/// The time code, given the current one: a code that shows the value's seconds (and milliseconds)
/// when it has them; with no current code, "h:mm:ss" when the value has a time of day.
BRISKO_API int WQClosestAccurateTimeFmt(double serial, int currentTimeFormat);

/// Maps a spreadsheet number-format text to date and time codes; both 0 when it is no date or
/// time format. Case and the "[$-409]" locale prefix are ignored.
BRISKO_API void WQMapExcelFmtStrToFmtTypes(const char* format, int& dateFormat, int& timeFormat);
/// The format text of two codes into buffer (40 bytes, always terminated); empty for 0 and 0.
BRISKO_API void WQMapFmtTypesToExcelFmtStr(int dateFormat, int timeFormat, char buffer[40]);

/// The order of day, month and year in numeric dates that do not start with a four-digit year.
enum DateOrder : int { DATE_ORDER_MDY, DATE_ORDER_DMY, DATE_ORDER_YMD };
/// The order the process reads dates in; one for every date, so that a column never mixes
/// "03/05/2024" read as 5 March with "14/05/2024" read as 14 May. Until set: the user's
/// locale's (its date format on Linux, its short date order on Windows), month first where the
/// locale says nothing.
BRISKO_API void SetDateOrder(DateOrder order);
BRISKO_API DateOrder GetDateOrder();
/// "mdy", "dmy" or "ymd" (any case); false for anything else.
BRISKO_API bool DateOrderFromName(const std::string& name, DateOrder& order);

/// Reads a date, a time, or a date and time: ISO 8601 ("2024-03-05", "2024-03-05T14:30:00",
/// "2024-03-05 14:30"), numeric dates with '/', '-' or '.' (a four-digit year first, or day,
/// month and a year of two or four digits in the process's DateOrder: a date that does not fit
/// it, such as "14/05/2024" month first, is no date; "05.03.2024", with dots, is always day
/// first), dates with month names ("5-Mar-2024", "March 5, 2024", "5 Mar 2024"), two-digit
/// years (00-29 are 2000-2029, 30-99 1930-1999), and 12- and 24-hour times ("14:30", "2:30 PM",
/// "14:30:15.250"). Leading and trailing blanks are allowed; anything else makes it false, and
/// then the outputs are left unchanged.
BRISKO_API bool WQParseDateTimeStr(const RString& text, double& serial, int& dateFormat,
                                   int& timeFormat);

}  // namespace brisko
