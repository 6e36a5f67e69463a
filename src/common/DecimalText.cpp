// The general decimal reader: any number of digits and any exponent, through the standard one.
#include "common/DecimalText.h"

#include <charconv>
#include <system_error>

namespace dornel {

double WideToDoubleInGeneral(const char16_t* p) {
    char buf[128];
    size_t n = 0;
    bool negative = false;
    if (*p == u'+' || *p == u'-') {
        negative = *p == u'-';
        ++p;
    }
    size_t digits = 0;
    // Runs of digits longer than the buffer keep their magnitude through the exponent.
    int64_t droppedIntDigits = 0;
    while (*p >= u'0' && *p <= u'9') {
        if (n < 100)
            buf[n++] = static_cast<char>(*p);
        else
            ++droppedIntDigits;
        ++p;
        ++digits;
    }
    if (*p == u'.') {
        const char16_t* q = p + 1;
        size_t frac = 0;
        const bool dotAdded = n < 100;
        if (dotAdded)
            buf[n++] = '.';
        while (*q >= u'0' && *q <= u'9') {
            if (dotAdded && n < 110)
                buf[n++] = static_cast<char>(*q);
            ++q;
            ++frac;
        }
        if (digits + frac == 0)
            return 0.0;
        digits += frac;
        p = q;
    }
    if (digits == 0)
        return 0.0;
    int64_t exponent = droppedIntDigits;
    if (*p == u'e' || *p == u'E') {
        const char16_t* q = p + 1;
        bool expNegative = false;
        if (*q == u'+' || *q == u'-') {
            expNegative = *q == u'-';
            ++q;
        }
        if (*q >= u'0' && *q <= u'9') {
            int64_t e = 0;
            while (*q >= u'0' && *q <= u'9') {
                if (e < 100000)
                    e = e * 10 + (*q - u'0');
                ++q;
            }
            exponent += expNegative ? -e : e;
        }
    }
    if (exponent != 0) {
        buf[n] = 'e';
        auto r = std::to_chars(buf + n + 1, buf + sizeof buf - 1, static_cast<long long>(exponent));
        n = static_cast<size_t>(r.ptr - buf);
    }
    double value = 0.0;
    auto result = std::from_chars(buf, buf + n, value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; strtod gives inf or 0.
        value = exponent > 0 ? __builtin_huge_val() : 0.0;
    }
    return negative ? -value : value;
}

}  // namespace dornel
