// Tests of the writer's number text, which must match the Windows runtime's "%.14lG".
#include "export/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <bit>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host/brisko/CodePage.h"
#include "support/PrintfNumber.h"

namespace dornel::test {
namespace {

TEST(FormatNumber14G, WritesWhatTheWindowsRuntimeWrites) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {1e20, "1E+020"},
        {0.00001, "1E-005"},
        {1e13, "10000000000000"},
        {0.0001, "0.0001"},
        {1e14, "1E+014"},
        {99999999999999.0, "99999999999999"},
        {2.5, "2.5"},
        {-7.0, "-7"},
        {0.0, "0"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.33333333333333"},
        {-2.0 / 3.0, "-0.66666666666667"},
        {1e-300, "1E-300"},
        {1.5e300, "1.5E+300"},
        {123456.789e3, "123456789"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const Case& c : cases) {
        char16_t out[32];
        const size_t n = FormatNumber14G(c.value, out);
        EXPECT_EQ(brisko::ToUtf8(std::u16string(out, n)), c.text);
        EXPECT_EQ(out[n], 0);
        char bytes[32];
        const size_t m = FormatNumber14G(c.value, bytes);
        EXPECT_EQ(std::string(bytes, m), c.text);
        EXPECT_EQ(bytes[m], 0);
    }
}

TEST(FormatNumber14G, AgreesWithPrintfOnNumbersOfEveryKind) {
    // Short decimals as data holds them (the fast road), and doubles with all 17 digits (the
    // general one), over the whole range of exponents.
    std::mt19937_64 rng(11);
    std::vector<double> values = {0.0,
                                  -0.0,
                                  5e-324,
                                  1.7976931348623157e308,
                                  1e-5,
                                  9.99999999999995e-5,
                                  99999999999999.5,
                                  0.000123456789012345,
                                  123456789012345.0};
    for (int i = 0; i < 200000; ++i) {
        const int digits = 1 + static_cast<int>(rng() % 17);
        int64_t mantissa = static_cast<int64_t>(rng() % 100000000000000000ull);
        for (int d = digits; d < 17; ++d)
            mantissa /= 10;
        const int exponent = static_cast<int>(rng() % 60) - 30;
        double v = static_cast<double>(mantissa) * std::pow(10.0, exponent);
        if (rng() % 2)
            v = -v;
        values.push_back(v);
        values.push_back(std::bit_cast<double>(rng()));
    }
    for (double v : values) {
        if (std::isnan(v) || std::isinf(v))
            continue;
        const std::string expected = PrintfNumber14G(v);
        char16_t out[32];
        const size_t n = FormatNumber14G(v, out);
        ASSERT_EQ(brisko::ToUtf8(std::u16string(out, n)), expected) << v;
        char bytes[32];
        ASSERT_EQ(std::string(bytes, FormatNumber14G(v, bytes)), expected) << v;
    }
}

}  // namespace
}  // namespace dornel::test
