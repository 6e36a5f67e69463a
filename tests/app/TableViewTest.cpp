// Tests of the aligned table view.
#include "TableView.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "Output.h"
#include "app/PlacedCells.h"
#include "host/brisko/CodePage.h"

namespace dornel::app {
namespace {

std::string Table(const std::vector<Placed>& cells) {
    Worksheet sheet;
    for (const Placed& p : cells)
        Feed(sheet, p);
    return Captured([&](std::FILE* f) { WriteTable(sheet, f); });
}

TEST(TableView, ColumnsAreAsWideAsTheirWidestCell) {
    // Cells hold text in the system page; the cases are written in UTF-8, as Linux's page is.
    const uint32_t savedPage = brisko::GetSystemCodePage();
    brisko::SetSystemCodePage(brisko::kCodePageUtf8);
    struct Case {
        const char* name;
        std::vector<Placed> cells;
        std::string table;
    } cases[] = {
        {"Empty", {}, "(empty worksheet)\n"},
        // Numbers on the right, texts on the left; no blanks at a line's end.
        {"NumbersAndTexts",
         {{0, 0, "name"}, {0, 1, "v"}, {1, 0, "a"}, {1, 1}},
         "  | A    | B\n"
         "1 | name | v\n"
         "2 | a    | 11\n"},
        // A width counts characters, not bytes; line ends and tabs show as blanks.
        {"Utf8AndLineEnds",
         {{0, 0, "\xC3\xA9t\xC3\xA9"},
          {0, 1, "x"},
          {1, 0, "a\tb\nc"},
          {1, 1, "y"},
          {2, 0, "line one\r\nline\ttwo \xE2\x82\xAC"}},
         "  | A                    | B\n"
         "1 | \xC3\xA9t\xC3\xA9                  | x\n"
         "2 | a b c                | y\n"
         "3 | line one  line two \xE2\x82\xAC\n"},
        // Short rows and empty cells; row numbers line up on the right.
        {"RaggedRows",
         {{0, 2, "c"}, {9, 0, "j"}},
         "   | A | B | C\n"
         " 1 |   |   | c\n"
         " 2\n 3\n 4\n 5\n 6\n 7\n 8\n 9\n"
         "10 | j\n"},
        {"ColumnNamesOfTwoLetters",
         {{0, 27, "z"}},
         "  | A | B | C | D | E | F | G | H | I | J | K | L | M | N | O | P | Q | R | S | T | U "
         "| V | W | X | Y | Z | AA | AB\n"
         "1 |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   |   "
         "|   |   |   |   |   |    | z\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Table(c.cells), c.table) << c.name;
    brisko::SetSystemCodePage(savedPage);
}

TEST(TableView, WideColumnsAndLongLinesStayAligned) {
    // Columns wider than the blanks the view stores at once, for a number, an empty cell and a
    // text; and a line longer than the view gathers before it writes.
    const std::string wide(40, 'x'), longText(70000, 'y');
    struct Case {
        const char* name;
        std::vector<Placed> cells;
        std::string table;
    } cases[] = {
        {"WideColumn",
         {{0, 0, wide.c_str()}, {1, 0}, {2, 1, "b"}},
         "  | A" + std::string(39, ' ') + " | B\n" +   //
             "1 | " + wide + "\n" +                    //
             "2 | " + std::string(38, ' ') + "10\n" +  //
             "3 | " + std::string(40, ' ') + " | b\n"},
        {"LongLine",
         {{0, 0, longText.c_str()}, {1, 0, "z"}},
         "  | A\n1 | " + longText + "\n2 | z\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Table(c.cells), c.table) << c.name;
}

/// The first line where two views differ, with both lines, or nothing where they are the same: a
/// view of thousands of lines is too long to show whole.
std::string FirstDifference(const std::string& got, const std::string& wanted) {
    size_t line = 1, start = 0;
    for (;;) {
        const size_t gotEnd = got.find('\n', start), wantedEnd = wanted.find('\n', start);
        const std::string a =
            got.substr(start, gotEnd == std::string::npos ? gotEnd : gotEnd - start);
        const std::string b =
            wanted.substr(start, wantedEnd == std::string::npos ? wantedEnd : wantedEnd - start);
        if (a != b || gotEnd != wantedEnd)
            return "line " + std::to_string(line) + ": \"" + a + "\", wanted \"" + b + "\"";
        if (gotEnd == std::string::npos)
            return "";
        start = gotEnd + 1;
        ++line;
    }
}

/// A sheet of rows of a text and a number, the text wide in one row only, and its view as each
/// line should read: the rows in order, each column as wide as its widest cell, the row
/// numbers right-aligned in the width of the last.
struct RowsAndView {
    std::vector<Placed> cells;
    std::string view;
};

RowsAndView ManyRows(int32_t rows, int32_t wideAt) {
    static const std::string wide(23, 'w');
    RowsAndView r;
    for (int32_t i = 0; i < rows; ++i) {
        r.cells.push_back({i, 0, i == wideAt ? wide.c_str() : "text"});
        r.cells.push_back({i, 1});
    }
    const size_t digits = std::to_string(rows).size();
    const size_t textWidth = wideAt < rows ? wide.size() : 4;
    const size_t valueWidth = std::to_string((rows - 1) * 10 + 1).size();
    r.view = std::string(digits, ' ') + " | A" + std::string(textWidth - 1, ' ') + " | B" +
             std::string(valueWidth > 1 ? valueWidth - 1 : 0, ' ');
    while (r.view.back() == ' ')
        r.view.pop_back();
    r.view += "\n";
    for (int32_t i = 0; i < rows; ++i) {
        const std::string number = std::to_string(i + 1), value = std::to_string(i * 10 + 1);
        const std::string text = i == wideAt ? wide : "text";
        r.view += std::string(digits - number.size(), ' ') + number + " | " + text +
                  std::string(textWidth - text.size(), ' ') + " | " +
                  std::string(valueWidth - value.size(), ' ') + value + "\n";
    }
    return r;
}

TEST(TableView, AViewOfManyRowsIsWrittenWhole) {
    // More lines than one write takes, in sheets large enough to be made on two threads: nothing
    // lost or doubled where the writes meet, and the widest cell counted wherever it lies (here
    // only near the start, or only near the end), past the places where row numbers gain a digit.
    struct Case {
        const char* name;
        int32_t rows;
        int32_t wideAt;
    } cases[] = {{"WideNearTheStart", 20000, 2},
                 {"WideNearTheEnd", 20000, 19998},
                 {"TenThousandRows", 10000, 5000},
                 {"JustEnoughToShare", 11000, 10999}};
    for (const Case& c : cases) {
        const RowsAndView r = ManyRows(c.rows, c.wideAt);
        EXPECT_EQ(FirstDifference(Table(r.cells), r.view), "") << c.name;
    }
}

TEST(TableView, BlocksOfAnySizeMakeTheSameView) {
    // Blocks down to a single cell, made on two threads from two blocks on or more: every row
    // where it belongs however the rows fall into blocks, the last block short or whole.
    for (const size_t cells : {1, 2, 3, 5, 64})
        for (const size_t sharedFrom : {2, 3, 1000})
            for (const int32_t rows : {1, 2, 3, 10, 33, 100}) {
                for (const int32_t wideAt : {0, rows / 2, rows - 1, rows}) {
                    const RowsAndView r = ManyRows(rows, wideAt);
                    Worksheet sheet;
                    for (const Placed& p : r.cells)
                        Feed(sheet, p);
                    const std::string view = Captured([&](std::FILE* f) {
                        WriteTable(sheet, f, TableBlocks{cells, sharedFrom});
                    });
                    ASSERT_EQ(FirstDifference(view, r.view), "")
                        << "blocks of " << cells << " cells, shared from " << sharedFrom << ", "
                        << rows << " rows, wide at " << wideAt;
                }
            }
}

TEST(TableView, AFailedWriteStopsTheViewWithItsReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "no full device on this system";
#else
    // The first write fails while the other thread is making lines: the error comes out, and
    // nothing waits for lines that will not be written.
    for (const int32_t rows : {10, 30000}) {
        Worksheet sheet;
        for (int32_t r = 0; r < rows; ++r)
            for (int32_t c = 0; c < 4; ++c)
                Feed(sheet, {r, c});
        std::FILE* full = std::fopen("/dev/full", "w");
        ASSERT_NE(full, nullptr);
        std::setvbuf(full, nullptr, _IONBF, 0);
        try {
            WriteTable(sheet, full);
            ADD_FAILURE() << "the write to a full device succeeded, rows " << rows;
        } catch (const OutputError& e) {
            EXPECT_EQ(e.Error(), ENOSPC) << "rows " << rows;
        }
        std::fclose(full);
    }
#endif
}

}  // namespace
}  // namespace dornel::app
