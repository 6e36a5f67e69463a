// Tests of the aligned table view.
#include "TableView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

TEST(TableView, AViewOfManyRowsIsWrittenWhole) {
    // More lines than one write takes: nothing lost or doubled where the writes meet.
    std::vector<Placed> cells;
    std::string expected = "      | A    | B\n";
    for (int32_t r = 0; r < 20000; ++r) {
        cells.push_back({r, 0, "text"});
        cells.push_back({r, 1});
        const std::string number = std::to_string(r + 1), value = std::to_string(r * 10 + 1);
        expected += std::string(5 - number.size(), ' ') + number + " | text | " +
                    std::string(6 - value.size(), ' ') + value + "\n";
    }
    EXPECT_EQ(Table(cells), expected);
}

}  // namespace
}  // namespace dornel::app
