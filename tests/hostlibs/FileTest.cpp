// Tests of the file helpers: the number test against the runtime's reading of numbers, the text
// test, byte-order marks and paths.
#include "host/brisko/File.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <random>

#include "host/Runtime.h"
#include "support/TestSupport.h"

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

TEST(IsFileBinary, JudgesTheSampleAndRejectsWhatCannotBeRead) {
    TempDir dir;
    struct Case {
        const char* name;
        std::string bytes;
        brisko::ConfidenceLevel expected;
    } cases[] = {
        {"plain.txt", "a,b\r\n1,2\n", brisko::CONF_TEXT},
        {"zero.bin", std::string("ab\0cd", 5), brisko::CONF_BINARY},
        {"controls.bin",
         "\x01\x02\x03\x04"
         "a",
         brisko::CONF_BINARY},
        {"utf16.txt", std::string("a\0b\0c\0", 6), brisko::CONF_TEXT},
        {"bom16.txt", std::string("\xFF\xFE\x00\x4e", 4), brisko::CONF_TEXT},
        {"one.txt",
         "abc\x01"
         "defghijklmnop",
         brisko::CONF_TEXT_LOW},
    };
    for (const Case& c : cases)
        EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Write(c.name, c.bytes)), 512),
                  c.expected)
            << c.name;
    EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Path("missing")), 512),
              brisko::CONF_UNREADABLE);
    EXPECT_EQ(brisko::IsFileBinary(brisko::RString(dir.Path("")), 512), brisko::CONF_UNREADABLE);
}

TEST(FileHelpers, SizesMarksAndPaths) {
    TempDir dir;
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("a", "\xEF\xBB\xBFx"))), 3);
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("b", "\xFF\xFEx\0"))), 2);
    EXPECT_EQ(brisko::GetBOMInfo(brisko::RString(dir.Write("c", "xyz"))), 0);
    EXPECT_EQ(brisko::GetFileSize(brisko::RString(dir.Write("d", "12345"))), 5);
    EXPECT_EQ(brisko::GetFileSize(brisko::RString(dir.Path("none"))), -1);
    EXPECT_TRUE(brisko::RemoveFile(brisko::RString(dir.Path("d"))));
    EXPECT_FALSE(brisko::RemoveFile(brisko::RString(dir.Path("d"))));

    EXPECT_EQ(brisko::CPath("dir/sub/data.csv").GetNameAndExtension().str(), "data.csv");
    EXPECT_EQ(brisko::CPath("C:\\dir\\data.CSV").GetExtension().str(), ".CSV");
    EXPECT_EQ(brisko::CPath("dir.v2/noext").GetExtension().str(), "");
}

TEST(CFile, ReadsSeeksAndReportsFailure) {
    TempDir dir;
    brisko::CFile f(brisko::RString(dir.Write("f", "abcdef")), 1, 3, 1);
    EXPECT_EQ(f.GetLength(), 6);
    EXPECT_EQ(f.Seek(2, 0), 2);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 8), 4u);
    EXPECT_STREQ(buf, "cdef");
    brisko::CFile missing(brisko::RString(dir.Path("none")), 1, 3, 1);
    EXPECT_LT(missing.GetLength(), 0);
    EXPECT_EQ(missing.Read(buf, 8), 0u);
}

}  // namespace
}  // namespace dornel::test
