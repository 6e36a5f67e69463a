// Tests of a number's shortest text, its measure, which the table view sizes its columns by, and
// its JSON text.
#include "ShortestNumber.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Trace.h"

namespace dornel::app {
namespace {

/// The text the views have always shown: the general writer's shortest text that reads back,
/// in its exponent form past 2^53, where the digits of a whole number would look exact.
std::string General(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    const char* end =
        std::fabs(value) > 9007199254740992.0
            ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific).ptr
            : std::to_chars(buf, buf + sizeof buf, value).ptr;
    return std::string(buf, static_cast<size_t>(end - buf));
}

std::string Shortest(double value) {
    char text[kNumberRoom];
    return std::string(text, WriteShortestNumber(text, value));
}

std::string JsonText(double value) {
    char text[kNumberRoom];
    return std::string(text, WriteJsonNumber(text, value));
}

/// The double a decimal reads as; those past the doubles' range too, as infinity or zero.
double Read(const std::string& decimal) {
    return std::strtod(decimal.c_str(), nullptr);
}

double Next(double v, int steps) {
    for (; steps > 0; --steps)
        v = std::nextafter(v, std::numeric_limits<double>::infinity());
    for (; steps < 0; ++steps)
        v = std::nextafter(v, -std::numeric_limits<double>::infinity());
    return v;
}

/// The numbers where a writer's quick roads end or change their form: the powers of ten and of
/// two and their neighbours, where the decade or the scaling of a number changes; decimals of
/// seven to ten significant digits at every decade, around the most a quick road takes; zeros,
/// subnormal numbers, the largest and whole numbers past 2^53.
std::vector<double> EdgeValues() {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  std::numeric_limits<double>::denorm_min(),
                                  -std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  9007199254740992.0,
                                  9007199254740993.0,
                                  -9007199254740994.0,
                                  123456789012345678.0,
                                  67108864.0,
                                  67108863.0,
                                  99999999.0,
                                  100000000.0,
                                  12345678.5,
                                  0.30000000000000004,
                                  1.0 / 3,
                                  2.0 / 3};
    for (int e = -330; e <= 310; ++e) {
        const double power = Read("1e" + std::to_string(e));
        for (int step = -3; step <= 3; ++step) {
            values.push_back(Next(power, step));
            values.push_back(-Next(power, step));
        }
    }
    for (int b = -1074; b <= 1023; ++b) {
        const double power = std::ldexp(1.0, b);
        for (int step = -2; step <= 2; ++step)
            values.push_back(Next(power, step));
    }
    // Seven to ten digits, ending in each digit, at every decade from 1e-20 to 1e20.
    const char* const kDigits[] = {"1234567",    "9999999",    "12345678",   "99999999",
                                   "10000001",   "123456789",  "999999999",  "100000001",
                                   "1234567891", "4503599627", "5000000000", "7"};
    for (const char* digits : kDigits)
        for (int e = -28; e <= 20; ++e)
            for (const char* sign : {"", "-"}) {
                const double v = Read(std::string(sign) + digits + "e" + std::to_string(e));
                values.push_back(v);
                values.push_back(Next(v, 1));
                values.push_back(Next(v, -1));
            }
    return values;
}

/// Random numbers of the kinds the quick roads meet: short decimals as data files hold them,
/// whole numbers with zeros at the end, and any bits at all.
std::vector<double> RandomValues() {
    std::vector<double> values;
    std::mt19937_64 rng(29);
    for (int i = 0; i < 200000; ++i) {
        const int64_t whole = static_cast<int64_t>(rng() % 2000000000000000) - 1000000000000000;
        values.push_back(static_cast<double>(whole));
        values.push_back(static_cast<double>(whole / 1000 * 1000));
        values.push_back(static_cast<double>(whole % 100000000) /
                         std::pow(10.0, static_cast<int>(rng() % 24)));
        values.push_back(Read(std::to_string(whole % 1000000000) + "e" +
                              std::to_string(static_cast<int>(rng() % 44) - 30)));
        double bits;
        const uint64_t r = rng();
        std::memcpy(&bits, &r, sizeof bits);
        values.push_back(bits);
    }
    return values;
}

TEST(ShortestNumber, EveryNumberIsWrittenAsTheGeneralWriterWritesIt) {
    for (const auto& values : {EdgeValues(), RandomValues()})
        for (const double v : values)
            ASSERT_EQ(Shortest(v), General(v)) << std::hexfloat << v;
}

TEST(ShortestNumber, TheLengthIsThatOfTheTextWritten) {
    for (const auto& values : {EdgeValues(), RandomValues()})
        for (const double v : values)
            ASSERT_EQ(ShortestNumberLength(v), Shortest(v).size()) << Shortest(v);
}

TEST(ShortestNumber, TheJsonTextIsTheTraceLibrarysAndReadsBack) {
    // The JSON view's bytes were always the trace library's dump of the number.
    for (const auto& values : {EdgeValues(), RandomValues()})
        for (const double v : values) {
            const std::string json = JsonText(v);
            ASSERT_EQ(json, NumberJson(v).dump()) << std::hexfloat << v;
            if (std::isfinite(v)) {
                double back = 0;
                std::from_chars(json.data(), json.data() + json.size(), back);
                ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(v)) << json;
            }
        }
}

/// Where the decimal digits / 10^scale lies from the double it reads as, as a share of the half
/// gap to that double's neighbour on its side: 0 on the double, 1 on the boundary. Exact, for
/// doubles from 2^-8 on, below 2^52, and scales up to 11.
double ShareOfHalfGap(uint64_t digits, int scale, double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    const int shift = 1075 - static_cast<int>(bits >> 52);
    uint64_t power = 1;
    for (int i = 0; i < scale; ++i)
        power *= 10;
    const auto decimal = static_cast<unsigned __int128>(digits) << shift;
    const auto exact = static_cast<unsigned __int128>(fraction | uint64_t{1} << 52) * power;
    const bool below = decimal < exact;
    const double distance = static_cast<double>(below ? exact - decimal : decimal - exact);
    return distance / (static_cast<double>(power) / (below && fraction == 0 ? 4 : 2));
}

TEST(ShortestNumber, TheJsonTextIsTheLibrarysForDecimalsUpToTheEdgeOfTheirDouble) {
    // The trace library finds a number's digits in a narrowed interval: a decimal close enough
    // to the boundary between two doubles, though it is the shortest text that reads back, is
    // not what that library writes. The view's own roads must leave exactly those to it.
    std::mt19937_64 rng(2912);
    int nearEdge = 0, libraryLonger = 0;
    for (int i = 0; i < 3000000; ++i) {
        const int count = 1 + static_cast<int>(rng() % 9);
        uint64_t digits = 1;
        for (int d = 0; d < count; ++d)
            digits = digits * 10 + rng() % 10;
        const int scale = static_cast<int>(rng() % 12);
        const double value = Read(std::to_string(digits) + "e-" + std::to_string(scale));
        if (!(value >= 0.00390625 && value < 4503599627370496.0))
            continue;
        const double share = ShareOfHalfGap(digits, scale, value);
        if (share < 0.9)
            continue;
        ++nearEdge;
        const std::string library = NumberJson(value).dump();
        libraryLonger += library.size() > Shortest(value).size() + 1 ? 1 : 0;
        ASSERT_EQ(JsonText(value), library)
            << std::hexfloat << value << std::defaultfloat << " at " << share;
        ASSERT_EQ(JsonText(-value), NumberJson(-value).dump()) << std::hexfloat << -value;
    }
    // The draw reaches the band, and past the place where the library's digits change.
    EXPECT_GT(nearEdge, 100000);
    EXPECT_GT(libraryLonger, 50);
}

}  // namespace
}  // namespace dornel::app
