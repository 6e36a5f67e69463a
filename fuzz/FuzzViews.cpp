// Fuzz target: the views' writers against the ways they were first written. The JSON view's
// numbers and strings against the JSON library's own dump of them (the view's bytes were that
// dump's), the table view against a plain writer that makes each line of strings, and the
// streamed views against themselves written in other pieces or on another thread.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "RowStream.h"
#include "ShortestNumber.h"
#include "TableView.h"
#include "Trace.h"
#include "Worksheet.h"
#include "host/qorvix/Records.h"

using namespace dornel;

namespace {

std::string Dumped(const app::Json& value) {
    return value.dump(-1, ' ', false, app::Json::error_handler_t::replace);
}

void CheckNumber(double value) {
    char out[app::kNumberRoom];
    const std::string written(out, app::WriteJsonNumber(out, value));
    if (written != Dumped(app::NumberJson(value))) {
        std::fprintf(stderr, "%.17g: %s\n", value, written.c_str());
        std::abort();
    }
}

/// The shortest text against the general writer it stands for (past 2^53 its exponent form),
/// and its measure and the CSV field against the text.
void CheckShortest(double value) {
    char out[app::kNumberRoom], general[app::kNumberRoom];
    const char* const end = app::WriteShortestNumber(out, value);
    const char* generalEnd;
    if (std::isnan(value))
        generalEnd = std::strcpy(general, "NaN") + 3;
    else if (std::isinf(value))
        generalEnd =
            std::strcpy(general, value > 0 ? "Infinity" : "-Infinity") + (value > 0 ? 8 : 9);
    else if (std::fabs(value) > 9007199254740992.0)
        generalEnd =
            std::to_chars(general, general + sizeof general, value, std::chars_format::scientific)
                .ptr;
    else
        generalEnd = std::to_chars(general, general + sizeof general, value).ptr;
    const std::string written(out, static_cast<size_t>(end - out));
    // The CSV view writes its numbers on a road of its own, inline.
    app::Cell cell;
    cell.kind = app::Cell::Number;
    cell.number = value;
    std::string field;
    app::AppendCsvField(field, cell, {});
    if (written != std::string(general, static_cast<size_t>(generalEnd - general)) ||
        app::ShortestNumberLength(value) != written.size() || field != written) {
        std::fprintf(stderr, "%.17g: %s\n", value, written.c_str());
        std::abort();
    }
}

/// Whole numbers with zeros at their end, where the exponent form may be as short or shorter.
double RoundWhole(fuzz::FuzzInput& in) {
    double value = static_cast<double>(1 + in.Byte() + 256 * in.Byte());
    for (int zeros = static_cast<int>(in.Below(14)); zeros > 0; --zeros)
        value *= 10;
    return in.Bool() ? -value : value;
}

void CheckText(const std::string& text) {
    app::Cell cell;
    cell.kind = app::Cell::Text;
    std::vector<char> out(app::JsonValueRoom(cell, text));
    const std::string written(out.data(), app::WriteJsonValue(out.data(), cell, text));
    if (written != Dumped(app::Json(text)))
        std::abort();
}

/// Numbers as data files hold them: a few digits with a point somewhere, so that most take the
/// writer's own ways rather than the library's.
double ShortDecimal(fuzz::FuzzInput& in) {
    std::string text = in.Bool() ? "-" : "";
    const int digits = 1 + static_cast<int>(in.Below(17));
    for (int i = 0; i < digits; ++i)
        text += static_cast<char>('0' + in.Below(10));
    const int point = static_cast<int>(in.Below(40)) - 20;
    text += "e" + std::to_string(point);
    return std::strtod(text.c_str(), nullptr);
}

/// Numbers near the places where the writers' quick roads change their scaling or end: a power
/// of ten or of two, or a decimal of eight or nine digits, a few doubles either way.
double NearEdge(fuzz::FuzzInput& in) {
    double value;
    switch (in.Below(3)) {
        case 0:
            value = std::strtod(
                ("1e" + std::to_string(static_cast<int>(in.Below(50)) - 25)).c_str(), nullptr);
            break;
        case 1:
            value = std::ldexp(1.0, static_cast<int>(in.Below(100)) - 60);
            break;
        default: {
            std::string text = std::to_string(10000000 + in.Byte() * 390625u + in.Byte());
            if (in.Bool())
                text += static_cast<char>('0' + in.Below(10));
            text += "e" + std::to_string(static_cast<int>(in.Below(40)) - 28);
            value = std::strtod(text.c_str(), nullptr);
            break;
        }
    }
    for (int steps = static_cast<int>(in.Below(9)) - 4; steps != 0; steps += steps > 0 ? -1 : 1)
        value = std::nextafter(value, steps > 0 ? HUGE_VAL : -HUGE_VAL);
    return in.Bool() ? -value : value;
}

std::string ReferenceTable(const app::Worksheet& sheet) {
    // The table as a line of strings at a time, each cell's text made and measured on its own.
    auto width = [](const std::string& s) {
        size_t n = 0;
        for (unsigned char c : s)
            n += (c & 0xC0) != 0x80;
        return n;
    };
    auto columnName = [](size_t index) {
        std::string name;
        for (++index; index > 0; index = (index - 1) / 26)
            name.insert(name.begin(), static_cast<char>('A' + (index - 1) % 26));
        return name;
    };
    auto display = [&sheet](const app::Cell& cell) {
        std::string t = app::CellDisplay(cell, sheet.Text(cell));
        for (char& ch : t)
            if (ch == '\n' || ch == '\r' || ch == '\t')
                ch = ' ';
        return t;
    };
    size_t columns = 0;
    for (size_t r = 0; r < sheet.RowCount(); ++r)
        columns = std::max(columns, sheet.RowLength(r));
    if (sheet.RowCount() == 0 || columns == 0)
        return "(empty worksheet)\n";
    std::vector<size_t> widths(columns, 0);
    std::vector<app::Cell> row;
    for (size_t c = 0; c < columns; ++c)
        widths[c] = width(columnName(c));
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const auto cells = sheet.Row(r, row);
        for (size_t c = 0; c < cells.size(); ++c)
            widths[c] = std::max(widths[c], width(display(cells[c])));
    }
    std::string all;
    const size_t numberWidth = std::to_string(sheet.RowCount()).size();
    std::string line(numberWidth, ' ');
    auto endLine = [&] {
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        all += line + '\n';
    };
    for (size_t c = 0; c < columns; ++c)
        line += " | " + columnName(c) + std::string(widths[c] - width(columnName(c)), ' ');
    endLine();
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const auto cells = sheet.Row(r, row);
        const std::string number = std::to_string(r + 1);
        line.assign(numberWidth - number.size(), ' ');
        line += number;
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string t = display(cells[c]);
            const std::string pad(widths[c] - width(t), ' ');
            line += " | ";
            line += cells[c].kind == app::Cell::Number ? pad + t : t + pad;
        }
        endLine();
    }
    return all;
}

void CheckTable(fuzz::FuzzInput& in) {
    app::Worksheet sheet;
    // Sheets with more than 26 columns now and then, so that the names take two letters.
    const uint32_t columns = in.Bool() ? 4 : 40;
    for (int n = in.Below(120); n > 0; --n) {
        const auto row = static_cast<int32_t>(in.Below(12));
        const auto col = static_cast<int32_t>(in.Below(columns));
        switch (in.Below(4)) {
            case 0:
                // Now and then longer than a few words of eight bytes, and wider than the
                // blanks the view stores at once.
                sheet.Take(qorvix::TrCell(row, col, brisko::RString(in.Text(in.Bool() ? 12 : 40))));
                break;
            case 1:
                sheet.Take(qorvix::TrCell(row, col, ShortDecimal(in)));
                break;
            case 2: {
                // A date, a time or both, by the formats' own strings.
                static const char* const kFormats[] = {"yyyy-mm-dd", "hh:mm:ss",
                                                       "yyyy-mm-dd hh:mm:ss", "dd/mm/yyyy"};
                qorvix::TrCellFmt format(row, col, 0);
                format.mask = qorvix::CELLFMT_DATE_MASK;
                format.category = qorvix::CELLFMT_CATEGORY_DATE;
                format.format = brisko::RString(kFormats[in.Below(4)]);
                sheet.Take(format);
                sheet.Take(qorvix::TrCell(row, col, 40000.0 + in.Byte() + in.Byte() / 256.0));
                break;
            }
            default:
                sheet.Take(qorvix::TrCell(row, col));
                break;
        }
    }
    char* text = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    // Blocks of a few cells now and then, so that small sheets too are made on two threads and
    // their blocks meet in many places.
    if (in.Bool())
        app::WriteTable(sheet, out, app::TableBlocks{1 + in.Below(24), 2 + in.Below(3)});
    else
        app::WriteTable(sheet, out);
    std::fclose(out);
    const bool same = std::string(text, size) == ReferenceTable(sheet);
    std::free(text);
    if (!same)
        std::abort();
}

/// The records an import might hand over, mostly in order: rows and columns skipped now and
/// then, a cell now and then back in an earlier row, texts that need quoting or escaping,
/// numbers, empty cells and dates.
std::vector<std::unique_ptr<qorvix::TrBase>> StreamRecords(fuzz::FuzzInput& in) {
    std::vector<std::unique_ptr<qorvix::TrBase>> records;
    int32_t row = 0, col = 0;
    for (int n = in.Below(200); n > 0; --n) {
        switch (in.Below(8)) {
            case 0:
                row += 1 + static_cast<int32_t>(in.Below(3));
                col = 0;
                break;
            case 1:
                col += static_cast<int32_t>(in.Below(in.Bool() ? 4 : 70));
                break;
            case 2:
                // Back to an earlier row. (Back to a column of a piece already sent starts a new
                // row, so that the pieces show there: no view of the kind could do otherwise.)
                row = static_cast<int32_t>(in.Below(static_cast<uint32_t>(row) + 1));
                break;
            default:
                break;
        }
        switch (in.Below(4)) {
            case 0:
                records.push_back(std::make_unique<qorvix::TrCell>(
                    row, col, brisko::RString(in.Text(in.Bool() ? 12 : 90))));
                break;
            case 1:
                records.push_back(std::make_unique<qorvix::TrCell>(row, col, ShortDecimal(in)));
                break;
            case 2: {
                auto format = std::make_unique<qorvix::TrCellFmt>(row, col, 0);
                format->mask = qorvix::CELLFMT_DATE_MASK;
                format->category = qorvix::CELLFMT_CATEGORY_DATE;
                format->format = brisko::RString(in.Bool() ? "yyyy-mm-dd" : "hh:mm:ss");
                records.push_back(std::move(format));
                records.push_back(
                    std::make_unique<qorvix::TrCell>(row, col, 40000.0 + in.Byte() / 8.0));
                break;
            }
            default:
                records.push_back(std::make_unique<qorvix::TrCell>(row, col));
                break;
        }
        ++col;
    }
    return records;
}

/// The streamed views do not depend on the size of the pieces a long row travels in, nor on
/// the thread that writes them.
void CheckStream(fuzz::FuzzInput& in) {
    const auto format = in.Bool() ? app::RowStream::Csv : app::RowStream::Json;
    const app::RowChannel::PieceBound pieces{1 + in.Below(40), 1 + in.Below(300)};
    const auto writer = in.Bool() ? app::RowStream::OwnThread : app::RowStream::ImportThread;
    const auto records = StreamRecords(in);
    const auto view = [&](app::RowChannel::PieceBound bound, app::RowStream::Writer by) {
        char* text = nullptr;
        size_t size = 0;
        std::FILE* out = open_memstream(&text, &size);
        {
            app::RowStream stream(out, format, bound, by);
            for (const auto& record : records)
                stream.Take(*record);
            stream.Finish();
        }
        std::fclose(out);
        std::string written(text, size);
        std::free(text);
        return written;
    };
    if (view(pieces, writer) != view(app::RowChannel::DefaultPieces(), app::RowStream::OwnThread))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    switch (in.Below(5)) {
        case 0: {
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = bits << 8 | in.Byte();
            double value;
            std::memcpy(&value, &bits, sizeof value);
            CheckNumber(value);
            CheckShortest(value);
            break;
        }
        case 1:
            for (int n = 0; n < 8; ++n) {
                const double value = ShortDecimal(in);
                CheckNumber(value);
                CheckShortest(value);
                CheckShortest(RoundWhole(in));
                const double edge = NearEdge(in);
                CheckNumber(edge);
                CheckShortest(edge);
            }
            break;
        case 2:
            CheckText(in.Rest());
            break;
        case 3:
            CheckStream(in);
            break;
        default:
            CheckTable(in);
            break;
    }
    return 0;
}
