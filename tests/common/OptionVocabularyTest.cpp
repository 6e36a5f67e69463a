// Tests of the keyword vocabulary of the character options and of the option listing.
#include "common/OptionVocabulary.h"

#include <gtest/gtest.h>

namespace dornel::test {
namespace {

TEST(NormalizeOptionValue, TurnsKeywordsIntoCharacters) {
    struct Case {
        const char* option;
        const char* value;
        const char* expected;
    } cases[] = {
        {"Delimiter", ",\t; ", ",\t; "},
        {"Delimiter", "Tab, Comma", "\t,"},
        {"Delimiter", "tab semicolon equals", "\t;="},
        {"Delimiter", "tab|", "tab|"},
        {"Delimiter", "Tab,X", "\tx"},
        {"Delimiter", "|", "|"},
        {"Delimiter", ", ,", ", ,"},
        {"Delimiter", " \tspace\t ", " "},
        {"Delimiter", "SEMICOLON", ";"},
        {"delimiter", "comma", ","},
        {"TextQualifier", "none", ""},
        {"TextQualifier", "DoubleQuote,SINGLEQUOTE", "\"'"},
        {"TextQualifier", "doublequote,quote", "\""},
        {"TextQualifier", "quote", "quote"},
        {"TextQualifier", "\"'", "\"'"},
        {"textqualifier", "none doublequote", "\""},
        {"DecimalSymbol", "period", "."},
        {"DecimalSymbol", "comma", ","},
        {"DecimalSymbol", "Period", "Period"},
        {"DecimalSymbol", "comma ", "comma "},
        {"StartRow", "tab", "tab"},
        {"", "comma", "comma"},
    };
    for (const Case& c : cases) {
        RString value(c.value);
        NormalizeOptionValue(c.option, value);
        EXPECT_EQ(value.str(), c.expected) << c.option << " = [" << c.value << "]";
    }
}

TEST(FormatOptionsListing, WritesCharacterOptionsAsKeywordsInStoreOrder) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> options;
        const char* expected;
    } cases[] = {
        {{{"Delimiter", ",\t"}, {"TextQualifier", "\"'"}, {"StartRow", "2"}},
         "Delimiter=comma,tab;TextQualifier=doublequote,quote;StartRow=2"},
        {{{"TextQualifier", ""}}, "TextQualifier=none"},
        {{{"TextQualifier", "|"}}, "TextQualifier="},
        {{{"TextQualifier", "x\""}}, "TextQualifier=,doublequote"},
        {{{"delimiter", "; =|"}}, "delimiter=semicolon,space,=,|"},
        {{{"Delimiter", ""}}, "Delimiter="},
        {{{"DecimalSymbol", ","}}, "DecimalSymbol=,"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        qorvix::IoManager manager;
        for (const auto& [name, value] : c.options)
            manager.SetOption(name, value, false);
        EXPECT_EQ(FormatOptionsListing(manager).str(), c.expected);
    }
}

}  // namespace
}  // namespace dornel::test
