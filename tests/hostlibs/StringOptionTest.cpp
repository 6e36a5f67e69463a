// Tests of the option-string lookup.
#include "host/tembla/StringOption.h"

#include <gtest/gtest.h>

namespace dornel::test {
namespace {

TEST(CommonGetStringOption, FindsNamesWithoutRegardToCaseAndKeepsValuesAsTheyStand) {
    struct Case {
        const char* options;
        const char* name;
        bool found;
        const char* value;
    } cases[] = {
        {"StartRow=2;Delimiter=tab", "StartRow", true, "2"},
        {"StartRow=2;Delimiter=tab", "delimiter", true, "tab"},
        {" StartRow =2", "StartRow", true, "2"},
        {"Delimiter= ", "Delimiter", true, " "},
        {"Delimiter=", "Delimiter", true, ""},
        {"A=1;A=2", "A", true, "2"},
        {"ColumnBreaks=10=20", "ColumnBreaks", true, "10=20"},
        {"StartRow", "StartRow", false, "unchanged"},
        {"StartRowX=1", "StartRow", false, "unchanged"},
        {"", "StartRow", false, "unchanged"},
        {";;;", "StartRow", false, "unchanged"},
    };
    for (const Case& c : cases) {
        brisko::RString value("unchanged");
        EXPECT_EQ(tembla::CommonGetStringOption(brisko::RString(c.options), c.name, ';', value),
                  c.found)
            << c.options;
        EXPECT_EQ(value.str(), c.value) << c.options;
    }
}

}  // namespace
}  // namespace dornel::test
