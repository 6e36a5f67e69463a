// Tests of the import options: defaults by kind, the store, option strings.
#include <gtest/gtest.h>

#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

TEST(ImportDefaults, DependOnTheKind) {
    struct Case {
        FileKind kind;
        const char* delimiters;
        const char* qualifiers;
        bool eat;
    } cases[] = {
        {KIND_CSV, ",", "\"", false},     {KIND_TXT, ",\t; ", "\"'", true},
        {KIND_DAT, ",\t; ", "\"'", true}, {KIND_BNA, ",\t; ", "\"'", true},
        {KIND_BLN, ",\t; ", "\"'", true},
    };
    for (const Case& c : cases) {
        RecordingManager m;
        DatImportFilter f(m, c.kind);
        EXPECT_EQ(f.delimiters.str(), c.delimiters);
        EXPECT_EQ(f.qualifiers.str(), c.qualifiers);
        EXPECT_EQ(f.eatWhitespace, c.eat);
        EXPECT_FALSE(f.aggressiveConversion);
        EXPECT_EQ(f.decimalSymbol.str(), ".");
        EXPECT_EQ(f.maxRow, kNoLimit);
        EXPECT_EQ(f.maxCol, kNoLimit);
        EXPECT_FALSE(f.dateTimeSupport);
    }
}

TEST(ApplyStringOptions, AnEmptyStringResetsAndSavesWithoutTheQualifier) {
    RecordingManager m;
    DatImportFilter f(m, KIND_TXT);
    f.startRow = 5;
    f.columnBreaks = {0, 4, kNoLimit};
    f.ApplyStringOptions(RString(""));
    EXPECT_EQ(f.startRow, 0);
    EXPECT_TRUE(f.columnBreaks.empty());
    EXPECT_EQ(m.writes, (std::vector<std::string>{
                            "UseFixedWidth=false", "StartRow=0", "ColumnBreaks=", "Delimiter=,\t; ",
                            "DecimalSymbol=.", "EatWhitespace=true", "SkipExtraDelimiters=false",
                            "ImportCodePage=0", "AggressiveConversion=false (session)",
                            "MaxRow=2147483647 (session)", "MaxCol=2147483647 (session)"}));
}

TEST(ApplyStringOptions, WithoutDefaultsLoadsTheStoreButNotItsBreaks) {
    RecordingManager m;
    m.IoManager::SetOption("ColumnBreaks", "5 9", true);
    m.IoManager::SetOption("StartRow", 3, true);
    m.IoManager::SetOption("Delimiter", "semicolon", true);
    DatImportFilter f(m, KIND_TXT);
    f.ApplyStringOptions(RString("Defaults=false"));
    EXPECT_EQ(f.startRow, 3);
    EXPECT_TRUE(f.columnBreaks.empty());
    EXPECT_FALSE(f.delimiterGiven);
    EXPECT_EQ(f.delimiters.str(), ";");
    EXPECT_EQ(m.writes[2], "ColumnBreaks=");
}

TEST(ApplyStringOptions, CharacterOptionsAndTheirGivenFlags) {
    struct Case {
        FileKind kind;
        const char* options;
        const char* delimiters;
        bool delimiterGiven;
        const char* qualifiers;
        bool qualifierGiven;
        const char* decimal;
        bool decimalGiven;
    } cases[] = {
        {KIND_TXT, "Delimiter=tab,semicolon", "\t;", true, "\"'", false, ".", false},
        {KIND_TXT, "DecimalSymbol=comma", ",\t; ", false, "\"'", false, ",", true},
        {KIND_DAT, "DecimalSymbol=comma", ",\t; ", false, "\"'", false, ".", false},
        {KIND_CSV, "DecimalSymbol=comma;TextQualifier=none", ",", false, "", true, ".", false},
        {KIND_TXT, "Delimiter=|;TextQualifier='", "|", true, "'", true, ".", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        RecordingManager m;
        DatImportFilter f(m, c.kind);
        f.ApplyStringOptions(RString(c.options));
        EXPECT_EQ(f.delimiters.str(), c.delimiters);
        EXPECT_EQ(f.delimiterGiven, c.delimiterGiven);
        EXPECT_EQ(f.qualifiers.str(), c.qualifiers);
        EXPECT_EQ(f.qualifierGiven, c.qualifierGiven);
        EXPECT_EQ(f.decimalSymbol.str(), c.decimal);
        EXPECT_EQ(f.decimalGiven, c.decimalGiven);
    }
}

TEST(ApplyStringOptions, ForgetOptionsAndTheDatKindSaveForTheSessionOnly) {
    for (auto [kind, options] :
         {std::pair{KIND_TXT, "ForgetOptions=true"}, std::pair{KIND_DAT, ""}}) {
        RecordingManager m;
        DatImportFilter f(m, kind);
        f.ApplyStringOptions(RString(options));
        ASSERT_FALSE(m.writes.empty());
        for (const std::string& w : m.writes)
            EXPECT_NE(w.find("(session)"), std::string::npos) << w;
    }
}

TEST(LoadImportOptions, ReadsTheStoreAndNormalizesKeywords) {
    RecordingManager m;
    m.IoManager::SetOption("UseFixedWidth", true, false);
    m.IoManager::SetOption("Delimiter", "Tab, Comma", false);
    m.IoManager::SetOption("TextQualifier", "none", false);
    m.IoManager::SetOption("MaxRow", -1, false);
    m.IoManager::SetOption("DecimalSymbol", ",", false);
    m.IoManager::SetOption("ColumnBreaks", "8,4", false);
    m.IoManager::SetOption("DateTimeSupport", true, false);
    DatImportFilter f(m, KIND_TXT);
    f.LoadImportOptions(true);
    EXPECT_TRUE(f.useFixedWidth);
    EXPECT_EQ(f.delimiters.str(), "\t,");
    EXPECT_EQ(f.qualifiers.str(), "");
    EXPECT_EQ(f.maxRow, -1);
    EXPECT_TRUE(f.dateTimeSupport);
    EXPECT_EQ(f.columnBreaks, (std::vector<int32_t>{0, 4, 8, kNoLimit}));
    // The decimal symbol is saved but never loaded.
    EXPECT_EQ(f.decimalSymbol.str(), ".");
}

}  // namespace
}  // namespace dornel::test
