// The worksheet as an aligned table.
#include "TableView.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
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

/// The lines of a block of rows, made into a buffer that the block's writer writes whole. The
/// maker keeps its place in a pointer of its own and hands it in: a place kept here would be
/// read back after every byte stored, as a char may be any object.
class Lines {
  public:
    /// Lines made into text, which keeps its room from block to block.
    explicit Lines(std::vector<char>& text) : buffer_(text) {
        if (buffer_.size() < kLineRoom)
            buffer_.resize(kLineRoom);
    }
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
        return at;
    }

  private:
    static constexpr size_t kLineRoom = 4096;

    char* Grow(char* at, size_t count) {
        const size_t offset = Offset(at);
        buffer_.resize(std::max(buffer_.size() * 2, offset + count));
        return buffer_.data() + offset;
    }

    std::vector<char>& buffer_;
};

/// The row numbers, counted in text: right-aligned in their width, as they are written.
class RowNumber {
  public:
    /// Counting on from before, the number of the row before the first (0 for none).
    RowNumber(size_t width, size_t before) : width_(width) {
        std::memset(text_, ' ', sizeof text_);
        for (size_t i = width; before > 0; before /= 10)
            text_[--i] = static_cast<char>('0' + before % 10);
    }
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

/// Widens each column's width to the widest shown cell of rows first to last (not included).
void MeasureRows(const Worksheet& sheet, size_t first, size_t last, size_t* width) {
    for (size_t r = first; r < last; ++r) {
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
}

/// The lines of rows first to last (not included), each cell straight into its line, in text.
void MakeLines(const Worksheet& sheet, const size_t* width, size_t rowDigits, size_t first,
               size_t last, std::vector<char>& text) {
    Lines lines(text);
    char* p = lines.Start();
    RowNumber number(rowDigits, first);
    for (size_t r = first; r < last; ++r) {
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
    text.resize(lines.Offset(p));
}

/// The first row of each block, and the row count after the last.
std::vector<size_t> BlockStarts(const Worksheet& sheet, size_t blockCells) {
    std::vector<size_t> starts;
    size_t cells = 0;
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        if (cells == 0)
            starts.push_back(r);
        cells += sheet.RowLength(r) + 1;
        if (cells >= blockCells)
            cells = 0;
    }
    starts.push_back(sheet.RowCount());
    return starts;
}

/// The widths of the columns: those of their names, widened by their cells.
std::vector<size_t> MeasureColumns(const Worksheet& sheet, size_t columns,
                                   const std::vector<size_t>& starts, bool shared) {
    std::vector<size_t> widths(columns, 0);
    for (size_t c = 0; c < columns; ++c)
        widths[c] = ColumnName(c).size();
    const size_t rows = sheet.RowCount(), blocks = starts.size() - 1;
    if (shared) {
        // The lower half on a second thread, where one can be had.
        const size_t half = starts[blocks / 2];
        std::vector<size_t> lower(columns, 0);
        std::future<void> measured;
        try {
            measured = std::async(std::launch::async,
                                  [&] { MeasureRows(sheet, half, rows, lower.data()); });
        } catch (const std::system_error&) {
            MeasureRows(sheet, 0, rows, widths.data());
            return widths;
        }
        MeasureRows(sheet, 0, half, widths.data());
        measured.get();
        for (size_t c = 0; c < columns; ++c)
            widths[c] = std::max(widths[c], lower[c]);
        return widths;
    }
    MeasureRows(sheet, 0, rows, widths.data());
    return widths;
}

/// Makes the lines of all rows and writes them in order, a block of rows at a time. Where the
/// sheet is large and a second thread can be had, that thread makes every other block, at most
/// two ahead of the writing, while this one makes the others and writes them all.
void WriteRows(const Worksheet& sheet, const size_t* width, size_t rowDigits,
               const std::vector<size_t>& starts, bool shared, std::FILE* out) {
    const size_t blocks = starts.size() - 1;
    const auto make = [&](size_t block, std::vector<char>& text) {
        MakeLines(sheet, width, rowDigits, starts[block], starts[block + 1], text);
    };
    const auto write = [out](const std::vector<char>& text) {
        WriteOutput(out, std::string_view(text.data(), text.size()));
    };
    std::vector<char> own;
    struct Slot {
        std::vector<char> text;
        bool made = false;
    } slots[2];
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    std::exception_ptr failure;
    // The odd blocks, each in the slot of its pair of blocks.
    const auto makeOdd = [&] {
        try {
            for (size_t b = 1; b < blocks; b += 2) {
                Slot& slot = slots[b / 2 % 2];
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return !slot.made || stop; });
                    if (stop)
                        return;
                }
                make(b, slot.text);
                {
                    std::lock_guard lock(mutex);
                    slot.made = true;
                }
                changed.notify_all();
            }
        } catch (...) {
            {
                std::lock_guard lock(mutex);
                failure = std::current_exception();
            }
            changed.notify_all();
        }
    };
    std::thread helper;
    if (shared) {
        try {
            helper = std::thread(makeOdd);
        } catch (const std::system_error&) {
            // No thread to be had: all blocks here.
        }
    }
    if (!helper.joinable()) {
        for (size_t b = 0; b < blocks; ++b) {
            make(b, own);
            write(own);
        }
        return;
    }
    try {
        for (size_t b = 0; b < blocks; ++b) {
            if (b % 2 == 0) {
                make(b, own);
                write(own);
                continue;
            }
            Slot& slot = slots[b / 2 % 2];
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return slot.made || failure; });
                if (failure)
                    std::rethrow_exception(failure);
            }
            write(slot.text);
            {
                std::lock_guard lock(mutex);
                slot.made = false;
            }
            changed.notify_all();
        }
    } catch (...) {
        // A failed write or block ends the view; the helper must not go on past it.
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        changed.notify_all();
        helper.join();
        throw;
    }
    helper.join();
}

}  // namespace

void WriteTable(const Worksheet& sheet, std::FILE* out) {
    WriteTable(sheet, out, TableBlocks{});
}

void WriteTable(const Worksheet& sheet, std::FILE* out, TableBlocks blocks) {
    size_t columns = 0;
    for (size_t r = 0; r < sheet.RowCount(); ++r)
        columns = std::max(columns, sheet.RowLength(r));
    if (sheet.RowCount() == 0 || columns == 0) {
        WriteOutput(out, "(empty worksheet)\n");
        return;
    }
    // Two passes over the cells, one for the widths and one to write, so that the view costs
    // no more than a few blocks of lines beside the worksheet. The first measures a number
    // without writing it, and the second writes each cell straight into its line.
    const std::vector<size_t> starts = BlockStarts(sheet, std::max<size_t>(blocks.cells, 1));
    // Two blocks at least: one for each thread.
    const bool shared = starts.size() - 1 >= std::max<size_t>(blocks.sharedFrom, 2);
    const std::vector<size_t> widths = MeasureColumns(sheet, columns, starts, shared);
    char digits[24];
    const size_t rowDigits = static_cast<size_t>(
        std::to_chars(digits, digits + sizeof digits, sheet.RowCount()).ptr - digits);
    std::vector<char> header;
    Lines lines(header);
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
    WriteOutput(out, std::string_view(header.data(), lines.Offset(p)));
    WriteRows(sheet, widths.data(), rowDigits, starts, shared, out);
}

}  // namespace dornel::app
