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
#include "SheetBuilder.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"

namespace dornel::app {
namespace {

using qorvix::TrCell;

struct Placed {
    int32_t row;
    int32_t col;
    const char* text = nullptr;  // null: the number row * 10 + col
};

/// Hands the cell a Placed describes to a sink.
void Feed(RecordSink& sink, const Placed& p) {
    if (p.text) {
        TrCell cell(p.row, p.col, brisko::RString(p.text));
        sink.Take(cell);
    } else {
        TrCell cell(p.row, p.col, p.row * 10.0 + p.col);
        sink.Take(cell);
    }
}

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

/// What a view wrote to a file, read back.
template <class Write>
std::string Captured(Write write) {
    std::FILE* f = std::tmpfile();
    write(f);
    std::rewind(f);
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    std::fclose(f);
    return out;
}

TEST(RowStream, WritesEachViewAsTheRowsArrive) {
    struct Case {
        const char* name;
        std::vector<Placed> cells;
        const char* csv;
        const char* json;
    } cases[] = {
        {"Nothing", {}, "", "[]\n"},
        {"TwoRows",
         {{0, 0, "a"}, {0, 1, nullptr}, {1, 0, nullptr}},
         "a,1\n10\n",
         "[[\"a\",1.0],[10.0]]\n"},
        // Rows without cells are empty rows; a row that starts late has empty cells before.
        {"Gaps",
         {{0, 0, "x,y"}, {2, 1, nullptr}},
         "\"x,y\"\n\n,21\n",
         "[[\"x,y\"],[],[null,21.0]]\n"},
        {"QuotesInText",
         {{1, 0, "say \"hi\""}},
         "\n\"say \"\"hi\"\"\"\n",
         "[[],[\"say \\\"hi\\\"\"]]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto format : {RowStream::Csv, RowStream::Json}) {
            const std::string out = Captured([&](std::FILE* f) {
                RowStream stream(f, format);
                for (const Placed& p : c.cells)
                    Feed(stream, p);
                stream.Finish();
            });
            EXPECT_EQ(out, format == RowStream::Csv ? c.csv : c.json);
        }
    }
}

TEST(RowStream, ARowLongerThanAPieceReadsAsIfWrittenWhole) {
    // Pieces of four cells or 64 bytes of texts; numbers are row * 10 + col.
    const RowChannel::PieceBound small{4, 64};
    const std::string a40(40, 'a'), b40(40, 'b'), c40(40, 'c');
    struct Case {
        const char* name;
        std::vector<Placed> cells;
        std::string csv;
        std::string json;
    } cases[] = {
        {"Numbers",
         {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}, {0, 8}, {0, 9}},
         "0,1,2,3,4,5,6,7,8,9\n",
         "[[0.0,1.0,2.0,3.0,4.0,5.0,6.0,7.0,8.0,9.0]]\n"},
        {"Texts",
         {{0, 0, a40.c_str()}, {0, 1, "x,y"}, {0, 2, b40.c_str()}, {0, 3, c40.c_str()}},
         a40 + ",\"x,y\"," + b40 + "," + c40 + "\n",
         "[[\"" + a40 + "\",\"x,y\",\"" + b40 + "\",\"" + c40 + "\"]]\n"},
        {"EmptyCellsAcrossPieces",
         {{1, 0, "x"}, {1, 11}},
         "\nx,,,,,,,,,,,21\n",
         "[[],[\"x\",null,null,null,null,null,null,null,null,null,null,21.0]]\n"},
        {"RowsAroundALongOne",
         {{0, 0, "a"}, {1, 0}, {1, 1}, {1, 2}, {1, 3}, {1, 4}, {1, 5}, {3, 0, "z"}},
         "a\n10,11,12,13,14,15\n\nz\n",
         "[[\"a\"],[10.0,11.0,12.0,13.0,14.0,15.0],[],[\"z\"]]\n"},
        // A cell given again replaces the first while the row's piece is held; once that
        // column went out, it starts a new row, as a row that comes back does.
        {"ACellAgainInThePieceHeld",
         {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 4, "again"}},
         "0,1,2,3,again,5\n",
         "[[0.0,1.0,2.0,3.0,\"again\",5.0]]\n"},
        {"ACellAgainInAPieceSent",
         {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 1, "back"}},
         "0,1,2,3,4,5\n,back\n",
         "[[0.0,1.0,2.0,3.0,4.0,5.0],[null,\"back\"]]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto format : {RowStream::Csv, RowStream::Json}) {
            const std::string out = Captured([&](std::FILE* f) {
                RowStream stream(f, format, small);
                for (const Placed& p : c.cells)
                    Feed(stream, p);
                stream.Finish();
            });
            EXPECT_EQ(out, format == RowStream::Csv ? c.csv : c.json);
        }
    }
}

TEST(RowStream, ThePieceBoundNeverChangesTheView) {
    // Rows as imports hand them, cell after cell with columns skipped now and then, some far
    // longer than the pieces, with texts that need quoting or escaping.
    std::mt19937 rng(31);
    const char letters[] = {'a', 'b', ',', '"', ' ', '\n', '\\', '\x01', 'z'};
    std::vector<std::unique_ptr<qorvix::TrBase>> records;
    int32_t row = 0;
    for (int r = 0; r < 300; ++r) {
        const int cells =
            rng() % 10 == 0 ? static_cast<int>(rng() % 400) : static_cast<int>(rng() % 6);
        int32_t col = 0;
        for (int k = 0; k < cells; ++k) {
            col += rng() % 8 == 0 ? static_cast<int32_t>(rng() % 5) : 0;
            if (rng() % 2) {
                std::string text(rng() % 90, 'a');
                for (char& ch : text)
                    ch = letters[rng() % std::size(letters)];
                records.push_back(std::make_unique<TrCell>(row, col, brisko::RString(text)));
            } else {
                records.push_back(std::make_unique<TrCell>(row, col, (rng() % 100000) / 16.0));
            }
            ++col;
        }
        row += 1 + (rng() % 10 == 0 ? static_cast<int32_t>(rng() % 3) : 0);
    }
    for (const auto format : {RowStream::Csv, RowStream::Json}) {
        const auto view = [&](RowChannel::PieceBound pieces) {
            return Captured([&](std::FILE* f) {
                RowStream stream(f, format, pieces);
                for (const auto& record : records)
                    stream.Take(*record);
                stream.Finish();
            });
        };
        const std::string whole = view(RowChannel::DefaultPieces());
        for (const RowChannel::PieceBound pieces :
             {RowChannel::PieceBound{1, 1}, RowChannel::PieceBound{3, 100},
              RowChannel::PieceBound{50, 16}, RowChannel::PieceBound{64, 2000}})
            EXPECT_EQ(view(pieces), whole)
                << format << " " << pieces.cells << " " << pieces.textBytes;
    }
}

TEST(RowStream, AFailedWriteIsAnErrorWithItsReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "no full device on this system";
#else
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    {
        // The rows may wait in the stream; the failure comes at the latest when it finishes.
        RowStream stream(full, RowStream::Csv);
        TrCell first(0, 0, 1.0), second(1, 0, 2.0);
        try {
            stream.Take(first);
            stream.Take(second);
            stream.Finish();
            ADD_FAILURE() << "the write to a full device succeeded";
        } catch (const OutputError& e) {
            EXPECT_EQ(e.Error(), ENOSPC);
        }
    }
    std::fclose(full);
#endif
}

}  // namespace
}  // namespace dornel::app

namespace dornel::app {
namespace {

TEST(CsvView, ATextIsQuotedWhereItHoldsASeparatorAQuoteALineEndOrOuterBlanks) {
    std::mt19937 rng(23);
    const char pieces[] = {',', '"', '\r', '\n', ' ', 'a', '-', '+', '\t', ';'};
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const size_t n = rng() % 8;
        for (size_t k = 0; k < n; ++k)
            text += pieces[rng() % std::size(pieces)];
        const bool quoted = text.find_first_of(",\"\r\n") != std::string::npos ||
                            (!text.empty() && (text.front() == ' ' || text.back() == ' '));
        std::string expected = text;
        if (quoted) {
            expected.clear();
            for (const char ch : text)
                expected += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            expected = '"' + expected + '"';
        }
        Cell cell;
        cell.kind = Cell::Text;
        std::string line;
        AppendCsvField(line, cell, text);
        ASSERT_EQ(line, expected) << text;
    }
}

TEST(CsvView, ANumberReadsAsTheShortestTextThatGivesItBack) {
    // The view's quick ways with whole numbers and short decimals against the general writer,
    // on the numbers where the two could part: whole numbers ending in 0, numbers near 1e15 and
    // 1e-5, where the exponent form is as short or shorter, negative ones, zero of either sign.
    std::mt19937_64 rng(11);
    std::vector<double> values = {0.0001,
                                  0.001,
                                  -0.00012,
                                  1e-5,
                                  1.5e-5,
                                  123.456,
                                  0.1,
                                  99999999999999.9,
                                  0.0,
                                  -0.0,
                                  1,
                                  -1,
                                  10,
                                  100000,
                                  123456789012345,
                                  1e15,
                                  999999999999999,
                                  -999999999999999,
                                  1e15 + 1,
                                  0.5,
                                  -2.5e-7,
                                  1e300,
                                  4503599627370497.0};
    for (int i = 0; i < 100000; ++i) {
        const int64_t whole = static_cast<int64_t>(rng() % 2000000000000000) - 1000000000000000;
        values.push_back(static_cast<double>(whole));
        values.push_back(static_cast<double>(whole) / 1000);
        // Short decimals of every size, as data files hold them.
        values.push_back(static_cast<double>(whole % 100000000) /
                         std::pow(10.0, static_cast<int>(rng() % 24)));
        double bits;
        const uint64_t r = rng();
        std::memcpy(&bits, &r, sizeof bits);
        if (std::isfinite(bits))
            values.push_back(bits);
    }
    for (const double v : values) {
        Cell cell;
        cell.kind = Cell::Number;
        cell.number = v;
        std::string line;
        AppendCsvField(line, cell, {});
        char buf[64];
        ASSERT_EQ(line, std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr)) << v;
    }
}

}  // namespace
}  // namespace dornel::app
