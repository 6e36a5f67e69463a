// Rows handed from an import to an export on another thread give the export the same records
// as a whole worksheet does.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "RowChannel.h"
#include "RowRecords.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"
#include "support/TestSupport.h"

namespace dornel::app {
namespace {

using qorvix::TrCell;
using qorvix::TrCellFmt;

/// Records as an import may hand them: rows in order with gaps, cells out of order and given
/// twice within a row, texts, empty cells, and date formats before numbers.
std::vector<std::unique_ptr<qorvix::TrBase>> RandomRecords(std::mt19937& rng, int rows) {
    std::vector<std::unique_ptr<qorvix::TrBase>> records;
    int32_t row = static_cast<int32_t>(rng() % 3);
    for (int r = 0; r < rows; ++r) {
        const int cells = static_cast<int>(rng() % 8);
        for (int k = 0; k < cells; ++k) {
            const int32_t col = static_cast<int32_t>(rng() % 6);
            switch (rng() % 5) {
                case 0:
                    records.push_back(std::make_unique<TrCell>(row, col));
                    break;
                case 1: {
                    auto format = std::make_unique<TrCellFmt>(row, col, 0);
                    format->mask = qorvix::CELLFMT_DATE_MASK;
                    format->category = qorvix::CELLFMT_CATEGORY_DATE;
                    format->format = brisko::RString(rng() % 2 ? "yyyy-mm-dd" : "hh:mm:ss");
                    records.push_back(std::move(format));
                    records.push_back(std::make_unique<TrCell>(row, col, 45000.0 + r));
                    break;
                }
                case 2: {
                    // Texts of every length around the sixteen-byte pieces they travel in,
                    // empty ones and some past a cache line among them.
                    std::string text(rng() % 70, 'a');
                    for (char& c : text)
                        c = static_cast<char>('a' + rng() % 26);
                    records.push_back(std::make_unique<TrCell>(row, col, brisko::RString(text)));
                    break;
                }
                default:
                    records.push_back(std::make_unique<TrCell>(row, col, (rng() % 1000) / 8.0));
            }
        }
        row += 1 + (rng() % 10 == 0 ? static_cast<int32_t>(rng() % 4) : 0);
    }
    return records;
}

std::vector<std::string> ThroughWorksheet(
    const std::vector<std::unique_ptr<qorvix::TrBase>>& records) {
    Worksheet sheet;
    for (const auto& r : records)
        sheet.Take(*r);
    std::vector<std::string> out;
    VisitWorksheet(sheet, [&](qorvix::TrBase& record) {
        out.push_back(test::Describe(record));
        return true;
    });
    return out;
}

/// The export's side on a thread of its own, as convert runs it; finished tells what the
/// channel said at its end.
std::vector<std::string> ThroughChannel(const std::vector<std::unique_ptr<qorvix::TrBase>>& records,
                                        bool& finished, bool& diverged) {
    RowChannel channel;
    std::vector<std::string> out;
    std::thread exporter([&] {
        const RecordVisitor visit = [&](qorvix::TrBase& record) {
            out.push_back(test::Describe(record));
            return true;
        };
        RowRecords rows(visit);
        rows.Begin();
        RowChannel::Row row;
        while (channel.Next(row, finished))
            rows.Row(row.number, row.cells, row.texts);
    });
    for (const auto& r : records)
        channel.Take(*r);
    channel.Close(true);
    exporter.join();
    diverged = channel.Diverged();
    return out;
}

TEST(RowChannel, GivesTheExportWhatAWholeWorksheetGives) {
    std::mt19937 rng(5);
    // Small imports, and one of many batches, so that the import waits for the export.
    for (const int rows : {0, 1, 2, 7, 40, 300, 60000}) {
        const auto records = RandomRecords(rng, rows);
        bool finished = false, diverged = true;
        EXPECT_EQ(ThroughChannel(records, finished, diverged), ThroughWorksheet(records))
            << rows << " rows";
        EXPECT_TRUE(finished);
        EXPECT_FALSE(diverged);
    }
}

TEST(RowChannel, AStrictChannelHandsARowWholeHoweverLong) {
    // A convert's export takes rows whole: more cells and texts than any piece a view gets.
    std::vector<std::unique_ptr<qorvix::TrBase>> records;
    for (int32_t c = 0; c < 100000; ++c) {
        if (c % 2)
            records.push_back(
                std::make_unique<TrCell>(1, c, brisko::RString(std::string(40, 'x'))));
        else
            records.push_back(std::make_unique<TrCell>(1, c, 0.5 * c));
    }
    records.push_back(std::make_unique<TrCell>(2, 0, 1.0));
    bool finished = false, diverged = true;
    EXPECT_EQ(ThroughChannel(records, finished, diverged), ThroughWorksheet(records));
    EXPECT_TRUE(finished);
    EXPECT_FALSE(diverged);
}

TEST(RowChannel, AViewsChannelHandsLongRowsInPiecesOfBoundedSize) {
    // Pieces of at most 64 cells and 1 KB of texts; rows 1 and 2 are far longer, by their texts
    // and by their cells.
    const RowChannel::PieceBound bound{64, 1024};
    RowChannel channel(false, bound);
    struct Piece {
        int32_t number;
        bool ends;
        std::vector<std::string> cells;  // texts as they are, numbers as "#"
    };
    std::vector<Piece> pieces;
    size_t mostTexts = 0, mostCells = 0;
    std::thread exporter([&] {
        RowChannel::Row row;
        bool finished = false;
        size_t batchCells = 0;
        const Cell* batchEnd = nullptr;
        while (channel.Next(row, finished)) {
            // The rows and pieces of a batch lie one after another in its cells.
            batchCells =
                row.cells.data() == batchEnd ? batchCells + row.cells.size() : row.cells.size();
            batchEnd = row.cells.data() + row.cells.size();
            mostTexts = std::max(mostTexts, row.texts.size());
            mostCells = std::max(mostCells, batchCells);
            Piece piece{row.number, row.ends, {}};
            for (const Cell& cell : row.cells)
                piece.cells.push_back(
                    cell.kind == Cell::Text
                        ? std::string(row.texts.substr(cell.textOffset, cell.textLength))
                        : "#");
            pieces.push_back(std::move(piece));
        }
    });
    const auto text = [](int c) { return std::to_string(c) + std::string(90, 'x'); };
    TrCell first(0, 0, 1.0);
    channel.Take(first);
    for (int32_t c = 0; c < 1000; ++c) {
        TrCell cell(1, c, brisko::RString(text(c)));
        channel.Take(cell);
    }
    for (int32_t c = 0; c < 1000; ++c) {
        TrCell cell(2, c, 1.0 * c);
        channel.Take(cell);
    }
    TrCell last(3, 0, brisko::RString("end"));
    channel.Take(last);
    channel.Close(true);
    exporter.join();

    // No batch holds more than the bound and one cell with its text (padded to sixteen bytes).
    EXPECT_LE(mostCells, bound.cells + 1);
    EXPECT_LE(mostTexts, bound.textBytes + 112);
    // Each row comes out whole and in order, ending once, with its last piece.
    std::vector<std::vector<std::string>> rows(4);
    std::vector<int> piecesOf(4, 0);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        ASSERT_LT(p.number, 4);
        ++piecesOf[p.number];
        rows[p.number].insert(rows[p.number].end(), p.cells.begin(), p.cells.end());
        const bool lastOfRow = i + 1 == pieces.size() || pieces[i + 1].number != p.number;
        EXPECT_EQ(p.ends, lastOfRow) << "piece " << i << " of row " << p.number;
    }
    EXPECT_EQ(piecesOf[0], 1);
    EXPECT_GT(piecesOf[1], 10);
    EXPECT_GT(piecesOf[2], 10);
    EXPECT_EQ(piecesOf[3], 1);
    ASSERT_EQ(rows[1].size(), 1000u);
    for (int c = 0; c < 1000; ++c)
        EXPECT_EQ(rows[1][c], text(c));
    EXPECT_EQ(rows[2], std::vector<std::string>(1000, "#"));
    EXPECT_EQ(rows[3], std::vector<std::string>{"end"});
}

TEST(RowChannel, ACellBackInAnEarlierRowEndsTheRowsUnfinished) {
    std::vector<std::unique_ptr<qorvix::TrBase>> records;
    for (int32_t r = 0; r < 50000; ++r)
        records.push_back(std::make_unique<TrCell>(r, 0, 1.0 * r));
    records.push_back(std::make_unique<TrCell>(3, 1, 2.0));
    records.push_back(std::make_unique<TrCell>(50000, 0, 3.0));
    bool finished = true, diverged = false;
    ThroughChannel(records, finished, diverged);
    EXPECT_TRUE(diverged);
    EXPECT_FALSE(finished);
}

TEST(RowChannel, AnExportThatStopsDoesNotHoldTheImportUp) {
    RowChannel channel;
    int32_t first = -1;
    std::thread exporter([&] {
        RowChannel::Row row;
        bool finished = false;
        if (channel.Next(row, finished))
            first = row.number;
        channel.Stop();
    });
    // Far more than the batches under way: the import must run to its end all the same.
    for (int32_t r = 0; r < 200000; ++r) {
        TrCell cell(r, 0, 1.0);
        channel.Take(cell);
    }
    channel.Close(true);
    exporter.join();
    EXPECT_EQ(first, 0);
    EXPECT_FALSE(channel.Diverged());
}

}  // namespace
}  // namespace dornel::app
