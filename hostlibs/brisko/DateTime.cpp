// Dates and times: serial days from 1899-12-30, format codes and formatting.
#include "host/brisko/DateTime.h"

#include <date/date.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "SerialDays.h"

namespace brisko {

const char* const kMonthNames[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

namespace {

const char* const kDateFormats[DF_COUNT] = {
    "",           "yyyy-mm-dd",   "m/d/yyyy",   "d/m/yyyy", "dd.mm.yyyy",
    "d-mmm-yyyy", "mmmm d, yyyy", "yyyy/mm/dd", "d-mmm-yy", "m/d/yy",
};
const char* const kTimeFormats[TF_COUNT] = {
    "", "h:mm", "h:mm:ss", "h:mm AM/PM", "h:mm:ss AM/PM", "h:mm:ss.000",
};

constexpr date::sys_days kEpoch = date::sys_days(date::year{1899} / 12 / 30);
constexpr int64_t kMillisPerDay = 86400000;

std::string Lower(const char* s) {
    std::string out;
    for (; *s; ++s)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(*s)));
    return out;
}

std::string Normalised(const char* format) {
    std::string f = Lower(format);
    // A locale prefix such as [$-409] says nothing about the kind of format.
    if (f.size() > 2 && f[0] == '[' && f[1] == '$') {
        size_t close = f.find(']');
        if (close != std::string::npos)
            f.erase(0, close + 1);
    }
    while (!f.empty() && f.front() == ' ')
        f.erase(f.begin());
    while (!f.empty() && f.back() == ' ')
        f.pop_back();
    // "hh" shows the same value as "h".
    for (size_t i; (i = f.find("hh")) != std::string::npos;)
        f.erase(i, 1);
    return f;
}

}  // namespace

double ToSerial(const Parts& p, bool hasDate) {
    double days = 0;
    if (hasDate) {
        const date::sys_days d =
            date::sys_days(date::year{p.year} / date::month{static_cast<unsigned>(p.month)} /
                           date::day{static_cast<unsigned>(p.day)});
        days = static_cast<double>((d - kEpoch).count());
    }
    return days + static_cast<double>(p.millis) / kMillisPerDay;
}

bool FromSerial(double serial, Parts& p) {
    if (!std::isfinite(serial) || serial < -693593.0 || serial > 2958466.0)
        return false;
    int64_t total = static_cast<int64_t>(std::llround(serial * kMillisPerDay));
    int64_t days = total / kMillisPerDay;
    int64_t ms = total % kMillisPerDay;
    if (ms < 0)
        ms += kMillisPerDay, --days;
    const date::year_month_day ymd{kEpoch + date::days{days}};
    p.year = static_cast<int>(ymd.year());
    p.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    p.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    p.millis = ms;
    return p.year >= 1 && p.year <= 9999;
}

WQDateTime::WQDateTime(double serial) : serial_(serial) {}

void WQDateTime::GetDateTimeStr(int dateFormat, int timeFormat, char buffer[40]) const {
    Parts p;
    if (!FromSerial(serial_, p) || dateFormat < 0 || dateFormat >= DF_COUNT || timeFormat < 0 ||
        timeFormat >= TF_COUNT) {
        std::snprintf(buffer, 40, "%.10g", serial_);
        return;
    }
    std::string out;
    char part[40];
    const int y = p.year, m = p.month, d = p.day;
    switch (dateFormat) {
        case DF_ISO:
            std::snprintf(part, sizeof part, "%04d-%02d-%02d", y, m, d);
            break;
        case DF_MDY_SLASH:
            std::snprintf(part, sizeof part, "%d/%d/%04d", m, d, y);
            break;
        case DF_DMY_SLASH:
            std::snprintf(part, sizeof part, "%d/%d/%04d", d, m, y);
            break;
        case DF_DMY_DOT:
            std::snprintf(part, sizeof part, "%02d.%02d.%04d", d, m, y);
            break;
        case DF_D_MON_Y:
            std::snprintf(part, sizeof part, "%d-%.3s-%04d", d, kMonthNames[m - 1], y);
            break;
        case DF_MONTH_D_Y:
            std::snprintf(part, sizeof part, "%s %d, %04d", kMonthNames[m - 1], d, y);
            break;
        case DF_YMD_SLASH:
            std::snprintf(part, sizeof part, "%04d/%02d/%02d", y, m, d);
            break;
        case DF_D_MON_YY:
            std::snprintf(part, sizeof part, "%d-%.3s-%02d", d, kMonthNames[m - 1], y % 100);
            break;
        case DF_MDY_SHORT:
            std::snprintf(part, sizeof part, "%d/%d/%02d", m, d, y % 100);
            break;
        default:
            part[0] = '\0';
            break;
    }
    out = part;
    if (timeFormat != TF_NONE) {
        const int64_t totalSeconds = p.millis / 1000;
        const int ms = static_cast<int>(p.millis % 1000);
        const int h = static_cast<int>(totalSeconds / 3600);
        const int mi = static_cast<int>(totalSeconds / 60 % 60);
        const int s = static_cast<int>(totalSeconds % 60);
        const int h12 = h % 12 == 0 ? 12 : h % 12;
        const char* marker = h < 12 ? "AM" : "PM";
        switch (timeFormat) {
            case TF_HM:
                std::snprintf(part, sizeof part, "%d:%02d", h, mi);
                break;
            case TF_HMS:
                std::snprintf(part, sizeof part, "%d:%02d:%02d", h, mi, s);
                break;
            case TF_HM_AMPM:
                std::snprintf(part, sizeof part, "%d:%02d %s", h12, mi, marker);
                break;
            case TF_HMS_AMPM:
                std::snprintf(part, sizeof part, "%d:%02d:%02d %s", h12, mi, s, marker);
                break;
            default:
                std::snprintf(part, sizeof part, "%d:%02d:%02d.%03d", h, mi, s, ms);
                break;
        }
        if (!out.empty())
            out += ' ';
        out += part;
    }
    std::snprintf(buffer, 40, "%s", out.c_str());
}

int WQClosestAccurateDateFmt(double serial, int currentDateFormat) {
    if (currentDateFormat > DF_NONE && currentDateFormat < DF_COUNT)
        return currentDateFormat;
    return std::floor(serial) != 0.0 ? DF_ISO : DF_NONE;
}

int WQClosestAccurateTimeFmt(double serial, int currentTimeFormat) {
    Parts p;
    if (!FromSerial(serial, p))
        return currentTimeFormat;
    const bool hasMillis = p.millis % 1000 != 0;
    const bool hasSeconds = p.millis % 60000 != 0;
    switch (currentTimeFormat) {
        case TF_NONE:
            if (p.millis == 0)
                return TF_NONE;
            return hasMillis ? TF_HMS_MS : TF_HMS;
        case TF_HM:
            return hasMillis ? TF_HMS_MS : hasSeconds ? TF_HMS : TF_HM;
        case TF_HMS:
            return hasMillis ? TF_HMS_MS : TF_HMS;
        case TF_HM_AMPM:
            return hasMillis ? TF_HMS_MS : hasSeconds ? TF_HMS_AMPM : TF_HM_AMPM;
        case TF_HMS_AMPM:
            return hasMillis ? TF_HMS_MS : TF_HMS_AMPM;
        default:
            return TF_HMS_MS;
    }
}

void WQMapExcelFmtStrToFmtTypes(const char* format, int& dateFormat, int& timeFormat) {
    dateFormat = timeFormat = 0;
    if (!format)
        return;
    const std::string f = Normalised(format);
    if (f.empty())
        return;
    for (int d = 0; d < DF_COUNT; ++d) {
        for (int t = 0; t < TF_COUNT; ++t) {
            if (d == 0 && t == 0)
                continue;
            std::string candidate = Lower(kDateFormats[d]);
            if (t != 0) {
                if (!candidate.empty())
                    candidate += ' ';
                candidate += Lower(kTimeFormats[t]);
            }
            if (candidate == f) {
                dateFormat = d, timeFormat = t;
                return;
            }
        }
    }
    // Formats outside the list still say whether they show a date, a time or both.
    const bool hasDate = f.find('y') != std::string::npos || f.find('d') != std::string::npos;
    const bool hasTime = f.find('h') != std::string::npos;
    if (hasDate)
        dateFormat = DF_ISO;
    if (hasTime) {
        const bool ampm = f.find("am/pm") != std::string::npos;
        const bool secs = f.find('s') != std::string::npos;
        timeFormat = f.find(".0") != std::string::npos ? TF_HMS_MS
                     : ampm                            ? (secs ? TF_HMS_AMPM : TF_HM_AMPM)
                                                       : (secs ? TF_HMS : TF_HM);
    }
}

void WQMapFmtTypesToExcelFmtStr(int dateFormat, int timeFormat, char buffer[40]) {
    std::string out;
    if (dateFormat > 0 && dateFormat < DF_COUNT)
        out = kDateFormats[dateFormat];
    if (timeFormat > 0 && timeFormat < TF_COUNT) {
        if (!out.empty())
            out += ' ';
        out += kTimeFormats[timeFormat];
    }
    std::snprintf(buffer, 40, "%s", out.c_str());
}

}  // namespace brisko
