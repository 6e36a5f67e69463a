// Tests of the cell converter: which records each field becomes, with and without the
// permissive number rules, dates, refusals and the preview.
#include <gtest/gtest.h>

#include "host/brisko/SystemInfo.h"
#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

struct Emitted {
    bool result;
    uint32_t col;
    std::vector<std::string> records;
};

Emitted Emit(FilterOnFile& t, const char16_t* field, bool quoted, char16_t terminator,
             uint32_t col = 0) {
    std::u16string text(field);
    std::copy(text.begin(), text.end(), t.filter.reading.fieldBuffer.begin());
    t.filter.reading.fieldBuffer[text.size()] = 0;
    t.filter.reading.fieldLength = static_cast<int>(text.size());
    t.filter.reading.fieldQuoted = quoted;
    t.manager.records.clear();
    uint32_t row = 4;
    const bool result = t.filter.EmitField(row, col, terminator);
    EXPECT_EQ(row, 4u);
    return {result, col, t.manager.records};
}

struct ConvertCase {
    const char* name;
    const char16_t* field;
    bool quoted;
    char16_t terminator;
    bool aggressive;
    bool delimiterGiven;
    const char* decimal;
    std::vector<std::string> records;
};

TEST(EmitField, TurnsEachFieldIntoTheRightCells) {
    const ConvertCase cases[] = {
        {"empty field ending a line", u"", false, 10, false, false, ".", {}},
        {"empty field ending the file", u"", false, 0xFFFF, false, false, ".", {}},
        {"empty field ending with CR", u"", false, 13, false, false, ".", {}},
        {"empty field between delimiters", u"", false, u',', false, false, ".", {"empty 4 0"}},
        {"quoted digits are text", u"12", true, 10, false, false, ".", {"text 4 0 12"}},
        {"plain number", u"-2.5e3", false, 10, false, false, ".", {"number 4 0 -2500"}},
        {"decimal comma", u"3,5", false, 10, false, false, ",", {"number 4 0 3.5"}},
        {"text with a comma", u"Smith, J", false, u'\t', false, false, ".", {"text 4 0 Smith, J"}},
        {"digits then letters", u"12abc", false, 10, false, false, ".", {"text 4 0 12abc"}},
        {"trailing blanks removed", u"12 \t", false, 10, false, false, ".", {"number 4 0 12"}},
        {"trailing blanks kept when the delimiter was given",
         u"12 ",
         false,
         10,
         false,
         true,
         ".",
         {"text 4 0 12 "}},
        {"two numbers are a text", u"1 2", false, 10, false, false, ".", {"text 4 0 1 2"}},
        {"leading blanks are fine", u"  7", false, 10, false, false, ".", {"number 4 0 7"}},
        {"currency and thousands",
         u"$1,234.50",
         false,
         10,
         true,
         false,
         ".",
         {"number 4 0 1234.5"}},
        {"three numbers",
         u"1 2 3",
         false,
         10,
         true,
         false,
         ".",
         {"number 4 0 1", "number 4 1 2", "number 4 2 3"}},
        {"number and unit",
         u"12 kg",
         false,
         10,
         true,
         false,
         ".",
         {"number 4 0 12", "text 4 1  kg"}},
        {"aggressive text", u"abc", false, 10, true, false, ".", {"text 4 0 abc"}},
        {"aggressive quoted", u"$5", true, 10, true, false, ".", {"text 4 0 $5"}},
    };
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.name);
        FilterOnFile t;
        t.filter.aggressiveConversion = c.aggressive;
        t.filter.delimiterGiven = c.delimiterGiven;
        t.filter.decimalSymbol = RString(c.decimal);
        const Emitted e = Emit(t, c.field, c.quoted, c.terminator);
        EXPECT_TRUE(e.result);
        EXPECT_EQ(e.records, c.records);
        uint32_t cells = 0;
        for (const std::string& r : c.records)
            cells += r.rfind("format", 0) != 0;
        EXPECT_EQ(e.col, cells);
    }
}

TEST(EmitField, DatesBecomeAFormatAndASerialNumber) {
    FilterOnFile t;
    t.filter.dateTimeSupport = true;
    Emitted e = Emit(t, u"2024-03-05", false, 10, 2);
    EXPECT_EQ(e.records, (std::vector<std::string>{"format 4 2 yyyy-mm-dd", "number 4 2 45356"}));
    EXPECT_EQ(e.col, 3u);
    // A refused format leaves the field a text.
    t.manager.refuseAt = 3;
    e = Emit(t, u"5/3/2024 14:30", true, 10, 0);
    EXPECT_EQ(e.records, (std::vector<std::string>{"refused format 4 0 m/d/yyyy h:mm",
                                                   "text 4 0 5/3/2024 14:30"}));
    EXPECT_EQ(e.col, 1u);
    // Without date support the same field is a text.
    t.filter.dateTimeSupport = false;
    e = Emit(t, u"2024-03-05", false, 10);
    EXPECT_EQ(e.records, (std::vector<std::string>{"text 4 0 2024-03-05"}));
}

TEST(EmitField, ARefusedRecordStopsAtOnceWithoutAdvancing) {
    FilterOnFile t;
    t.filter.aggressiveConversion = true;
    t.manager.refuseAt = 2;
    const Emitted e = Emit(t, u"1 2 3", false, 10);
    EXPECT_FALSE(e.result);
    EXPECT_EQ(e.col, 1u);
    EXPECT_EQ(e.records, (std::vector<std::string>{"number 4 0 1", "refused number 4 1 2"}));
}

TEST(EmitField, ThePreviewCollectsCellsAndSkipsEmptyOnes) {
    FilterOnFile t;
    t.filter.dateTimeSupport = true;
    std::vector<PreviewCell> cells;
    t.filter.previewSink = &cells;
    EXPECT_EQ(Emit(t, u"", false, u',', 0).col, 1u);
    EXPECT_EQ(Emit(t, u"2.5", false, u',', 1).col, 2u);
    EXPECT_EQ(Emit(t, u"2024-03-05", false, 10, 2).col, 3u);
    EXPECT_TRUE(t.manager.records.empty());
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_FALSE(cells[0].isText);
    EXPECT_EQ(cells[0].col, 1u);
    EXPECT_EQ(cells[0].value, 2.5);
    EXPECT_TRUE(cells[0].text.empty());
    EXPECT_TRUE(cells[1].isText);
    EXPECT_EQ(cells[1].text, u"2024-03-05");
    EXPECT_EQ(cells[1].row, 4u);
}

TEST(StripNumberDecorations, DropsBlanksAtTheEndsCurrencyAndThousands) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"  $1,234.50  ", u"1234.50"}, {u"", u""}, {u"   ", u""}, {u"a $ b", u"a  b"},
        {u"1.234,5", u"1.2345"},
    };
    for (const Case& c : cases) {
        char16_t out[64];
        DatImportFilter::StripNumberDecorations(out, c.in);
        EXPECT_EQ(std::u16string(out), c.out);
    }
    auto& system = brisko::Singleton<brisko::CSystemInfo>::Instance();
    system.SetDefThousandsChar('.');
    char16_t out[64];
    DatImportFilter::StripNumberDecorations(out, u"1.234,5");
    EXPECT_EQ(std::u16string(out), u"1234,5");
    system.SetDefThousandsChar(',');
}

}  // namespace
}  // namespace dornel::test
