// Tests of the export options: defaults by kind, option strings, and what is saved.
#include <gtest/gtest.h>

#include "export/ExportTestSupport.h"

namespace dornel::test {
namespace {

TEST(ExportOptions, DefaultsDependOnTheKind) {
    for (FileKind kind : {KIND_CSV, KIND_TXT, KIND_DAT, KIND_BNA, KIND_BLN}) {
        RecordingManager m;
        DatExportFilter f(m, kind);
        EXPECT_EQ(f.delimiterOption.str(), kind == KIND_TXT ? "\t" : ",");
        EXPECT_EQ(f.qualifierOption.str(), kind == KIND_TXT ? "" : "\"");
        EXPECT_EQ(f.decimalOption.str(), ".");
        EXPECT_EQ(f.encodingMethod, 0u);
        EXPECT_EQ(f.codePage, 0u);
    }
}

TEST(ExportOptions, OptionStringsSetAndSave) {
    struct Case {
        FileKind kind;
        const char* store;  // a Delimiter already stored, or empty
        const char* options;
        std::vector<std::string> writes;
    } cases[] = {
        {KIND_TXT,
         "",
         "",
         {"Delimiter=\t", "DecimalSymbol=.", "TextQualifier=none", "ExportEncodingMethod=0",
          "ExportCodepage=0"}},
        {KIND_TXT,
         ";",
         "Defaults=true",
         {"Delimiter=\t", "DecimalSymbol=.", "TextQualifier=none", "ExportEncodingMethod=0",
          "ExportCodepage=0"}},
        {KIND_TXT,
         ";",
         "",
         {"Delimiter=;", "DecimalSymbol=.", "TextQualifier=none", "ExportEncodingMethod=0",
          "ExportCodepage=0"}},
        {KIND_TXT,
         "",
         "DecimalSymbol=comma;TextQualifier=doublequote",
         {"Delimiter=\t", "DecimalSymbol=,", "TextQualifier=\"", "ExportEncodingMethod=0",
          "ExportCodepage=0"}},
        {KIND_DAT,
         "",
         "DecimalSymbol=comma",
         {"Delimiter=,", "DecimalSymbol=.", "TextQualifier=\"", "ExportEncodingMethod=0",
          "ExportCodepage=0"}},
        {KIND_CSV,
         "",
         "Delimiter=tab;ExportEncodingMethod=2;ExportCodepage=1252;ForgetOptions=true",
         {"Delimiter=\t (session)", "DecimalSymbol=. (session)", "TextQualifier=\" (session)",
          "ExportEncodingMethod=2 (session)", "ExportCodepage=1252 (session)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        RecordingManager m;
        if (*c.store)
            m.IoManager::SetOption("Delimiter", c.store, false);
        DatExportFilter f(m, c.kind);
        f.ApplyStringOptions(brisko::RString(c.options));
        EXPECT_EQ(m.writes, c.writes);
    }
}

TEST(ExportOptions, AStoredKeywordIsReadAsItsCharacter) {
    RecordingManager m;
    m.IoManager::SetOption("Delimiter", "semicolon", false);
    m.IoManager::SetOption("TextQualifier", "none", false);
    m.IoManager::SetOption("DecimalSymbol", "comma", false);
    DatExportFilter f(m, KIND_DAT);
    f.LoadExportOptions(true);
    EXPECT_EQ(f.delimiterOption.str(), ";");
    EXPECT_EQ(f.qualifierOption.str(), "");
    EXPECT_EQ(f.decimalOption.str(), ",");
}

}  // namespace
}  // namespace dornel::test
