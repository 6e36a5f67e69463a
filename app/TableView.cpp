// The worksheet as an aligned table.
#include "TableView.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ByteWords.h"
#include "EightDigits.h"
#include "GrowingArray.h"
#include "Output.h"
#include "ShortestNumber.h"

namespace dornel::app {

namespace {

/// The n bytes at p (fewer than eight) as the low bytes of a word, the rest zero, read in
/// pieces that each load once and nothing past them.
inline uint64_t ShortWord(const char* p, size_t n) {
    uint64_t word = 0;
    unsigned shift = 0;
    if (n & 4) {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        word = v;
        shift = 32;
        p += 4;
    }
    if (n & 2) {
        uint16_t v;
        std::memcpy(&v, p, sizeof v);
        word |= uint64_t{v} << shift;
        shift += 16;
        p += 2;
    }
    if (n & 1)
        word |= uint64_t{static_cast<unsigned char>(*p)} << shift;
    return word;
}

/// The high bit of each byte that continues a UTF-8 character (10xxxxxx): its high bit set and
/// the next clear.
inline uint64_t ContinuingMarks(uint64_t w) {
    return w & ~(w << 1) & kHighBits;
}

/// The number of marks: moved to the bottom of their bytes, they are summed in the top byte by
/// the multiplication.
inline size_t MarkCount(uint64_t marks) {
    return static_cast<size_t>(((marks >> 7) * kEachByte) >> 56);
}

/// Display width in characters of UTF-8 text (one per code point): its bytes less those that
/// continue a character, counted eight at a time; the last word of a text of eight bytes or
/// more is the one that ends with it, less the bytes counted already.
size_t Width(std::string_view s) {
    const char* const p = s.data();
    const size_t n = s.size();
    if (n < 8)
        return n - MarkCount(ContinuingMarks(ShortWord(p, n)));
    size_t continuing = 0, i = 0;
    for (; i + 8 <= n; i += 8)
        continuing += MarkCount(ContinuingMarks(LoadWord(p + i)));
    if (i < n)
        continuing +=
            MarkCount(ContinuingMarks(LoadWord(p + n - 8)) & ~uint64_t{0} << 8 * (i + 8 - n));
    return n - continuing;
}

/// A flag in a word that may hold a tab or a line end: \t is 9, \n 10, \r 13.
inline uint64_t LowMarks(uint64_t w) {
    return BytesBelow(w, 14);
}

/// The word with its line ends and tabs as blanks.
uint64_t Blanked(uint64_t w) {
    char b[8];
    std::memcpy(b, &w, sizeof b);
    for (char& c : b)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    std::memcpy(&w, b, sizeof w);
    return w;
}

/// Copies a cell's text to out with its line ends and tabs as blanks, which would break the
/// table's lines and columns, and returns its end. A word at a time, and most words have none of
/// them; out has room for eight bytes more than the text, which the copy may overwrite.
char* CopyShown(char* out, std::string_view s) {
    const char* const p = s.data();
    const size_t n = s.size();
    if (n < 8) {
        const uint64_t w = ShortWord(p, n);
        // The zeros past the text are below 14 too.
        const uint64_t real = n == 0 ? 0 : ~uint64_t{0} >> 8 * (8 - n);
        std::memcpy(out, &w, sizeof w);
        if (LowMarks(w) & real) [[unlikely]] {
            const uint64_t blanked = Blanked(w);
            std::memcpy(out, &blanked, sizeof blanked);
        }
        return out + n;
    }
    for (size_t i = 0;; i += 8) {
        // The last word is the one that ends with the text, over the bytes before it.
        if (i + 8 > n)
            i = n - 8;
        uint64_t w = LoadWord(p + i);
        if (LowMarks(w)) [[unlikely]]
            w = Blanked(w);
        std::memcpy(out + i, &w, sizeof w);
        if (i + 8 == n)
            return out + n;
    }
}

constexpr size_t kBlankRun = 32;
constexpr char kBlanks[kBlankRun + 1] = "                                ";

/// Blanks at out, count of them: most runs are short and stored whole, the store going past
/// them into room the caller has.
inline void Blank(char* out, size_t count) {
    if (count <= kBlankRun) [[likely]]
        std::memcpy(out, kBlanks, kBlankRun);
    else
        std::memset(out, ' ', count);
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

/// Lines made and not written yet: a write per line costs more than making the line. The
/// writer keeps its place in a pointer of its own and hands it in: a place kept here would be
/// read back after every byte stored, as a char may be any object.
class Lines {
  public:
    explicit Lines(std::FILE* out) : out_(out), buffer_(kWriteAt + kLineRoom) {}
    char* Start() { return buffer_.data(); }
    size_t Offset(const char* at) const { return static_cast<size_t>(at - buffer_.data()); }
    /// The place at with room for count bytes after it.
    char* Room(char* at, size_t count) {
        if (static_cast<size_t>(buffer_.data() + buffer_.size() - at) < count) [[unlikely]]
            return Grow(at, count);
        return at;
    }
    /// Ends the line that began at lineStart (an offset), without the blanks at its end, and
    /// returns where the next begins.
    char* EndLine(size_t lineStart, char* at) {
        at = Room(at, 1);
        char* const start = buffer_.data() + lineStart;
        while (at != start && at[-1] == ' ')
            --at;
        *at++ = '\n';
        if (Offset(at) >= kWriteAt) {
            WriteOutput(out_, std::string_view(buffer_.data(), Offset(at)));
            at = buffer_.data();
        }
        return at;
    }
    void Flush(const char* at) { WriteOutput(out_, std::string_view(buffer_.data(), Offset(at))); }

  private:
    static constexpr size_t kWriteAt = 64 * 1024;
    static constexpr size_t kLineRoom = 4096;

    char* Grow(char* at, size_t count) {
        const size_t offset = Offset(at);
        buffer_.resize(std::max(buffer_.size() * 2, offset + count));
        return buffer_.data() + offset;
    }

    std::FILE* out_;
    std::vector<char> buffer_;
};

/// The row numbers, counted in text: right-aligned in their width, as they are written.
class RowNumber {
  public:
    explicit RowNumber(size_t width) : width_(width) { std::memset(text_, ' ', sizeof text_); }
    /// Counts one on and writes the number at out, which has room for kRoom bytes.
    char* Next(char* out) {
        size_t i = width_ - 1;
        while (text_[i] == '9')
            text_[i--] = '0';
        text_[i] = text_[i] == ' ' ? '1' : static_cast<char>(text_[i] + 1);
        std::memcpy(out, text_, kRoom);
        return out + width_;
    }
    static constexpr size_t kRoom = 24;

  private:
    size_t width_;  // the digits of the last row's number
    char text_[kRoom];
};

/// A number without a date or time format: the usual kind, written by the shortest form.
inline bool PlainNumber(const Cell& cell) {
    return cell.kind == Cell::Number && cell.dateFormat == 0 && cell.timeFormat == 0;
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
    // no more than a line beside the worksheet. The first measures a number without writing
    // it, and the second writes each cell straight into its line.
    std::vector<size_t> widths(columns, 0);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = ColumnName(c).size();
    size_t* const width = widths.data();
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        sheet.ForEachCell(r, [&](size_t c, const Cell& cell) {
            if (PlainNumber(cell)) {
                // Most numbers are measured on the quick road, inline: a call cost them a tenth
                // of their measure.
                EightDigits d;
                width[c] = std::max(width[c], FindEightDigits(cell.number, d)
                                                  ? EightDigitsLength(d)
                                                  : ShortestNumberLength(cell.number));
            } else if (cell.kind == Cell::Text) {
                // No wider than its bytes: most texts need not be measured.
                const std::string_view t = sheet.Text(cell);
                if (t.size() > width[c])
                    width[c] = std::max(width[c], Width(t));
            } else if (cell.kind == Cell::Number) {
                char room[kShownRoom];
                width[c] = std::max(width[c], Width(CellShown(cell, {}, room)));
            }
        });
    }
    char digits[24];
    const size_t rowDigits = static_cast<size_t>(
        std::to_chars(digits, digits + sizeof digits, sheet.RowCount()).ptr - digits);
    Lines lines(out);
    char* p = lines.Room(lines.Start(), rowDigits + kBlankRun);
    std::memset(p, ' ', rowDigits);
    p += rowDigits;
    for (size_t c = 0; c < columns; ++c) {
        const std::string name = ColumnName(c);
        p = lines.Room(p, 3 + widths[c] + kBlankRun);
        p = std::copy_n(" | ", 3, p);
        p = std::copy(name.begin(), name.end(), p);
        Blank(p, widths[c] - name.size());
        p += widths[c] - name.size();
    }
    p = lines.EndLine(0, p);
    RowNumber number(rowDigits);
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const size_t lineStart = lines.Offset(p);
        p = number.Next(lines.Room(p, RowNumber::kRoom));
        sheet.ForEachCell(r, [&](size_t c, const Cell& cell) {
            const size_t w = width[c];
            // Numbers line up on the right, texts on the left, as in a spreadsheet.
            if (cell.kind == Cell::Number) {
                char room[kShownRoom];
                size_t length, pad;
                if (PlainNumber(cell)) [[likely]] {
                    length = static_cast<size_t>(WriteShortestNumber(room, cell.number) - room);
                    pad = w - length;
                } else {
                    const std::string_view shown = CellShown(cell, {}, room);
                    length = shown.size();
                    pad = w - Width(shown);
                }
                p = lines.Room(p, 3 + pad + kBlankRun + kShownRoom);
                std::memcpy(p, " | ", 3);
                Blank(p + 3, pad);
                if (length <= kBlankRun) [[likely]]
                    std::memcpy(p + 3 + pad, room, kBlankRun);
                else
                    std::memcpy(p + 3 + pad, room, length);
                p += 3 + pad + length;
                return;
            }
            if (cell.kind == Cell::Empty) {
                p = lines.Room(p, 3 + w + kBlankRun);
                std::memcpy(p, " | ", 3);
                Blank(p + 3, w);
                p += 3 + w;
                return;
            }
            const std::string_view t = sheet.Text(cell);
            const size_t pad = w - Width(t);
            p = lines.Room(p, 3 + t.size() + 8 + pad + kBlankRun);
            std::memcpy(p, " | ", 3);
            p = CopyShown(p + 3, t);
            Blank(p, pad);
            p += pad;
        });
        p = lines.EndLine(lineStart, p);
    }
    lines.Flush(p);
}

}  // namespace dornel::app
