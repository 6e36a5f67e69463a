// The plug-in's reading of numbers: correctly rounded, and in agreement with the host's number
// test.
#include "common/DecimalText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "host/brisko/File.h"

namespace dornel::test {
namespace {

TEST(IsNumber, AgreesWithWhatWideToDoubleReads) {
    struct Case {
        const char16_t* text;
        bool number;
        double value;  // what _wtof reads
    } cases[] = {
        {u"12", true, 12},     {u" 1.5e3 ", true, 1500}, {u"1 2 3", true, 1},
        {u"12 kg", true, 12},  {u"-0.25", true, -0.25},  {u"+7", true, 7},
        {u".5", true, 0.5},    {u"5.", true, 5},         {u"1E-3", true, 0.001},
        {u"\t42\r", true, 42}, {u"12abc", false, 12},    {u"abc", false, 0},
        {u"", false, 0},       {u" kg", false, 0},       {u".", false, 0},
        {u"-", false, 0},      {u"1e", false, 1},        {u"1e+", false, 1},
        {u"1,5", false, 1},    {u"0x10", false, 0},      {u"1e400", true, HUGE_VAL},
        {u"1e-400", true, 0},  {u"--1", false, 0},       {u"1.2.3", false, 1.2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::u16string(c.text)));
        EXPECT_EQ(brisko::IsNumber(c.text), c.number);
        EXPECT_EQ(WideToDouble(c.text), c.value);
    }
}

TEST(WideToDouble, RoundsCorrectlyOnRandomDecimals) {
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int> digits(1, 19), point(0, 20), exponent(-30, 30), coin(0, 3);
    for (int i = 0; i < 200000; ++i) {
        std::string text = coin(rng) == 0 ? "-" : "";
        const int n = digits(rng);
        const int dot = point(rng);
        for (int k = 0; k < n; ++k) {
            if (k == dot)
                text += '.';
            text += static_cast<char>('0' + rng() % 10);
        }
        if (coin(rng) == 0)
            text += "e" + std::to_string(exponent(rng));
        const std::u16string wide(text.begin(), text.end());
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(WideToDouble(wide.c_str()), expected) << text;
    }
}

TEST(IsNumber, LongDigitRunsKeepTheirMagnitude) {
    std::u16string digits(150, u'9');
    EXPECT_NEAR(WideToDouble(digits.c_str()) / 1e150, 1.0, 1e-12);
    std::u16string fraction = u"0." + std::u16string(120, u'0') + u"5";
    EXPECT_NEAR(WideToDouble(fraction.c_str()), 0.0, 1e-100);
}

}  // namespace
}  // namespace dornel::test
