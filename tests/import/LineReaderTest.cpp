// Tests of the line reader: fields and terminators in both modes, qualified sections, long
// fields, raw lines and delimiter detection, at several decoder block sizes.
#include <gtest/gtest.h>

#include <functional>

#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

using Setup = std::function<void(DatImportFilter&)>;

Setup Delimited(const char* delimiters, const char* qualifiers, bool eat, bool skipExtra) {
    return [=](DatImportFilter& f) {
        f.delimiters = RString(delimiters);
        f.qualifiers = RString(qualifiers);
        f.eatWhitespace = eat;
        f.skipExtraDelimiters = skipExtra;
        f.useFixedWidth = false;
        f.reading.BuildCharClasses();
    };
}

Setup FixedWidth(std::vector<int32_t> breaks) {
    return [=](DatImportFilter& f) {
        f.useFixedWidth = true;
        f.columnBreaks = breaks;
    };
}

struct FieldCase {
    const char* name;
    FileKind kind;
    Setup setup;
    std::string input;
    std::vector<std::string> fields;
};

const std::string kLong1500(1500, 'x');

const FieldCase kFieldCases[] = {
    {"empty field between delimiters",
     KIND_TXT,
     Delimited(",", "", false, false),
     "a,,b\n",
     {"a|,", "|,", "b|LF", "|EOF"}},
    {"a run of delimiters counts once",
     KIND_TXT,
     Delimited(",", "", false, true),
     "a,,b\n",
     {"a|,", "b|LF", "|EOF"}},
    {"a delimiter after a space delimiter",
     KIND_TXT,
     Delimited(", ", "", true, false),
     "1 , 2",
     {"1|SP", "2|EOF"}},
    {"last line without line end",
     KIND_TXT,
     Delimited(",", "", false, false),
     "x,y",
     {"x|,", "y|EOF"}},
    {"CR LF, LF and lone CR",
     KIND_TXT,
     Delimited(",", "", false, false),
     "a\r\nb\nc\rd",
     {"a|LF", "b|LF", "c|CR", "d|EOF"}},
    {"fixed width drops every CR",
     KIND_TXT,
     FixedWidth({}),
     "a\r\nb\nc\rd",
     {"a|LF", "b|LF", "cd|EOF"}},
    {"fixed-width columns",
     KIND_TXT,
     FixedWidth({0, 3, kNoLimit}),
     "abcdef\nxy\n",
     {"abc|c", "def|LF", "xy|LF", "|EOF"}},
    {"CSV keeps a line break inside quotes",
     KIND_CSV,
     Delimited(",", "\"", true, false),
     "\"x\ny\",z\n",
     {"x\ny|,", "z|LF", "|EOF"}},
    {"other kinds end the line there",
     KIND_TXT,
     Delimited(",", "\"", true, false),
     "\"x\ny\",z\n",
     {"x|LF", "y,z|LF", "|EOF"}},
    {"another qualifier inside a section is text",
     KIND_TXT,
     Delimited(",", "\"'", true, false),
     "\"it's\",b\n",
     {"it's|,", "b|LF", "|EOF"}},
    {"a doubled qualifier stays doubled",
     KIND_TXT,
     Delimited(",", "'", false, false),
     "'a''b'\n",
     {"a''b|LF", "|EOF"}},
    {"text after a section joins the field",
     KIND_TXT,
     Delimited(",", "'", false, false),
     "'abc'def,ab'cd'ef\n",
     {"abcdef|,", "abcdef|LF", "|EOF"}},
    {"a field ending inside a section",
     KIND_TXT,
     Delimited(",", "'", false, false),
     "'a'b'c",
     {"a'b'c|EOF"}},
    {"a delimiter inside quotes is text",
     KIND_TXT,
     Delimited(",", "\"", false, false),
     "\"a,b\",c\n",
     {"a,b|,", "c|LF", "|EOF"}},
    {"switching qualifier drops the pending closer",
     KIND_TXT,
     Delimited(",", "\"'", false, false),
     "\"a\"'b'\n",
     {"ab|LF", "|EOF"}},
    {"tabs are not eaten",
     KIND_TXT,
     Delimited(",", "", true, false),
     "  a,\tb\n",
     {"a|,", "\tb|LF", "|EOF"}},
    {"a field of 999 characters is cut",
     KIND_TXT,
     Delimited(",", "", false, false),
     kLong1500 + "\n",
     {std::string(999, 'x') + "|x", std::string(501, 'x') + "|LF", "|EOF"}},
    {"a quoted field of 999 characters is cut",
     KIND_TXT,
     Delimited(",", "\"", false, false),
     "\"" + std::string(1200, 'q') + "\"\n",
     {std::string(999, 'q') + "|q", std::string(201, 'q') + "|LF", "|EOF"}},
    {"a long fixed-width column keeps 999",
     KIND_TXT,
     FixedWidth({}),
     kLong1500 + "\nab",
     {std::string(999, 'x') + "|LF", "ab|EOF"}},
    {"a skipped run reaching the end",
     KIND_TXT,
     Delimited(",", "", false, true),
     "a,,,",
     {"a|,", "|EOF"}},
    {"UTF-8 characters are one unit each",
     KIND_TXT,
     Delimited(";", "", false, false),
     "\xC3\xA9t\xC3\xA9;\xE2\x82\xAC\n",
     {"\xC3\xA9t\xC3\xA9|;", "\xE2\x82\xAC|LF", "|EOF"}},
};

class LineReader : public ::testing::TestWithParam<size_t> {};

TEST_P(LineReader, SplitsFieldsAsTheRulesSay) {
    ScopedBlockSize block(GetParam());
    for (const FieldCase& c : kFieldCases) {
        SCOPED_TRACE(c.name);
        FilterOnFile t(c.kind);
        c.setup(t.filter);
        t.Open(c.input);
        EXPECT_EQ(AllFields(t.filter), c.fields);
    }
}

TEST_P(LineReader, ReadsRawLinesWholeWithoutTheirEnds) {
    ScopedBlockSize block(GetParam());
    FilterOnFile t;
    const std::string longLine(2500, 'L');
    t.Open("ab\r\n\n" + longLine + "\r\n\"q\",x\rlast");
    WString line;
    const std::vector<std::string> expected = {"ab", "", longLine, "\"q\",xlast"};
    for (const std::string& e : expected) {
        ASSERT_TRUE(t.filter.reading.ReadRawLine(line));
        EXPECT_EQ(brisko::ToUtf8(line), e);
    }
    EXPECT_FALSE(t.filter.reading.ReadRawLine(line));
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, LineReader, ::testing::Values(1, 2, 3, 7, 65536));

TEST(LineReader, SkipStartRowsStopsAtTheEnd) {
    FilterOnFile t;
    t.Open("h1\nh2\n10\n");
    t.filter.startRow = 2;
    EXPECT_TRUE(t.filter.reading.SkipStartRows());
    Delimited(",", "", false, false)(t.filter);
    EXPECT_EQ(AllFields(t.filter), (std::vector<std::string>{"10|LF", "|EOF"}));
    t.filter.startRow = 1;
    EXPECT_FALSE(t.filter.reading.SkipStartRows());
}

struct DetectCase {
    const char* name;
    const char* delimiters;
    bool eat;
    std::string input;
    std::string expectedDelimiters;  // the characters still of class delimiter
};

std::string DelimiterClasses(const DatImportFilter& f) {
    std::string out;
    for (char c : {'\t', ' ', ',', ';', '|'})
        if (f.reading.charClass[static_cast<unsigned char>(c)] == CLASS_DELIMITER)
            out += c;
    return out;
}

TEST(DetectDelimiter, PicksTheMostFrequentDelimiterAndDropsTheOthers) {
    std::string hundred;
    for (int i = 0; i < 100; ++i)
        hundred += "a;b\n";
    const DetectCase cases[] = {
        {"first to reach the best count wins", ",;", false, "a;b,c;d,e;f,g;h,i;j,k\n", ";"},
        {"a comma as frequent as the space wins", " ,", false, "1 2,3 4,5\n", ","},
        {"the space alone leaves every delimiter", " ,", false, "a b c,d\n", " ,"},
        {"tabs beat commas in the data", "\t,", false, "n,1\tv\tw\nm\tx\ty,z\n", "\t"},
        {"quoted delimiters do not count", ",;", false, "\"a;b;c;d\",e,f\n", ","},
        {"the 101st line end stops the sample", ",;\t", false,
         hundred + std::string(150, ',') + "\n" + std::string(300, '\t') + "\n", ","},
    };
    for (const DetectCase& c : cases) {
        SCOPED_TRACE(c.name);
        FilterOnFile t;
        Delimited(c.delimiters, "\"", c.eat, false)(t.filter);
        t.Open(c.input);
        t.filter.reading.DetectDelimiter();
        EXPECT_EQ(DelimiterClasses(t.filter), c.expectedDelimiters);
        EXPECT_EQ(t.filter.delimiters.str(), c.delimiters);
    }
}

TEST(DetectDelimiter, AGivenDelimiterIsKept) {
    FilterOnFile t;
    Delimited(",;", "", false, false)(t.filter);
    t.filter.delimiterGiven = true;
    t.Open("a;b;c\n");
    t.filter.reading.DetectDelimiter();
    EXPECT_EQ(DelimiterClasses(t.filter), ",;");
    EXPECT_EQ(AllFields(t.filter).front(), "a|;");
}

TEST(DetectDelimiter, RewindsSoThatTheImportStartsAtTheFirstField) {
    FilterOnFile t;
    Delimited(",\t", "", false, false)(t.filter);
    t.Open("x\ty\n");
    t.filter.reading.DetectDelimiter();
    EXPECT_EQ(AllFields(t.filter), (std::vector<std::string>{"x|\t", "y|LF", "|EOF"}));
}

}  // namespace
}  // namespace dornel::test
