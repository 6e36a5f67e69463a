// The host program's worksheet keeps every cell where its record put it.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <limits>
#include <memory>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <cstdio>
#include <string>
#include <vector>

#include "Output.h"
#include "app/PlacedCells.h"
#include "SheetBuilder.h"
#include "RowStream.h"
#include "TableView.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"

namespace dornel::app {
namespace {

using qorvix::TrCell;

/// The sheet as rows of display strings, "" for an empty cell.
std::vector<std::vector<std::string>> Show(const Worksheet& sheet) {
    std::vector<std::vector<std::string>> rows;
    std::vector<Cell> row;
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        rows.emplace_back();
        for (const Cell& cell : sheet.Row(r, row))
            rows.back().push_back(CellDisplay(cell, sheet.Text(cell)));
    }
    return rows;
}

struct OrderCase {
    const char* name;
    std::vector<Placed> cells;
    std::vector<std::vector<std::string>> expected;
};

class WorksheetOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(WorksheetOrder, EveryCellLandsAtItsPlace) {
    Worksheet sheet;
    for (const Placed& p : GetParam().cells)
        Feed(sheet, p);
    EXPECT_EQ(Show(sheet), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WorksheetOrder,
    ::testing::Values(OrderCase{"RowByRow",
                                {{0, 0, "a"}, {0, 1, nullptr}, {1, 0, nullptr}, {1, 1, "b"}},
                                {{"a", "1"}, {"10", "b"}}},
                      OrderCase{"GapsBecomeEmptyCellsAndRows",
                                {{0, 2, "x"}, {3, 1, nullptr}},
                                {{"", "", "x"}, {}, {}, {"", "31"}}},
                      OrderCase{"AnEarlierRowGrowsAndTheLaterRowsStay",
                                {{0, 0, nullptr}, {1, 0, "b"}, {2, 0, "c"}, {0, 3, "late"}},
                                {{"0", "", "", "late"}, {"b"}, {"c"}}},
                      OrderCase{"ACellTakenTwiceKeepsTheLastValue",
                                {{0, 0, "first"}, {0, 1, nullptr}, {0, 0, "second"}},
                                {{"second", "1"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Worksheet, ManyRowsKeepTheirTexts) {
    // Enough cells and text to make both arrays grow many times.
    Worksheet sheet;
    const int rows = 50000;
    for (int r = 0; r < rows; ++r) {
        TrCell number(r, 0, r + 0.5);
        sheet.Take(number);
        TrCell text(r, 1, brisko::RString("row " + std::to_string(r)));
        sheet.Take(text);
    }
    ASSERT_EQ(sheet.RowCount(), static_cast<size_t>(rows));
    std::vector<Cell> row;
    for (int r : {0, 1, 4095, 31337, rows - 1}) {
        const auto cells = sheet.Row(static_cast<size_t>(r), row);
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(cells[0].number, r + 0.5);
        EXPECT_EQ(sheet.Text(cells[1]), "row " + std::to_string(r));
    }
}

TEST(Worksheet, EveryCellComesBackAsItWasStored) {
    // Numbers of every kind, the NaNs whose bits a stored cell that is no number could take
    // among them, numbers with formats, texts up to and past the longest kept in eight bytes,
    // and empty cells, in one row and again after a row has grown in the middle.
    const auto number = [](double v, uint8_t date = 0, uint8_t time = 0) {
        Cell c;
        c.kind = Cell::Number;
        c.number = v;
        c.dateFormat = date;
        c.timeFormat = time;
        return c;
    };
    const auto bits = [](uint64_t b) { return std::bit_cast<double>(b); };
    struct Given {
        Cell cell;
        std::string text;
    };
    std::vector<Given> given;
    for (const double v :
         {0.0, -0.0, 1.5, -1e300, 5e-324, 1.7976931348623157e308,
          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN(), bits(0xFFF8000000000000),
          bits(0xFFFA000000000007), bits(0xFFFC000000000001), bits(0x7FF0000000000001)})
        given.push_back({number(v), ""});
    given.push_back({number(45000.25, 3, 0), ""});
    given.push_back({number(0.5, 0, 2), ""});
    for (const size_t length :
         {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{70000}}) {
        Cell text;
        text.kind = Cell::Text;
        std::string t(length, 'x');
        if (length > 0)
            t[0] = '\xC3', t[length - 1] = 'z';
        given.push_back({text, t});
    }
    given.push_back({Cell(), ""});

    Worksheet sheet;
    for (size_t c = 0; c < given.size(); ++c)
        sheet.Store(0, c, given[c].cell, given[c].text);
    // Row 1 first holds one cell, then grows past row 2.
    sheet.Store(1, 0, Cell(), "");
    sheet.Store(2, 0, number(7), "");
    for (size_t c = 0; c < given.size(); ++c)
        sheet.Store(1, c, given[c].cell, given[c].text);
    std::vector<Cell> row;
    for (const size_t r : {size_t{0}, size_t{1}}) {
        const auto cells = sheet.Row(r, row);
        ASSERT_EQ(cells.size(), given.size());
        for (size_t c = 0; c < given.size(); ++c) {
            SCOPED_TRACE("row " + std::to_string(r) + " cell " + std::to_string(c));
            const Cell& want = given[c].cell;
            ASSERT_EQ(cells[c].kind, want.kind);
            EXPECT_EQ(cells[c].dateFormat, want.dateFormat);
            EXPECT_EQ(cells[c].timeFormat, want.timeFormat);
            if (want.kind == Cell::Number && std::isnan(want.number)) {
                EXPECT_TRUE(std::isnan(cells[c].number));
            } else if (want.kind == Cell::Number) {
                EXPECT_EQ(std::bit_cast<uint64_t>(cells[c].number),
                          std::bit_cast<uint64_t>(want.number));
            }
            EXPECT_EQ(sheet.Text(cells[c]), given[c].text);
        }
    }
    EXPECT_EQ(sheet.Row(2, row)[0].number, 7);
}

TEST(Worksheet, ADateFormatGoesToTheNumberAtItsPlaceOnly) {
    Worksheet sheet;
    qorvix::TrCellFmt format(0, 0, 0);
    format.mask = 0x120;
    format.category = 6;
    format.format = brisko::RString("yyyy-mm-dd");
    sheet.Take(format);
    TrCell dated(0, 0, 45000.0);
    sheet.Take(dated);
    TrCell plain(0, 1, 45000.0);
    sheet.Take(plain);
    std::vector<Cell> row;
    const auto cells = sheet.Row(0, row);
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_NE(cells[0].dateFormat, 0);
    EXPECT_EQ(CellDisplay(cells[1], {}), "45000");
}

TEST(SheetBuilder, FillsTheSameWorksheetAsTakingRecordsDirectly) {
    // Several batches' worth, with texts, dates and a cell that comes back to an earlier row.
    Worksheet direct, built;
    {
        SheetBuilder builder(built, true);
        auto both = [&](const qorvix::TrBase& record) {
            direct.Take(record);
            builder.Take(record);
        };
        for (int r = 0; r < 20000; ++r) {
            TrCell number(r, 0, r * 0.25);
            both(number);
            if (r % 7 == 0) {
                qorvix::TrCellFmt format(r, 1, 0);
                format.mask = 0x120;
                format.category = 6;
                format.format = brisko::RString("yyyy-mm-dd");
                both(format);
                TrCell dated(r, 1, 45000.0 + r);
                both(dated);
            }
            TrCell text(r, 2, brisko::RString(std::string(r % 40, 'x') + std::to_string(r)));
            both(text);
        }
        TrCell late(3, 5, brisko::RString("late"));
        both(late);
        builder.Finish();
    }
    EXPECT_EQ(Show(built), Show(direct));
    ASSERT_EQ(built.RowCount(), 20000u);
    std::vector<Cell> row;
    EXPECT_EQ(built.Text(built.Row(3, row)[5]), "late");
    EXPECT_NE(built.Row(7, row)[1].dateFormat, 0);
}

}  // namespace
}  // namespace dornel::app
