// Fuzz target: the worksheet's cells against a table of rows that grows where each cell lands.
// Cells come in any order, to any row and column, so rows are added, grown in the middle and
// moved; the rows' places are also checked on their own with places past four billion cells.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "RowStarts.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"

using namespace dornel;

namespace {

void CheckWorksheet(fuzz::FuzzInput& in) {
    app::Worksheet sheet;
    std::vector<std::vector<std::string>> model;
    for (int n = in.Below(200); n > 0; --n) {
        const int32_t row = static_cast<int32_t>(in.Below(12));
        const int32_t col = static_cast<int32_t>(in.Below(12));
        std::string shown;
        switch (in.Below(3)) {
            case 0: {
                // Letters, which every system page keeps as they are.
                std::string text = in.Text(20);
                for (char& ch : text)
                    ch = static_cast<char>('a' + static_cast<unsigned char>(ch) % 26);
                sheet.Take(qorvix::TrCell(row, col, brisko::RString(text)));
                shown = "t" + text;
                break;
            }
            case 1: {
                const double number = row * 100.0 + col + in.Byte() / 4.0;
                sheet.Take(qorvix::TrCell(row, col, number));
                shown = "n" + std::to_string(number);
                break;
            }
            default: {
                sheet.Take(qorvix::TrCell(row, col));
                break;
            }
        }
        if (model.size() <= static_cast<size_t>(row))
            model.resize(row + 1);
        if (model[row].size() <= static_cast<size_t>(col))
            model[row].resize(col + 1);
        model[row][col] = shown;
    }
    if (sheet.RowCount() != model.size())
        std::abort();
    std::vector<app::Cell> cells;
    for (size_t r = 0; r < model.size(); ++r) {
        const auto row = sheet.Row(r, cells);
        if (row.size() != model[r].size())
            std::abort();
        for (size_t c = 0; c < row.size(); ++c) {
            std::string shown;
            if (row[c].kind == app::Cell::Text)
                shown = "t" + std::string(sheet.Text(row[c]));
            else if (row[c].kind == app::Cell::Number)
                shown = "n" + std::to_string(row[c].number);
            if (shown != model[r][c])
                std::abort();
        }
    }
}

void CheckRowStarts(fuzz::FuzzInput& in) {
    app::RowStarts starts;
    std::vector<size_t> model;
    for (int n = in.Below(60); n > 0; --n) {
        // Steps of any size up to 2^40 cells, so that places cross four billion often.
        const size_t step = (size_t{in.Byte()} << (in.Below(5) * 8)) | in.Byte();
        if (in.Bool() || model.empty()) {
            const size_t start = (model.empty() ? 0 : model.back()) + step;
            starts.push_back(start);
            model.push_back(start);
        } else {
            const size_t from = in.Below(static_cast<uint32_t>(model.size() + 1));
            starts.MoveFrom(from, step);
            for (size_t r = from; r < model.size(); ++r)
                model[r] += step;
        }
        if (starts.size() != model.size() || starts.back() != model.back())
            std::abort();
        for (size_t r = 0; r < model.size(); ++r)
            if (starts[r] != model[r])
                std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    if (in.Bool())
        CheckRowStarts(in);
    else
        CheckWorksheet(in);
    return 0;
}
