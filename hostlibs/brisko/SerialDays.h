// What the formatting and the parsing of dates share: serial values, the date and time they
// stand for, and the names of the months. Internal to brisko.
#pragma once

#include <cstdint>

namespace brisko {

extern const char* const kMonthNames[12];

struct Parts {
    int year = 0, month = 0, day = 0;
    int64_t millis = 0;  // time of day
};

/// The serial value of p; its date counts only with hasDate.
double ToSerial(const Parts& p, bool hasDate);
/// The date and time of serial; false when it is not a finite value within the years 1 to 9999.
bool FromSerial(double serial, Parts& p);

}  // namespace brisko
