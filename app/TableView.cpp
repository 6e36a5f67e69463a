// The worksheet as an aligned table.
#include "TableView.h"

#include <algorithm>
#include <string>
#include <vector>

#include "Output.h"

namespace dornel::app {

namespace {

/// Display width in characters of UTF-8 text (one per code point).
size_t Width(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::string ColumnName(size_t index) {
    std::string name;
    ++index;
    while (index > 0) {
        name.insert(name.begin(), static_cast<char>('A' + (index - 1) % 26));
        index = (index - 1) / 26;
    }
    return name;
}

}  // namespace

void WriteTable(const Worksheet& sheet, std::FILE* out) {
    size_t columns = 0;
    for (size_t r = 0; r < sheet.RowCount(); ++r)
        columns = std::max(columns, sheet.RowLength(r));
    if (sheet.RowCount() == 0 || columns == 0) {
        WriteOutput(out, "(empty worksheet)\n");
        return;
    }
    // Two passes over the cells, one for the widths and one to write, so that the view costs
    // no more than a line beside the worksheet.
    auto display = [&sheet](const Cell& cell) {
        std::string t = CellDisplay(cell, sheet.Text(cell));
        for (char& ch : t)
            if (ch == '\n' || ch == '\r' || ch == '\t')
                ch = ' ';
        return t;
    };
    std::vector<size_t> widths(columns, 0);
    std::vector<Cell> row;
    for (size_t c = 0; c < columns; ++c)
        widths[c] = Width(ColumnName(c));
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r, row);
        for (size_t c = 0; c < cells.size(); ++c)
            widths[c] = std::max(widths[c], Width(display(cells[c])));
    }
    const size_t numberWidth = std::to_string(sheet.RowCount()).size();
    std::string line(numberWidth, ' ');
    auto writeLine = [&] {
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        line += '\n';
        WriteOutput(out, line);
    };
    for (size_t c = 0; c < columns; ++c) {
        const std::string name = ColumnName(c);
        line += " | " + name + std::string(widths[c] - Width(name), ' ');
    }
    writeLine();
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r, row);
        const std::string number = std::to_string(r + 1);
        line.assign(numberWidth - number.size(), ' ');
        line += number;
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string t = display(cells[c]);
            const std::string pad(widths[c] - Width(t), ' ');
            // Numbers line up on the right, texts on the left, as in a spreadsheet.
            line += " | ";
            line += cells[c].kind == Cell::Number ? pad + t : t + pad;
        }
        writeLine();
    }
}

}  // namespace dornel::app
