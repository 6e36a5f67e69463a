// The host program's worksheet and its views.
#include "Worksheet.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Output.h"
#include "Trace.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/DateTime.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

using namespace qorvix;

namespace {

/// Room for a number's text, a date's or a time's, and for the pieces of sixteen bytes a number's
/// digits are copied in.
constexpr size_t kNumberRoom = 64;

/// The fifteen digits of n (from 10^14 to below 10^15) at out[1] to out[15], and how many of
/// them at the end are zeros.
inline int FifteenDigits(uint64_t n, char* out) {
#if defined(__SSE2__)
    // Each quarter of n (four digits) fills four lanes with four times itself; two high
    // multiplications make them n / 1000, n / 100, n / 10 and n, and each lane less ten times
    // the lane before it is one digit. No loop: one that ends at a different place for every
    // number mispredicts its end.
    const auto lanes = [](uint32_t eight) {
        const __m128i x = _mm_unpacklo_epi64(_mm_set1_epi16(static_cast<short>(eight / 10000 * 4)),
                                             _mm_set1_epi16(static_cast<short>(eight % 10000 * 4)));
        const __m128i divisors =
            _mm_setr_epi16(8389, 5243, 13108, -32768, 8389, 5243, 13108, -32768);
        const __m128i scales =
            _mm_setr_epi16(1 << 7, 1 << 11, 1 << 13, -32768, 1 << 7, 1 << 11, 1 << 13, -32768);
        const __m128i q = _mm_mulhi_epu16(_mm_mulhi_epu16(x, divisors), scales);
        return _mm_sub_epi16(q, _mm_slli_epi64(_mm_mullo_epi16(q, _mm_set1_epi16(10)), 16));
    };
    const __m128i digits =
        _mm_add_epi8(_mm_packus_epi16(lanes(static_cast<uint32_t>(n / 100000000)),
                                      lanes(static_cast<uint32_t>(n % 100000000))),
                     _mm_set1_epi8('0'));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
    // A bit a digit, the last highest: the leading ones are the trailing zeros.
    const auto zeros =
        static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(digits, _mm_set1_epi8('0'))));
    return std::countl_one(zeros << 16);
#else
    for (int i = 15; i >= 0; --i, n /= 10)
        out[i] = static_cast<char>('0' + n % 10);
    int zeros = 0;
    while (out[15 - zeros] == '0')
        ++zeros;
    return zeros;
#endif
}

/// Writes at out (room for kNumberRoom bytes) the shortest text of a number with a fraction and at
/// most 15 digits, in the form the general writer gives it, and returns its end; null where that
/// writer must decide. With e the value's decimal exponent, the value times 10^(14-e), rounded, is
/// a whole number t of 15 digits, and both operands of t / 10^(14-e) are exact, so the quotient is
/// the double that decimal reads as. Decimals of 15 digits lie at least 1E-15 of the value apart,
/// more than a double's step, so at most one of them reads back: if t does, it is the value rounded
/// to 15 digits, and that with its trailing zeros dropped is the shortest text, since any shorter
/// decimal that reads back would be that rounding too. An exponent found one too high puts the
/// product below 1E+14, and the general writer decides. The general writer takes the exponent form
/// where it is shorter.
char* WriteShortDecimal(char* out, double value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                         1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                         1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    static constexpr double kDecades[] = {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1,
                                          1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                          1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr int kFirstDecade = -6;
    const double a = std::fabs(value);
    // Whole numbers have no fraction to shorten.
    if (!(a >= 1e-5 && a < 1e15) || a == std::floor(a))
        return nullptr;
    // log10(2) is about 78913/2^18; the estimate is the exponent or one below it.
    const int binary = static_cast<int>(std::bit_cast<uint64_t>(a) >> 52) - 1023;
    const int guess = (binary * 78913) >> 18;
    const int e = guess + (a >= kDecades[guess + 1 - kFirstDecade] ? 1 : 0);
    const int scale = 14 - e;
    const double y = a * kPowers[scale];
    const auto t = static_cast<int64_t>(y + 0.5);
    if (!(y >= 1e14 && t < 1000000000000000) || static_cast<double>(t) / kPowers[scale] != a)
        return nullptr;
    // Room after the digits: pieces are copied sixteen bytes at a time, whatever their length.
    char buffer[40] = {};
    const int zeros = FifteenDigits(static_cast<uint64_t>(t), buffer);
    const char* const digits = buffer + 1;
    const int total = 15 - zeros;
    // Digits after the point: at least one, as the value is not whole.
    const int k = scale - zeros;
    const int whole = total > k ? total - k : 0;
    const int exponent = total - k - 1;
    const int fixedLength = (whole > 0 ? whole : 1) + 1 + k;
    const int exponentLength = 1 + (total > 1 ? total : 0) + 2 + (exponent <= -100 ? 3 : 2);
    if (fixedLength > exponentLength)
        return nullptr;
    char* p = out;
    *p = '-';
    p += value < 0 ? 1 : 0;
    constexpr size_t kPiece = 16;
    if (whole > 0) {
        std::memcpy(p, digits, kPiece);
        p += whole;
        *p++ = '.';
        std::memcpy(p, digits + whole, kPiece);
        p += k;
    } else {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', kPiece);
        p += k - total;
        std::memcpy(p, digits, kPiece);
        p += total;
    }
    return p;
}

/// Writes at out (room for kNumberRoom bytes) the shortest text that reads back as value, NaN
/// and the infinities by name, and returns its end.
char* WriteShortestNumber(char* out, double value) {
    // A whole number below 1e15 that does not end in 0 is its digits: its exponent form is
    // always longer, so the general writer would choose the same. Most numbers in data are such.
    if (std::fabs(value) < 1e15) {
        const auto whole = static_cast<int64_t>(value);
        if (static_cast<double>(whole) == value && whole % 10 != 0)
            return std::to_chars(out, out + kNumberRoom, whole).ptr;
    }
    if (char* const end = WriteShortDecimal(out, value))
        return end;
    if (std::isnan(value))
        return std::copy_n("NaN", 3, out);
    if (std::isinf(value))
        return value > 0 ? std::copy_n("Infinity", 8, out) : std::copy_n("-Infinity", 9, out);
    return std::to_chars(out, out + kNumberRoom, value).ptr;
}

std::string ShortestNumber(double value) {
    char text[kNumberRoom];
    return std::string(text, WriteShortestNumber(text, value));
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

bool NeedsQuotes(std::string_view s) {
    if (s.empty())
        return false;
    if (s.front() == ' ' || s.back() == ' ')
        return true;
    // One comparison for most bytes: the four that need quotes are all below '-'.
    for (const char ch : s)
        if (static_cast<unsigned char>(ch) < '-' &&
            (ch == ',' || ch == '"' || ch == '\r' || ch == '\n'))
            return true;
    return false;
}

}  // namespace

std::string CellDisplay(const Cell& cell, std::string_view text) {
    switch (cell.kind) {
        case Cell::Empty:
            return std::string();
        case Cell::Text:
            return std::string(text);
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

CellReader::CellReader()
    : cellType_(TrCell::GetClassTypeId()),
      formatType_(TrCellFmt::GetClassTypeId()),
      utf8Acp_(brisko::GetSystemCodePage() == brisko::kCodePageUtf8) {}

void CellReader::TakeOther(const TrBase& record) {
    if (record.GetTypeInfo() != formatType_)
        return;
    const auto& f = static_cast<const TrCellFmt&>(record);
    brisko::WQMapExcelFmtStrToFmtTypes(f.format.c_str(), pendingDate_, pendingTime_);
    pendingRow_ = f.row;
    pendingCol_ = f.col;
}

std::string_view CellReader::Converted(const std::string& acp) {
    converted_ = AcpToUtf8(acp);
    return converted_;
}

uint64_t Worksheet::PackWhole(Cell cell) {
    wholeCells_.push_back(cell);
    return kWholeBox | (wholeCells_.size() - 1);
}

Cell Worksheet::Unpack(uint64_t bits) const {
    Cell cell;
    if ((bits & kBox) != kBox) {
        cell.kind = Cell::Number;
        cell.number = std::bit_cast<double>(bits);
        return cell;
    }
    const uint64_t place = bits & ((uint64_t{1} << kKindShift) - 1);
    switch (bits >> kKindShift & 3) {
        case kTextKind:
            cell.kind = Cell::Text;
            cell.textLength = static_cast<uint32_t>(place >> kLengthShift);
            cell.textOffset = place & (kOffsetLimit - 1);
            return cell;
        case kWholeKind:
            return wholeCells_[place];
        default:
            return cell;
    }
}

void Worksheet::StoreElsewhere(size_t row, size_t col, Cell cell) {
    if (row == rowStart_.size() && col == 0) {
        rowStart_.push_back(cells_.size());
        cells_.push_back(Pack(cell));
        return;
    }
    Place(row, col, cell);
}

void Worksheet::Place(size_t row, size_t col, Cell cell) {
    while (rowStart_.size() <= row)
        rowStart_.push_back(cells_.size());
    const size_t start = rowStart_[row];
    const size_t end = RowEnd(row);
    if (start + col < end) {
        cells_[start + col] = Pack(cell);
        return;
    }
    // The row grows: empty cells up to the column, then the cell.
    const size_t added = start + col + 1 - end;
    cells_.insert(end, added, kEmptyBox);
    cells_[start + col] = Pack(cell);
    rowStart_.MoveFrom(row + 1, added);
}

void Worksheet::WriteTable(std::FILE* out) const {
    size_t columns = 0;
    for (size_t r = 0; r < RowCount(); ++r)
        columns = std::max(columns, RowLength(r));
    if (RowCount() == 0 || columns == 0) {
        WriteOutput(out, "(empty worksheet)\n");
        return;
    }
    // Two passes over the cells, one for the widths and one to write, so that the view costs
    // no more than a line beside the worksheet.
    auto display = [this](const Cell& cell) {
        std::string t = CellDisplay(cell, Text(cell));
        for (char& ch : t)
            if (ch == '\n' || ch == '\r' || ch == '\t')
                ch = ' ';
        return t;
    };
    std::vector<size_t> widths(columns, 0);
    std::vector<Cell> row;
    for (size_t c = 0; c < columns; ++c)
        widths[c] = Width(ColumnName(c));
    for (size_t r = 0; r < RowCount(); ++r) {
        const std::span<const Cell> cells = Row(r, row);
        for (size_t c = 0; c < cells.size(); ++c)
            widths[c] = std::max(widths[c], Width(display(cells[c])));
    }
    const size_t numberWidth = std::to_string(RowCount()).size();
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
    for (size_t r = 0; r < RowCount(); ++r) {
        const std::span<const Cell> cells = Row(r, row);
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

size_t CsvFieldRoom(const Cell& cell, std::string_view text) {
    // A text may be quoted and have each of its bytes doubled.
    return cell.kind == Cell::Text ? 2 * text.size() + 2 : kNumberRoom;
}

char* WriteCsvField(char* out, const Cell& cell, std::string_view text) {
    if (cell.kind == Cell::Text) {
        if (!NeedsQuotes(text)) {
            // An empty text may come without a buffer at all.
            if (!text.empty())
                std::memcpy(out, text.data(), text.size());
            return out + text.size();
        }
        *out++ = '"';
        for (const char ch : text) {
            if (ch == '"')
                *out++ = '"';
            *out++ = ch;
        }
        *out++ = '"';
        return out;
    }
    if (cell.kind == Cell::Number && cell.dateFormat == 0 && cell.timeFormat == 0)
        return WriteShortestNumber(out, cell.number);
    const std::string display = CellDisplay(cell, text);
    return std::copy(display.begin(), display.end(), out);
}

void AppendCsvField(std::string& line, const Cell& cell, std::string_view text) {
    const size_t at = line.size();
    line.resize(at + CsvFieldRoom(cell, text));
    line.resize(static_cast<size_t>(WriteCsvField(line.data() + at, cell, text) - line.data()));
}

RowStream::RowStream(std::FILE* out, Format format, RowChannel::PieceBound pieces)
    : channel_(false, pieces), out_(out), format_(format) {
    try {
        writer_ = std::thread([this] {
            try {
                WriteRows(true);
            } catch (...) {
                failure_ = std::current_exception();
            }
            // Whatever happened, the import must not wait for rows to be taken.
            channel_.Stop();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the rows are written as they complete, on the import's thread.
    }
}

RowStream::~RowStream() {
    if (writer_.joinable()) {
        // An import that failed still shows the rows it completed, as Finish would have, and
        // the pieces of a long row under way that went out already, without the row's end.
        channel_.Close(false);
        writer_.join();
    } else {
        try {
            WriteRows(false);
        } catch (...) {
            // The failure that unwinds is being reported; a write error has nothing to add.
        }
    }
    if (!pending_.empty())
        std::fwrite(pending_.data(), 1, pending_.size(), out_);
}

void RowStream::Take(const TrBase& record) {
    channel_.Take(record);
    if (!writer_.joinable())
        WriteRows(false);
}

void RowStream::WriteRows(bool wait) {
    RowChannel::Row row;
    bool finished = false;
    while (channel_.Next(row, finished, wait)) {
        // Rows without cells are empty rows.
        if (!inRow_)
            while (writtenRows_ < row.number)
                WritePiece({}, {}, true);
        WritePiece(row.cells, row.texts, row.ends);
    }
}

namespace {

/// Inline, as the views' loops over cells: a call for every cell cost more than its work.
[[gnu::always_inline]] inline std::string_view CellText(const Cell& cell, std::string_view texts) {
    return cell.kind == Cell::Text
               ? std::string_view(texts.data() + cell.textOffset, cell.textLength)
               : std::string_view();
}

/// Where a slice of cells that begins at begin ends, taking at least one cell and adding its
/// CSV's room to room until that reaches limit.
[[gnu::always_inline]] inline size_t SliceEnd(std::span<const Cell> cells, std::string_view texts,
                                              size_t begin, size_t& room, size_t limit) {
    size_t end = begin;
    while (end < cells.size() && room < limit) {
        room += CsvFieldRoom(cells[end], CellText(cells[end], texts)) + 1;  // and a separator
        ++end;
    }
    return end;
}

/// The cells as a JSON array.
void DumpJsonArray(std::string& out, std::span<const Cell> cells, std::string_view texts) {
    Json array = Json::array();
    for (const Cell& cell : cells) {
        if (cell.kind == Cell::Number)
            array.push_back(NumberJson(cell.number));
        else if (cell.kind == Cell::Text)
            array.push_back(std::string(CellText(cell, texts)));
        else
            array.push_back(nullptr);
    }
    out = array.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

void RowStream::WritePiece(std::span<const Cell> cells, std::string_view texts, bool ends) {
    if (format_ == Csv) {
        WriteCsv(cells, texts, ends);
    } else {
        if (!inRow_) {
            const std::string_view opening = writtenRows_ == 0 ? "[[" : ",[";
            pending_.append(opening.data(), opening.size());
        }
        WriteJson(cells, texts);
        if (ends)
            pending_.push_back(']');
    }
    inRow_ = !ends;
    writtenRows_ += ends ? 1 : 0;
    // Written in pieces of some size: a write per row costs more than making the row.
    if (pending_.size() >= kWriteAt)
        WritePending();
}

void RowStream::WriteCsv(std::span<const Cell> cells, std::string_view texts, bool ends) {
    // A piece that goes on a row begins with the separator after the row's cells so far.
    const bool continues = inRow_;
    size_t c = 0;
    for (;;) {
        // Room for a slice of the row first, then written with no check per field; a row of
        // usual length is one slice.
        size_t room = 1;  // the line's end
        const size_t end = SliceEnd(cells, texts, c, room, kSliceRoom);
        char* const line = pending_.Spare(room);
        char* p = line;
        if (c == 0 && continues && end > 0)
            *p++ = ',';
        for (; c < end; ++c) {
            if (c > 0)
                *p++ = ',';
            p = WriteCsvField(p, cells[c], CellText(cells[c], texts));
        }
        if (c == cells.size()) {
            if (ends)
                *p++ = '\n';
            pending_.Commit(static_cast<size_t>(p - line));
            return;
        }
        pending_.Commit(static_cast<size_t>(p - line));
        if (pending_.size() >= kWriteAt)
            WritePending();
    }
}

void RowStream::WriteJson(std::span<const Cell> cells, std::string_view texts) {
    for (size_t c = 0; c < cells.size();) {
        size_t room = 0;
        const size_t end = SliceEnd(cells, texts, c, room, kSliceRoom);
        DumpJsonArray(json_, cells.subspan(c, end - c), texts);
        // The slice's cells, without the brackets of the array they were dumped as.
        if (c > 0 || inRow_)
            pending_.push_back(',');
        pending_.append(json_.data() + 1, json_.size() - 2);
        c = end;
        if (pending_.size() >= kWriteAt)
            WritePending();
    }
}

void RowStream::WritePending() {
    try {
        WriteOutput(out_, std::string_view(pending_.data(), pending_.size()));
    } catch (...) {
        // What could not be written is not tried again.
        pending_.clear();
        throw;
    }
    pending_.clear();
}

void RowStream::Finish() {
    channel_.Close(true);
    if (writer_.joinable()) {
        writer_.join();
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
    } else {
        WriteRows(false);
    }
    if (format_ == Json) {
        const std::string_view end = writtenRows_ == 0 ? "[]\n" : "]\n";
        pending_.append(end.data(), end.size());
    }
    WritePending();
}

}  // namespace dornel::app
