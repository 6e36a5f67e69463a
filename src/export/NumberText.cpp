// Number text as the Windows runtime writes "%.14lG".
#include "export/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace dornel {

size_t FormatNumber14G(double value, char16_t* out) {
    char buf[40];
    size_t n;
    if (std::isnan(value)) {
        std::memcpy(buf, "NAN", 3);
        n = 3;
    } else if (std::isinf(value)) {
        n = value < 0 ? 4 : 3;
        std::memcpy(buf, value < 0 ? "-INF" : "INF", n);
    } else {
        // to_chars with a precision is printf's %.14g; only the exponent's form differs.
        auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 14);
        n = static_cast<size_t>(r.ptr - buf);
        // The exponent, if any, comes after at least one digit; a loop beats a call here.
        char* e = nullptr;
        for (size_t i = 1; i < n; ++i)
            if (buf[i] == 'e') {
                e = buf + i;
                break;
            }
        if (e) {
            *e = 'E';
            char* digits = e + 2;  // after the sign
            const size_t have = static_cast<size_t>(buf + n - digits);
            if (have < 3) {
                const size_t pad = 3 - have;
                std::memmove(digits + pad, digits, have);
                std::memset(digits, '0', pad);
                n += pad;
            }
        }
    }
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(buf[i]);
    out[n] = 0;
    return n;
}

}  // namespace dornel
