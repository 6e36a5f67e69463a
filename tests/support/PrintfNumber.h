// The reference for number text: printf's "%.14G", with the exponent widened to the three
// digits the Windows runtime writes.
#pragma once

#include <cstdio>
#include <string>

namespace dornel::test {

inline std::string PrintfNumber14G(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.14G", value);
    std::string s = text;
    const size_t e = s.find('E');
    if (e != std::string::npos && s.size() - e - 2 < 3)
        s.insert(e + 2, 3 - (s.size() - e - 2), '0');
    return s;
}

}  // namespace dornel::test
