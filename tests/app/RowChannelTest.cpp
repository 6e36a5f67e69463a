// Rows handed from an import to an export on another thread give the export the same records
// as a whole worksheet does.
#include <gtest/gtest.h>

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
