// Dates and times: serial days from 1899-12-30, format codes, parsing and formatting.
#include "host/brisko/DateTime.h"

#include <date/date.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace brisko {

namespace {

const char* const kDateFormats[DF_COUNT] = {
    "",           "yyyy-mm-dd",   "m/d/yyyy",   "d/m/yyyy", "dd.mm.yyyy",
    "d-mmm-yyyy", "mmmm d, yyyy", "yyyy/mm/dd", "d-mmm-yy", "m/d/yy",
};
const char* const kTimeFormats[TF_COUNT] = {
    "", "h:mm", "h:mm:ss", "h:mm AM/PM", "h:mm:ss AM/PM", "h:mm:ss.000",
};
const char* const kMonthNames[12] = {"January",   "February", "March",    "April",
                                     "May",       "June",     "July",     "August",
                                     "September", "October",  "November", "December"};

constexpr date::sys_days kEpoch = date::sys_days(date::year{1899} / 12 / 30);
constexpr int64_t kMillisPerDay = 86400000;

struct Parts {
    int year = 0, month = 0, day = 0;
    int64_t millis = 0;  // time of day
};

bool ValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999)
        return false;
    return date::year_month_day(date::year{y}, date::month{static_cast<unsigned>(m)},
                                date::day{static_cast<unsigned>(d)})
        .ok();
}

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

/// A small scanner over the text being parsed.
class Scanner {
  public:
    explicit Scanner(const std::string& s) : s_(s) {}
    bool AtEnd() const { return i_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
    size_t Pos() const { return i_; }
    void Reset(size_t pos) { i_ = pos; }
    void SkipBlanks() {
        while (!AtEnd() && (s_[i_] == ' ' || s_[i_] == '\t'))
            ++i_;
    }
    bool Take(char c) {
        if (Peek() != c)
            return false;
        ++i_;
        return true;
    }
    /// A run of 1 to maxDigits digits.
    bool Number(int& value, int& digits, int maxDigits = 4) {
        size_t start = i_;
        value = 0;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(s_[i_])) &&
               static_cast<int>(i_ - start) < maxDigits + 1) {
            value = value * 10 + (s_[i_] - '0');
            ++i_;
        }
        digits = static_cast<int>(i_ - start);
        if (digits == 0 || digits > maxDigits) {
            i_ = start;
            return false;
        }
        return true;
    }
    /// A month name or its three-letter form; gives 1 to 12.
    bool MonthName(int& month) {
        size_t start = i_;
        std::string word;
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(s_[i_])))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i_++])));
        for (int m = 0; m < 12; ++m) {
            std::string full = kMonthNames[m];
            for (char& c : full)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (word == full || (word.size() == 3 && full.compare(0, 3, word) == 0) ||
                (word == "sept" && m == 8)) {
                month = m + 1;
                return true;
            }
        }
        i_ = start;
        return false;
    }
    bool Word(const char* w) {
        size_t n = std::strlen(w);
        if (s_.size() - i_ < n)
            return false;
        for (size_t k = 0; k < n; ++k)
            if (std::tolower(static_cast<unsigned char>(s_[i_ + k])) != w[k])
                return false;
        i_ += n;
        return true;
    }

  private:
    const std::string& s_;
    size_t i_ = 0;
};

int FullYear(int year, int digits) {
    if (digits == 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

bool ParseNumericDate(Scanner& sc, Parts& p, int& code) {
    const size_t start = sc.Pos();
    int a, b, c, da, db, dc;
    if (!sc.Number(a, da))
        return false;
    const char sep = sc.Peek();
    if (sep != '-' && sep != '/' && sep != '.') {
        sc.Reset(start);
        return false;
    }
    sc.Take(sep);
    // Day, month name, year: 5-Mar-2024.
    int month;
    if (da <= 2 && sep != '.' && sc.MonthName(month)) {
        if (sc.Take(sep) && sc.Number(c, dc) && (dc == 2 || dc == 4)) {
            p.day = a, p.month = month, p.year = FullYear(c, dc);
            code = dc == 2 ? DF_D_MON_YY : DF_D_MON_Y;
            return true;
        }
        sc.Reset(start);
        return false;
    }
    if (!sc.Number(b, db, 2) || !sc.Take(sep) || !sc.Number(c, dc)) {
        sc.Reset(start);
        return false;
    }
    if (da == 4) {
        if (dc > 2) {
            sc.Reset(start);
            return false;
        }
        p.year = a, p.month = b, p.day = c;
        code = sep == '/' ? DF_YMD_SLASH : DF_ISO;
        return true;
    }
    if (da > 2 || (dc != 2 && dc != 4)) {
        sc.Reset(start);
        return false;
    }
    p.year = FullYear(c, dc);
    if (sep == '.' || a > 12) {
        p.day = a, p.month = b;
        code = sep == '.' ? DF_DMY_DOT : DF_DMY_SLASH;
    } else {
        p.month = a, p.day = b;
        code = dc == 2 ? DF_MDY_SHORT : DF_MDY_SLASH;
    }
    return true;
}

bool ParseNamedDate(Scanner& sc, Parts& p, int& code) {
    const size_t start = sc.Pos();
    int month, d, y, dd, dy;
    // March 5, 2024 / Mar 5 2024
    if (sc.MonthName(month)) {
        sc.SkipBlanks();
        if (sc.Number(d, dd, 2)) {
            sc.Take(',');
            sc.SkipBlanks();
            if (sc.Number(y, dy) && dy == 4) {
                p.month = month, p.day = d, p.year = y;
                code = DF_MONTH_D_Y;
                return true;
            }
        }
        sc.Reset(start);
        return false;
    }
    // 5 March 2024
    if (sc.Number(d, dd, 2)) {
        sc.SkipBlanks();
        if (sc.MonthName(month)) {
            sc.SkipBlanks();
            if (sc.Number(y, dy) && (dy == 4 || dy == 2)) {
                p.month = month, p.day = d, p.year = FullYear(y, dy);
                code = dy == 2 ? DF_D_MON_YY : DF_D_MON_Y;
                return true;
            }
        }
    }
    sc.Reset(start);
    return false;
}

bool ParseTime(Scanner& sc, Parts& p, int& code) {
    const size_t start = sc.Pos();
    int h, m, s = 0, dh, dm, ds;
    if (!sc.Number(h, dh, 2) || !sc.Take(':') || !sc.Number(m, dm, 2) || dm != 2) {
        sc.Reset(start);
        return false;
    }
    bool seconds = false;
    int millis = 0;
    bool fraction = false;
    if (sc.Take(':')) {
        if (!sc.Number(s, ds, 2) || ds != 2) {
            sc.Reset(start);
            return false;
        }
        seconds = true;
        if (sc.Take('.')) {
            int f, df;
            if (!sc.Number(f, df, 3)) {
                sc.Reset(start);
                return false;
            }
            millis = df == 1 ? f * 100 : df == 2 ? f * 10 : f;
            fraction = true;
        }
    }
    const size_t beforeMarker = sc.Pos();
    sc.SkipBlanks();
    bool pm = false, ampm = false;
    if (sc.Word("am") || sc.Word("a.m.")) {
        ampm = true;
    } else if (sc.Word("pm") || sc.Word("p.m.")) {
        ampm = pm = true;
    } else {
        sc.Reset(beforeMarker);
    }
    if (ampm) {
        if (h < 1 || h > 12)
            return sc.Reset(start), false;
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || s > 59) {
        sc.Reset(start);
        return false;
    }
    p.millis = ((h * 60 + m) * 60 + s) * 1000LL + millis;
    if (fraction)
        code = TF_HMS_MS;
    else if (ampm)
        code = seconds ? TF_HMS_AMPM : TF_HM_AMPM;
    else
        code = seconds ? TF_HMS : TF_HM;
    return true;
}

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

bool WQParseDateTimeStr(const RString& text, double& serial, int& dateFormat, int& timeFormat) {
    const std::string& s = text.str();
    Scanner sc(s);
    sc.SkipBlanks();
    Parts p;
    int dcode = DF_NONE, tcode = TF_NONE;
    bool hasDate = ParseNumericDate(sc, p, dcode) || ParseNamedDate(sc, p, dcode);
    if (hasDate) {
        if (!ValidDate(p.year, p.month, p.day))
            return false;
        const size_t afterDate = sc.Pos();
        if (!sc.Take('T'))
            sc.SkipBlanks();
        if (!ParseTime(sc, p, tcode))
            sc.Reset(afterDate);
    } else if (!ParseTime(sc, p, tcode)) {
        return false;
    }
    sc.SkipBlanks();
    if (!sc.AtEnd())
        return false;
    serial = ToSerial(p, hasDate);
    dateFormat = dcode;
    timeFormat = tcode;
    return true;
}

}  // namespace brisko
