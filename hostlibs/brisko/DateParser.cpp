// Reading dates and times from text: numeric and named dates, 12- and 24-hour times.
#include "host/brisko/DateTime.h"

#include <date/date.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include "SerialDays.h"

namespace brisko {

namespace {

bool ValidDate(int y, int m, int d) {
    if (y < 1 || y > 9999)
        return false;
    return date::year_month_day(date::year{y}, date::month{static_cast<unsigned>(m)},
                                date::day{static_cast<unsigned>(d)})
        .ok();
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
    const DateOrder order = sep == '.' ? DATE_ORDER_DMY : GetDateOrder();
    if (order == DATE_ORDER_YMD) {
        if (da != 2 || dc != 2) {
            sc.Reset(start);
            return false;
        }
        p.year = FullYear(a, da), p.month = b, p.day = c;
        code = sep == '/' ? DF_YMD_SLASH : DF_ISO;
    } else if (order == DATE_ORDER_DMY) {
        p.year = FullYear(c, dc), p.day = a, p.month = b;
        code = sep == '.' ? DF_DMY_DOT : DF_DMY_SLASH;
    } else {
        p.year = FullYear(c, dc), p.month = a, p.day = b;
        code = dc == 2 ? DF_MDY_SHORT : DF_MDY_SLASH;
    }
    // A day and month that do not fit the order leave the text a text (ValidDate says so).
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

/// The locale's order of day, month and year.
DateOrder LocaleDateOrder() {
#if defined(_WIN32)
    char order[4] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, sizeof order) > 0)
        return order[0] == '1' ? DATE_ORDER_DMY : order[0] == '2' ? DATE_ORDER_YMD : DATE_ORDER_MDY;
    return DATE_ORDER_MDY;
#else
    // The user's date format from the environment, as other programs read it; the process's
    // own locale is left as it is.
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!user)
        return DATE_ORDER_MDY;
    std::string format = nl_langinfo_l(D_FMT, user);
    freelocale(user);
    if (format.find("%D") != std::string::npos)
        return DATE_ORDER_MDY;
    const size_t d = format.find("%d") != std::string::npos ? format.find("%d") : format.find("%e");
    const size_t m = format.find("%m");
    const size_t y = std::min(format.find("%y"), format.find("%Y"));
    if (d == std::string::npos || m == std::string::npos)
        return DATE_ORDER_MDY;
    if (y < d && y < m)
        return DATE_ORDER_YMD;
    return d < m ? DATE_ORDER_DMY : DATE_ORDER_MDY;
#endif
}

std::atomic<int> dateOrder{-1};

}  // namespace

void SetDateOrder(DateOrder order) {
    dateOrder.store(order);
}

DateOrder GetDateOrder() {
    int order = dateOrder.load();
    if (order < 0) {
        order = LocaleDateOrder();
        dateOrder.store(order);
    }
    return static_cast<DateOrder>(order);
}

bool DateOrderFromName(const std::string& name, DateOrder& order) {
    std::string lower;
    for (const char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "mdy")
        order = DATE_ORDER_MDY;
    else if (lower == "dmy")
        order = DATE_ORDER_DMY;
    else if (lower == "ymd")
        order = DATE_ORDER_YMD;
    else
        return false;
    return true;
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
