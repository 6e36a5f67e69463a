// The host program's worksheet and its views.
#include "Worksheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "Trace.h"
#include "host/brisko/DateTime.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

using namespace qorvix;

namespace {

std::string ShortestNumber(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

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

bool NeedsQuotes(const std::string& s) {
    return s.find_first_of(",\"\r\n") != std::string::npos ||
           (!s.empty() && (s.front() == ' ' || s.back() == ' '));
}

}  // namespace

std::string CellDisplay(const Cell& cell, const std::string& text) {
    switch (cell.kind) {
        case Cell::Empty:
            return std::string();
        case Cell::Text:
            return text;
        case Cell::Number:
            if (cell.dateFormat != 0 || cell.timeFormat != 0) {
                char buf[40];
                brisko::WQDateTime(cell.number)
                    .GetDateTimeStr(cell.dateFormat, cell.timeFormat, buf);
                return buf;
            }
            return ShortestNumber(cell.number);
    }
    return std::string();
}

bool CellReader::Take(const TrBase& record, int32_t& row, int32_t& col, Cell& cell,
                      std::string& text) {
    const CTypeInfo* type = record.GetTypeInfo();
    if (type == TrCellFmt::GetClassTypeId()) {
        const auto& f = static_cast<const TrCellFmt&>(record);
        brisko::WQMapExcelFmtStrToFmtTypes(f.format.c_str(), pendingDate_, pendingTime_);
        pendingRow_ = f.row;
        pendingCol_ = f.col;
        return false;
    }
    if (type != TrCell::GetClassTypeId())
        return false;
    const auto& c = static_cast<const TrCell&>(record);
    cell = Cell();
    if (c.kind == CELL_TEXT) {
        cell.kind = Cell::Text;
        text = AcpToUtf8(c.text.str());
    } else if (c.kind == CELL_NUMBER || c.kind == CELL_NUMBER_ALT) {
        cell.kind = Cell::Number;
        cell.number = c.number;
        if (c.row == pendingRow_ && c.col == pendingCol_) {
            cell.dateFormat = static_cast<uint8_t>(pendingDate_);
            cell.timeFormat = static_cast<uint8_t>(pendingTime_);
        }
    }
    pendingRow_ = pendingCol_ = -1;
    row = c.row;
    col = c.col;
    return row >= 0 && col >= 0;
}

void Worksheet::Take(const TrBase& record) {
    int32_t row = 0, col = 0;
    Cell cell;
    std::string text;
    if (!reader_.Take(record, row, col, cell, text))
        return;
    if (cell.kind == Cell::Text) {
        cell.textOffset = texts_.size();
        cell.textLength = static_cast<uint32_t>(text.size());
        texts_ += text;
    }
    if (rows_.size() <= static_cast<size_t>(row))
        rows_.resize(static_cast<size_t>(row) + 1);
    auto& cells = rows_[static_cast<size_t>(row)];
    if (cells.size() <= static_cast<size_t>(col))
        cells.resize(static_cast<size_t>(col) + 1);
    cells[static_cast<size_t>(col)] = cell;
}

void Worksheet::WriteTable(std::FILE* out) const {
    size_t columns = 0;
    for (const auto& r : rows_)
        columns = std::max(columns, r.size());
    if (rows_.empty() || columns == 0) {
        std::fprintf(out, "(empty worksheet)\n");
        return;
    }
    std::vector<size_t> widths(columns, 0);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = Width(ColumnName(c));
    std::vector<std::vector<std::string>> texts(rows_.size());
    for (size_t r = 0; r < rows_.size(); ++r) {
        for (size_t c = 0; c < rows_[r].size(); ++c) {
            std::string t = CellDisplay(rows_[r][c], Text(rows_[r][c]));
            for (char& ch : t)
                if (ch == '\n' || ch == '\r' || ch == '\t')
                    ch = ' ';
            widths[c] = std::max(widths[c], Width(t));
            texts[r].push_back(std::move(t));
        }
    }
    const size_t numberWidth = std::to_string(rows_.size()).size();
    std::string line(numberWidth, ' ');
    for (size_t c = 0; c < columns; ++c) {
        const std::string name = ColumnName(c);
        line += " | " + name + std::string(widths[c] - Width(name), ' ');
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    std::fprintf(out, "%s\n", line.c_str());
    for (size_t r = 0; r < rows_.size(); ++r) {
        const std::string number = std::to_string(r + 1);
        line = std::string(numberWidth - number.size(), ' ') + number;
        for (size_t c = 0; c < texts[r].size(); ++c) {
            const std::string& t = texts[r][c];
            const std::string pad(widths[c] - Width(t), ' ');
            // Numbers line up on the right, texts on the left, as in a spreadsheet.
            const bool right = c < rows_[r].size() && rows_[r][c].kind == Cell::Number;
            line += " | " + (right ? pad + t : t + pad);
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        std::fprintf(out, "%s\n", line.c_str());
    }
}

void Worksheet::WriteJson(std::FILE* out) const {
    Json sheet = Json::array();
    for (const auto& r : rows_) {
        Json row = Json::array();
        for (const Cell& c : r) {
            if (c.kind == Cell::Number)
                row.push_back(NumberJson(c.number));
            else if (c.kind == Cell::Text)
                row.push_back(Text(c));
            else
                row.push_back(nullptr);
        }
        sheet.push_back(row);
    }
    const std::string text = sheet.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::fprintf(out, "%s\n", text.c_str());
}

void AppendCsvField(std::string& line, const Cell& cell, const std::string& text) {
    const std::string t = CellDisplay(cell, text);
    if (cell.kind == Cell::Text && NeedsQuotes(t)) {
        line += '"';
        for (char ch : t) {
            if (ch == '"')
                line += '"';
            line += ch;
        }
        line += '"';
    } else {
        line += t;
    }
}

void CsvStream::Take(const TrBase& record) {
    int32_t row = 0, col = 0;
    Cell cell;
    std::string text;
    if (!reader_.Take(record, row, col, cell, text))
        return;
    if (row != currentRow_) {
        if (currentRow_ >= 0)
            FlushRow();
        // Rows without cells are empty lines.
        while (writtenRows_ < row) {
            std::fputc('\n', out_);
            ++writtenRows_;
        }
        currentRow_ = row;
    }
    if (row_.size() <= static_cast<size_t>(col)) {
        row_.resize(static_cast<size_t>(col) + 1);
        rowTexts_.resize(static_cast<size_t>(col) + 1);
    }
    row_[static_cast<size_t>(col)] = cell;
    rowTexts_[static_cast<size_t>(col)] = std::move(text);
}

void CsvStream::FlushRow() {
    const std::string line = CsvLine(row_, [this](size_t c) { return rowTexts_[c]; });
    std::fwrite(line.data(), 1, line.size(), out_);
    std::fputc('\n', out_);
    ++writtenRows_;
    row_.clear();
    rowTexts_.clear();
}

void CsvStream::Finish() {
    if (currentRow_ >= 0)
        FlushRow();
    currentRow_ = -1;
}

}  // namespace dornel::app
