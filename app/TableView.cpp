// The worksheet as an aligned table.
#include "TableView.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "GrowingArray.h"
#include "Output.h"

namespace dornel::app {

namespace {

constexpr uint64_t kHighBits = 0x8080'8080'8080'8080;
constexpr uint64_t kOnes = 0x0101'0101'0101'0101;

/// Display width in characters of UTF-8 text (one per code point): its bytes less those that
/// continue a character, counted eight at a time.
size_t Width(std::string_view s) {
    size_t continuing = 0, i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, sizeof w);
        // The high bit set and the next clear: 10xxxxxx. The marks, moved to the bottom of
        // their bytes, are summed in the top byte by the multiplication.
        continuing += static_cast<size_t>((((w & ~(w << 1) & kHighBits) >> 7) * kOnes) >> 56);
    }
    for (; i < s.size(); ++i)
        continuing += (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
    return s.size() - continuing;
}

/// Copies a cell's text to out with its line ends and tabs as blanks, which would break the
/// table's lines and columns, and returns its end. Eight bytes are looked at together: most
/// have none.
char* CopyShown(char* out, std::string_view s) {
    if (!s.empty())
        std::memcpy(out, s.data(), s.size());
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, s.data() + i, sizeof w);
        // Any byte below 14 (\t is 9, \n 10, \r 13) leaves a high bit set here, and no word
        // without one does.
        if (((w - 14 * kOnes) & ~w & kHighBits) == 0)
            continue;
        for (size_t k = i; k < i + 8; ++k)
            if (s[k] == '\n' || s[k] == '\r' || s[k] == '\t')
                out[k] = ' ';
    }
    for (; i < s.size(); ++i)
        if (s[i] == '\n' || s[i] == '\r' || s[i] == '\t')
            out[i] = ' ';
    return out + s.size();
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

/// Lines made and not written yet: a write per line costs more than making the line.
class Lines {
  public:
    explicit Lines(std::FILE* out) : out_(out) {}
    /// Room for count more bytes of the line under way.
    char* Spare(size_t count) { return buffer_.Spare(count); }
    void Commit(char* end) { buffer_.Commit(static_cast<size_t>(end - Spare(0))); }
    /// Ends the line that began at lineStart, without the blanks at its end.
    void EndLine(size_t lineStart) {
        char* const start = buffer_.data() + lineStart;
        char* end = Spare(1);
        while (end != start && end[-1] == ' ')
            --end;
        *end++ = '\n';
        buffer_.clear();
        buffer_.Commit(static_cast<size_t>(end - buffer_.data()));
        if (buffer_.size() >= kWriteAt)
            Flush();
    }
    size_t size() const { return buffer_.size(); }
    void Flush() {
        WriteOutput(out_, std::string_view(buffer_.data(), buffer_.size()));
        buffer_.clear();
    }

  private:
    static constexpr size_t kWriteAt = 64 * 1024;
    std::FILE* out_;
    GrowingArray<char> buffer_;
};

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
    // no more than a line beside the worksheet. A cell is shown in place, without an
    // allocation: its text, or its number written into room.
    char room[kShownRoom];
    std::vector<size_t> widths(columns, 0);
    std::vector<Cell> row;
    for (size_t c = 0; c < columns; ++c)
        widths[c] = ColumnName(c).size();
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r, row);
        for (size_t c = 0; c < cells.size(); ++c) {
            // No wider than its bytes: most cells need not be measured.
            const std::string_view t = CellShown(cells[c], sheet.Text(cells[c]), room);
            if (t.size() > widths[c])
                widths[c] = std::max(widths[c], Width(t));
        }
    }
    char number[24];
    const size_t numberWidth = static_cast<size_t>(
        std::to_chars(number, number + sizeof number, sheet.RowCount()).ptr - number);
    Lines lines(out);
    char* p = lines.Spare(numberWidth);
    std::memset(p, ' ', numberWidth);
    lines.Commit(p + numberWidth);
    for (size_t c = 0; c < columns; ++c) {
        const std::string name = ColumnName(c);
        p = lines.Spare(3 + widths[c]);
        p = std::copy_n(" | ", 3, p);
        p = std::copy(name.begin(), name.end(), p);
        std::memset(p, ' ', widths[c] - name.size());
        lines.Commit(p + widths[c] - name.size());
    }
    lines.EndLine(0);
    for (size_t r = 0; r < sheet.RowCount(); ++r) {
        const std::span<const Cell> cells = sheet.Row(r, row);
        const size_t lineStart = lines.size();
        p = lines.Spare(numberWidth);
        const size_t digits =
            static_cast<size_t>(std::to_chars(number, number + sizeof number, r + 1).ptr - number);
        std::memset(p, ' ', numberWidth - digits);
        std::memcpy(p + numberWidth - digits, number, digits);
        lines.Commit(p + numberWidth);
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string_view t = CellShown(cells[c], sheet.Text(cells[c]), room);
            const size_t pad = widths[c] - Width(t);
            p = lines.Spare(3 + pad + t.size());
            p = std::copy_n(" | ", 3, p);
            // Numbers line up on the right, texts on the left, as in a spreadsheet.
            const bool right = cells[c].kind == Cell::Number;
            if (right) {
                std::memset(p, ' ', pad);
                p += pad;
            }
            p = CopyShown(p, t);
            if (!right) {
                std::memset(p, ' ', pad);
                p += pad;
            }
            lines.Commit(p);
        }
        lines.EndLine(lineStart);
    }
    lines.Flush();
}

}  // namespace dornel::app
