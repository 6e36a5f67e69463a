// Tests of the writer's number text, which must match the Windows runtime's "%.14lG".
#include "export/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/brisko/CodePage.h"

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
    }
}

}  // namespace
}  // namespace dornel::test
