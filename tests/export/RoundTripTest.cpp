// A worksheet exported as CSV and imported again gives back its cells: a property test over
// generated worksheets of numbers, texts and empty cells.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "export/ExportTestSupport.h"
#include "import/DatImportFilter.h"

namespace dornel::test {
namespace {

/// Cells that survive a round trip: values, and the empty cells before a value in its row.
using Sheet = std::map<std::pair<int, int>, std::string>;

std::string RandomNumberText(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> mantissa(-999999, 999999);
    std::uniform_int_distribution<int> exponent(-12, 12);
    char buf[64];
    switch (kind(rng)) {
        case 0:
            std::snprintf(buf, sizeof buf, "%d", mantissa(rng));
            break;
        case 1:
            std::snprintf(buf, sizeof buf, "%d.%03d", mantissa(rng), mantissa(rng) & 511);
            break;
        default:
            std::snprintf(buf, sizeof buf, "%de%d", mantissa(rng), exponent(rng));
            break;
    }
    return buf;
}

std::string RandomText(std::mt19937& rng) {
    static const char alphabet[] = "abcXYZ019 ,;.-_$%";
    std::uniform_int_distribution<int> length(1, 12);
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    std::string text;
    const int n = length(rng);
    for (int i = 0; i < n; ++i)
        text += alphabet[pick(rng)];
    // Blanks at the ends do not survive an import, which trims fields.
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    while (!text.empty() && text.front() == ' ')
        text.erase(text.begin());
    return text.empty() ? "t" : text;
}

TEST(RoundTrip, CsvExportThenImportGivesTheSameCells) {
    std::mt19937 rng(20261205);
    for (int sheet = 0; sheet < 200; ++sheet) {
        SCOPED_TRACE("sheet " + std::to_string(sheet));
        std::uniform_int_distribution<int> rowsOf(1, 8), colsOf(1, 6), kindOf(0, 9);
        RecordList records;
        Sheet expected;
        const int rows = rowsOf(rng);
        for (int r = 0; r < rows; ++r) {
            const int cols = colsOf(rng);
            int lastValue = -1;
            std::vector<std::pair<int, std::string>> row;
            for (int c = 0; c < cols; ++c) {
                const int k = kindOf(rng);
                if (k < 3) {
                    records.push_back(Empty(r, c));
                    row.emplace_back(c, "empty");
                } else if (k < 7) {
                    const double v = std::strtod(RandomNumberText(rng).c_str(), nullptr);
                    records.push_back(Number(r, c, v));
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "number %.17g", v);
                    row.emplace_back(c, buf);
                    lastValue = c;
                } else {
                    const std::string t = RandomText(rng);
                    records.push_back(Text(r, c, t.c_str()));
                    row.emplace_back(c, "text " + t);
                    lastValue = c;
                }
            }
            for (const auto& [c, v] : row)
                if (c <= lastValue)
                    expected[{r, c}] = v;
        }

        Export e(KIND_CSV);
        e.Run(std::move(records));

        RecordingManager m;
        DatImportFilter importer(m, KIND_CSV);
        ASSERT_EQ(importer.ImportFile(brisko::RString(e.path), false), qorvix::IMPORT_DONE);
        Sheet actual;
        for (const std::string& line : m.records) {
            if (line == "begin" || line == "end")
                continue;
            const size_t a = line.find(' '), b = line.find(' ', a + 1), c = line.find(' ', b + 1);
            const int row = std::atoi(line.substr(a + 1, b - a - 1).c_str());
            const int col = std::atoi(line.substr(b + 1, c - b - 1).c_str());
            std::string value = line.substr(0, a);
            if (value == "number") {
                char buf[64];
                std::snprintf(buf, sizeof buf, "number %.17g",
                              std::strtod(line.c_str() + c + 1, nullptr));
                value = buf;
            } else if (value == "text") {
                value += " " + line.substr(c + 1);
            }
            actual[{row, col}] = value;
        }
        ASSERT_EQ(actual, expected) << ReadBytes(e.path);
    }
}

}  // namespace
}  // namespace dornel::test
