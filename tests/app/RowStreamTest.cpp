// Tests of the CSV and JSON views written as rows arrive, and of their fields.
#include "RowStream.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Output.h"
#include "Trace.h"
#include "app/PlacedCells.h"
#include "host/qorvix/Records.h"

namespace dornel::app {
namespace {

using qorvix::TrCell;

/// The view is the same whichever thread writes it.
constexpr RowStream::Writer kWriters[] = {RowStream::OwnThread, RowStream::ImportThread};

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
        {"GapOfSeveralRows",
         {{0, 0, "a"}, {4, 0, nullptr}},
         "a\n\n\n\n40\n",
         "[[\"a\"],[],[],[],[40.0]]\n"},
        {"QuotesInText",
         {{1, 0, "say \"hi\""}},
         "\n\"say \"\"hi\"\"\"\n",
         "[[],[\"say \\\"hi\\\"\"]]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto format : {RowStream::Csv, RowStream::Json})
            for (const auto writer : kWriters) {
                const std::string out = Captured([&](std::FILE* f) {
                    RowStream stream(f, format, RowChannel::DefaultPieces(), writer);
                    for (const Placed& p : c.cells)
                        Feed(stream, p);
                    stream.Finish();
                });
                EXPECT_EQ(out, format == RowStream::Csv ? c.csv : c.json) << "writer " << writer;
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
        // More pieces in one cell's gap than batches can be under way at once.
        {"AFarColumn",
         {{0, 0, "a"}, {0, 100}},
         "a" + std::string(100, ',') + "100\n",
         [] {
             std::string json = "[[\"a\"";
             for (int i = 0; i < 99; ++i)
                 json += ",null";
             return json + ",100.0]]\n";
         }()},
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
        for (const auto format : {RowStream::Csv, RowStream::Json})
            for (const auto writer : kWriters) {
                const std::string out = Captured([&](std::FILE* f) {
                    RowStream stream(f, format, small, writer);
                    for (const Placed& p : c.cells)
                        Feed(stream, p);
                    stream.Finish();
                });
                EXPECT_EQ(out, format == RowStream::Csv ? c.csv : c.json) << "writer " << writer;
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
        const auto view = [&](RowChannel::PieceBound pieces,
                              RowStream::Writer writer = RowStream::OwnThread) {
            return Captured([&](std::FILE* f) {
                RowStream stream(f, format, pieces, writer);
                for (const auto& record : records)
                    stream.Take(*record);
                stream.Finish();
            });
        };
        const std::string whole = view(RowChannel::DefaultPieces());
        for (const RowChannel::PieceBound pieces :
             {RowChannel::PieceBound{1, 1}, RowChannel::PieceBound{3, 100},
              RowChannel::PieceBound{50, 16}, RowChannel::PieceBound{64, 2000}})
            for (const auto writer : kWriters)
                EXPECT_EQ(view(pieces, writer), whole)
                    << format << " " << pieces.cells << " " << pieces.textBytes << " " << writer;
        EXPECT_EQ(view(RowChannel::DefaultPieces(), RowStream::ImportThread), whole) << format;
    }
}

TEST(RowStream, AnImportThatFailsStillShowsTheRowsItCompleted) {
    // The stream goes without Finish, as when the import throws: the rows that were complete
    // are written, the row under way is not.
    for (const auto format : {RowStream::Csv, RowStream::Json})
        for (const auto writer : kWriters) {
            const std::string out = Captured([&](std::FILE* f) {
                RowStream stream(f, format, RowChannel::DefaultPieces(), writer);
                for (const Placed& p : {Placed{0, 0, "a"}, Placed{1, 0, "b"}, Placed{2, 0, "c"}})
                    Feed(stream, p);
            });
            EXPECT_EQ(out, format == RowStream::Csv ? "a\nb\n" : "[[\"a\"],[\"b\"]")
                << out << " writer " << writer;
        }
}

TEST(RowStream, AFailedWriteIsAnErrorWithItsReason) {
#if defined(_WIN32)
    GTEST_SKIP() << "no full device on this system";
#else
    for (const auto writer : kWriters) {
        std::FILE* full = std::fopen("/dev/full", "w");
        ASSERT_NE(full, nullptr);
        std::setvbuf(full, nullptr, _IONBF, 0);
        {
            // The rows may wait in the stream; the failure comes at the latest when it finishes.
            RowStream stream(full, RowStream::Csv, RowChannel::DefaultPieces(), writer);
            TrCell first(0, 0, 1.0), second(1, 0, 2.0);
            try {
                stream.Take(first);
                stream.Take(second);
                stream.Finish();
                ADD_FAILURE() << "the write to a full device succeeded, writer " << writer;
            } catch (const OutputError& e) {
                EXPECT_EQ(e.Error(), ENOSPC) << "writer " << writer;
            }
        }
        std::fclose(full);
    }
#endif
}

#if !defined(_WIN32)
TEST(RowStream, RowsThatFailedToBeWrittenAreNotWrittenAgainOnTheWayOut) {
    // A pipe that is full and does not wait: the view's write fails. Emptied before the stream
    // goes, the pipe would take whatever the stream wrote again on its way out.
    for (const auto writer : kWriters) {
        SCOPED_TRACE(writer);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        fcntl(ends[1], F_SETFL, O_NONBLOCK);
        fcntl(ends[0], F_SETFL, O_NONBLOCK);
        const std::string filler(4096, 'x');
        while (write(ends[1], filler.data(), filler.size()) > 0) {
        }
        auto drain = [&] {
            std::string got;
            char buffer[4096];
            ssize_t n;
            while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
                got.append(buffer, static_cast<size_t>(n));
            return got;
        };
        std::FILE* f = fdopen(ends[1], "w");
        ASSERT_NE(f, nullptr);
        std::setvbuf(f, nullptr, _IONBF, 0);
        {
            RowStream stream(f, RowStream::Csv, RowChannel::DefaultPieces(), writer);
            for (int r = 0; r < 3; ++r) {
                TrCell cell(r, 0, r + 1.0);
                stream.Take(cell);
            }
            EXPECT_THROW(stream.Finish(), OutputError);
            drain();
        }
        EXPECT_EQ(drain(), "");
        std::fclose(f);
        close(ends[0]);
    }
}
#endif

TEST(CsvView, ATextIsQuotedWhereItHoldsASeparatorAQuoteALineEndOrOuterBlanks) {
    std::mt19937 rng(23);
    const char pieces[] = {',', '"', '\r', '\n', ' ', 'a', '-', '+', '\t', ';'};
    const char plain[] = {'a', '-', '+', '\t', ';', 'z'};
    for (int i = 0; i < 20000; ++i) {
        // Texts long enough to be looked at eight bytes at a time, and half of them with one
        // piece at most that is not plain, so that many need no quotes.
        std::string text;
        const size_t n = rng() % 24;
        const bool sparse = rng() % 2 == 0;
        const size_t odd = rng() % 24;
        for (size_t k = 0; k < n; ++k)
            text += sparse && k != odd ? plain[rng() % std::size(plain)]
                                       : pieces[rng() % std::size(pieces)];
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
                                  10000,
                                  100000,
                                  12340,
                                  120000000,
                                  -3000000,
                                  123456789012345,
                                  1e15,
                                  999999999999999,
                                  -999999999999999,
                                  1e15 + 1,
                                  0.5,
                                  -2.5e-7,
                                  1e300,
                                  4503599627370497.0,
                                  9007199254740992.0,
                                  1714723236123456789.0,
                                  -1e20};
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
        // Past 2^53 the digits of a whole number would look exact and are not: the exponent form.
        char buf[64];
        const char* end =
            std::fabs(v) > 9007199254740992.0
                ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr
                : std::to_chars(buf, buf + sizeof buf, v).ptr;
        ASSERT_EQ(line, std::string(buf, static_cast<size_t>(end - buf))) << v;
    }
}

/// The JSON value a cell is written as.
std::string JsonValue(const Cell& cell, std::string_view text = {}) {
    // The room exactly, so that a write past it is caught where memory is checked.
    std::vector<char> out(JsonValueRoom(cell, text));
    return std::string(out.data(), WriteJsonValue(out.data(), cell, text));
}

Cell NumberCell(double value) {
    Cell cell;
    cell.kind = Cell::Number;
    cell.number = value;
    return cell;
}

TEST(JsonView, ATextIsAStringWithItsEscapesAndBrokenUtf8Replaced) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string text;
        std::string json;
    } cases[] = {
        {"", "\"\""},
        {"plain, text; with = marks", "\"plain, text; with = marks\""},
        {"say \"hi\" \\ bye", "\"say \\\"hi\\\" \\\\ bye\""},
        {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
        {std::string("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\x7f\""},
        // Characters of two, three and four bytes, and the last code point there is.
        {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         "\"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\""},
        // A byte that begins no character: one replacement each.
        {"a\x80z", "\"a" + fffd + "z\""},
        {"\xFF\xFE", "\"" + fffd + fffd + "\""},
        {"\xC0\xAF", "\"" + fffd + fffd + "\""},
        // A character cut short: one replacement for what was there, and the byte that cut it
        // short read on its own.
        {"\xE2\x82z", "\"" + fffd + "z\""},
        {"\xF0\x9F\x98\"", "\"" + fffd + "\\\"\""},
        {"\xE2\x82", "\"" + fffd + "\""},
        {"\xC3\xC3\xA9", "\"" + fffd + "\xC3\xA9\""},
        // Overlong forms, surrogates and code points past U+10FFFF fail at their second byte.
        {"\xE0\x80\x80", "\"" + fffd + fffd + fffd + "\""},
        {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\""},
        {"\xF4\x90\x80\x80", "\"" + fffd + fffd + fffd + fffd + "\""},
        {"\xF5\x80", "\"" + fffd + fffd + "\""},
    };
    Cell cell;
    cell.kind = Cell::Text;
    for (const Case& c : cases)
        EXPECT_EQ(JsonValue(cell, c.text), c.json) << c.text;
    EXPECT_EQ(JsonValue(Cell()), "null");
}

TEST(JsonView, ATextIsTheStringTheTracesLibraryWritesWhereverItsEscapesStand) {
    // Each byte or character that is not taken as it is, and the plain bytes at the edges of
    // those (DEL and the blank), at every place of texts long and short, against the library
    // that writes the trace.
    const std::string odd[] = {"\"",
                               "\\",
                               "\n",
                               "\x01",
                               "\x1f",
                               "\x7f",
                               "\xC3\xA9",
                               "\x80",
                               "\xFF",
                               "\xE2\x82",
                               "\xF0\x9F\x98\x80",
                               " "};
    Cell cell;
    cell.kind = Cell::Text;
    for (size_t length = 0; length <= 20; ++length)
        for (size_t at = 0; at <= length; ++at)
            for (const std::string& piece : odd) {
                std::string text;
                for (size_t k = 0; k < length; ++k)
                    text += static_cast<char>('a' + k % 26);
                text.insert(at, piece);
                const std::string expected =
                    Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
                ASSERT_EQ(JsonValue(cell, text), expected) << length << " " << at << " " << piece;
            }
}

TEST(JsonView, ANumberAlwaysShowsItIsNotAnInteger) {
    struct Case {
        double value;
        const char* json;
    } cases[] = {
        {3, "3.0"},
        {-4629, "-4629.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {1200, "1200.0"},
        {999999999999999, "999999999999999.0"},
        {1e15, "1e+15"},
        {1234567890123456789.0, "1.2345678901234568e+18"},
        {14.4614, "14.4614"},
        {-0.8205103, "-0.8205103"},
        {0.1, "0.1"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {1.5e-5, "1.5e-05"},
        {1e-300, "1e-300"},
        {99999999999999.9, "99999999999999.9"},
        {0.30000000000000004, "0.30000000000000004"},
        {std::numeric_limits<double>::quiet_NaN(), "\"NaN\""},
        {std::numeric_limits<double>::infinity(), "\"Infinity\""},
        {-std::numeric_limits<double>::infinity(), "\"-Infinity\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonValue(NumberCell(c.value)), c.json) << c.value;
}

TEST(JsonView, NumbersAreTheDigitsOfTheTraceAndReadBack) {
    // The view writes the usual numbers itself; they must come out as the JSON library of the
    // trace writes them, which the view's bytes always were. Short decimals as data files hold
    // them (some lie near the edge of the doubles that read back as theirs, where the library
    // may give more digits), and any bits at all.
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i) {
        double value = static_cast<double>(static_cast<int64_t>(rng() % 2000000000) - 1000000000) /
                       std::pow(10.0, static_cast<int>(rng() % 20));
        if (i % 4 == 0) {
            const uint64_t bits = rng();
            std::memcpy(&value, &bits, sizeof value);
            if (!std::isfinite(value))
                continue;
        }
        const std::string json = JsonValue(NumberCell(value));
        ASSERT_EQ(json, NumberJson(value).dump()) << value;
        double back = 0;
        std::from_chars(json.data(), json.data() + json.size(), back);
        ASSERT_EQ(back, value) << json;
    }
}

}  // namespace
}  // namespace dornel::app
