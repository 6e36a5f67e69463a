// Tests of the measure of a number's shortest text, which the table view sizes its columns by.
#include "ShortestNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace dornel::app {
namespace {

TEST(ShortestNumber, TheLengthIsThatOfTheTextWritten) {
    // Each form the text takes, and the edges between them: whole numbers with and without the
    // exponent form, zero of either sign, decimals on either side of the exponent form, numbers
    // past 2^53, those with seventeen digits, and the ones written by name.
    std::vector<double> values = {0.0,
                                  -0.0,
                                  7,
                                  -4629,
                                  10,
                                  10000,
                                  100000,
                                  -120000000,
                                  999999999999999,
                                  1e15,
                                  14.4614,
                                  -0.8205103,
                                  0.0001,
                                  1e-5,
                                  -1.5e-5,
                                  1.25e-300,
                                  99999999999999.9,
                                  0.30000000000000004,
                                  9007199254740993.0,
                                  -1e300,
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::denorm_min()};
    std::mt19937_64 rng(29);
    for (int i = 0; i < 100000; ++i) {
        const int64_t whole = static_cast<int64_t>(rng() % 2000000000000000) - 1000000000000000;
        values.push_back(static_cast<double>(whole));
        values.push_back(static_cast<double>(whole / 1000 * 1000));
        values.push_back(static_cast<double>(whole % 100000000) /
                         std::pow(10.0, static_cast<int>(rng() % 24)));
        double bits;
        const uint64_t r = rng();
        std::memcpy(&bits, &r, sizeof bits);
        values.push_back(bits);
    }
    for (const double v : values) {
        char text[kNumberRoom];
        const size_t written = static_cast<size_t>(WriteShortestNumber(text, v) - text);
        ASSERT_EQ(ShortestNumberLength(v), written) << std::string(text, written);
    }
}

}  // namespace
}  // namespace dornel::app
