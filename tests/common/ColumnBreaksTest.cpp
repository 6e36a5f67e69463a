// Column breaks: their text form and the reader's list.
#include "common/ColumnBreaks.h"

#include <gtest/gtest.h>

namespace dornel::test {
namespace {

TEST(ColumnBreaks, ParseSortsDropsRepeatsAndFormatsBack) {
    struct Case {
        const char* text;
        std::vector<int32_t> breaks;
        const char* formatted;
    } cases[] = {
        {"", {0, kNoLimit}, ""},
        {"10, 24, 32", {0, 10, 24, 32, kNoLimit}, "10 24 32"},
        {"10 24 32", {0, 10, 24, 32, kNoLimit}, "10 24 32"},
        {"32,10,10,24", {0, 10, 24, 32, kNoLimit}, "10 24 32"},
        {"-5", {0, 5, kNoLimit}, "5"},
        {"0 7;", {0, 7, kNoLimit}, "7"},
        {"abc", {0, kNoLimit}, ""},
        {"99999999999 3", {0, 3, kNoLimit}, "3"},
    };
    for (const Case& c : cases) {
        const std::vector<int32_t> breaks = ParseColumnBreaks(c.text);
        EXPECT_EQ(breaks, c.breaks) << c.text;
        EXPECT_EQ(FormatColumnBreaks(breaks).str(), c.formatted) << c.text;
    }
    EXPECT_EQ(FormatColumnBreaks({}).str(), "");
    // The dialog's preview shows the numbers alone.
    EXPECT_EQ(ColumnBreakNumbers("26 6,16 6"), (std::vector<int32_t>{6, 16, 26}));
}

}  // namespace
}  // namespace dornel::test
