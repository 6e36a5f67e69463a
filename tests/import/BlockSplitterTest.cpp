// Tests of the splitter that takes simple fields from masks of many units: lines of each shape,
// repeated so that masks span several lines, read as the reading thread reads them (the
// splitter, ReadField where it declines) give the fields the line rules give.
#include <gtest/gtest.h>

#include "import/BlockSplitter.h"
#include "import/ImportTestSupport.h"

namespace dornel::test {
namespace {

struct SplitCase {
    const char* name;
    FileKind kind;
    const char* delimiters;
    const char* qualifiers;
    bool eatWhitespace;
    std::string line;
    std::vector<std::string> fields;  // of one line: "text|terminator"
};

// One case a row: easier to read than the formatter's one field a line.
// clang-format off
const SplitCase kSplitCases[] = {
    {"plain fields and an empty one", KIND_TXT, ",", "\"", false,
     "12,ab,,x y\n", {"12|,", "ab|,", "|,", "x y|LF"}},
    {"CR LF ends a line once, a lone CR is a line end", KIND_TXT, ",", "", false,
     "a,b\r\nc\rd\n", {"a|,", "b|LF", "c|CR", "d|LF"}},
    {"a quoted field with delimiters inside", KIND_CSV, ",", "\"", false,
     "\"a,b\",1\n", {"a,b|,", "1|LF"}},
    {"an empty quoted field", KIND_CSV, ",", "\"", false,
     "\"\",\"\"\n", {"|,", "|LF"}},
    {"the other qualifier inside a quoted field is text", KIND_CSV, ",", "\"'", false,
     "\"it's\",'say \"hi\"'\n", {"it's|,", "say \"hi\"|LF"}},
    {"a doubled qualifier stays two", KIND_CSV, ",", "\"", false,
     "\"a\"\"b\",x\n", {"a\"\"b|,", "x|LF"}},
    {"text after the closing qualifier joins the field", KIND_CSV, ",", "\"", false,
     "\"abc\"x,1\n", {"abcx|,", "1|LF"}},
    {"a qualifier within a field opens a section", KIND_CSV, ",", "\"", false,
     "ab\"c,d\"e,1\n", {"abc,de|,", "1|LF"}},
    {"a line end inside quotes is text in CSV", KIND_CSV, ",", "\"", false,
     "\"a\nb\",1\n", {"a\nb|,", "1|LF"}},
    {"a line end inside quotes ends the field elsewhere", KIND_TXT, ",", "\"", false,
     "0,\"a\nb\",1\n", {"0|,", "a|LF", "b,1|LF"}},
    {"blanks at a field's end are trimmed, inside quotes too", KIND_TXT, ",", "\"", false,
     "a ,b\t,\" c \",d  ,\" \"\n", {"a|,", "b|,", " c|,", "d|,", "|LF"}},
    {"spaces at a field's start are eaten", KIND_TXT, ",", "\"", true,
     " a, b,c\n", {"a|,", "b|,", "c|LF"}},
    {"fields of whole pieces after longer ones", KIND_TXT, ",", "\"", false,
     std::string(32, 'a') + "," + std::string(16, 'b') + "," + std::string(24, 'c') + "\n",
     {std::string(32, 'a') + "|,", std::string(16, 'b') + "|,", std::string(24, 'c') + "|LF"}},
    {"a field as long as a mask", KIND_TXT, ",", "\"", false,
     std::string(70, 'z') + ",1\n", {std::string(70, 'z') + "|,", "1|LF"}},
};
// clang-format on

/// Every field as the reading thread reads them, blanks at the end trimmed; taken: how many the
/// splitter took.
std::vector<std::string> SplitFields(DatImportFilter& f, int& taken) {
    std::vector<std::string> out;
    BlockSplitter splitter(f.reading);
    taken = 0;
    for (int guard = 0; guard < 100000; ++guard) {
        char16_t t;
        int length = -1;
        bool quoted = false;
        if (splitter.Next(t, length, quoted)) {
            ++taken;
            // What it gives back is what the reading holds.
            EXPECT_EQ(length, f.reading.fieldLength);
            EXPECT_EQ(quoted, f.reading.fieldQuoted);
            EXPECT_EQ(f.reading.Field()[length], 0);
        } else {
            t = f.reading.ReadField();
            splitter.Resync();
        }
        f.reading.TrimFieldEnd();
        out.push_back(brisko::ToUtf8(f.reading.Field()) + "|" + TerminatorName(t));
        if (t == brisko::kEndOfFile)
            break;
    }
    return out;
}

TEST(BlockSplitter, TakesFieldsAsTheLineRulesGiveThem) {
    constexpr int kLines = 40;
    for (const SplitCase& c : kSplitCases) {
        SCOPED_TRACE(c.name);
        FilterOnFile t(c.kind);
        t.filter.delimiters = RString(c.delimiters);
        t.filter.qualifiers = RString(c.qualifiers);
        t.filter.eatWhitespace = c.eatWhitespace;
        t.filter.reading.BuildCharClasses();
        std::string body;
        std::vector<std::string> expected;
        for (int i = 0; i < kLines; ++i) {
            body += c.line;
            expected.insert(expected.end(), c.fields.begin(), c.fields.end());
        }
        expected.push_back("|EOF");
        t.Open(body);
        int taken = 0;
        EXPECT_EQ(SplitFields(t.filter, taken), expected);
        // Most fields are simple, or at least the field after each declined one is.
        EXPECT_GT(taken, kLines / 2);
    }
}

}  // namespace
}  // namespace dornel::test
