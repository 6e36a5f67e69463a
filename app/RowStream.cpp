// The CSV and JSON views of an import, written on a thread of their own as the rows arrive.
#include "RowStream.h"

#include <algorithm>
#include <array>
#include <system_error>
#include <utility>

#include "ByteWords.h"
#include "EightDigits.h"
#include "Output.h"
#include "ShortestNumber.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

using namespace qorvix;

namespace {

/// Whether a byte needs the text quoted: a separator, a quote or a line end.
inline bool NeedsQuotesFor(char ch) {
    // One comparison for most bytes: the four are all below '-'.
    return static_cast<unsigned char>(ch) < '-' &&
           (ch == ',' || ch == '"' || ch == '\r' || ch == '\n');
}

/// The same for each byte of a word, with a flag where there is one.
inline uint64_t NeedsQuotesFor(uint64_t w) {
    // One test for most words: the four are all below '-'.
    if (BytesBelow(w, '-') == 0)
        return 0;
    return BytesEqualTo(w, ',') | BytesEqualTo(w, '"') | BytesEqualTo(w, '\r') |
           BytesEqualTo(w, '\n');
}

}  // namespace

size_t CsvFieldRoom(const Cell& cell, std::string_view text) {
    // A text may be quoted and have each of its bytes doubled.
    return cell.kind == Cell::Text ? 2 * text.size() + 2 : kNumberRoom;
}

namespace {

/// A text as it is, copied while it is looked at, or else quoted with its quotes doubled: the
/// copy is then written over. False where it needs quotes.
inline bool CopyUnquoted(char*& out, std::string_view text) {
    if (text.front() == ' ' || text.back() == ' ')
        return false;
    const char* p = text.data();
    const char* const end = p + text.size();
    char* o = out;
    if constexpr (kLowByteFirst) {
        if (end - p >= 8) {
            for (; end - p > 8; p += 8, o += 8) {
                const uint64_t w = LoadWord(p);
                if (NeedsQuotesFor(w) != 0)
                    return false;
                StoreWord(o, w);
            }
            // The last eight bytes, over some copied already, which are the same.
            const uint64_t w = LoadWord(end - 8);
            if (NeedsQuotesFor(w) != 0)
                return false;
            StoreWord(o + (end - p) - 8, w);
            out = o + (end - p);
            return true;
        }
    }
    for (; p != end; ++p, ++o) {
        if (NeedsQuotesFor(*p))
            return false;
        *o = *p;
    }
    out = o;
    return true;
}

/// A text's CSV field, quoted where it needs to be. Out of line, as a date's: a number's field,
/// the usual one, then needs no stack frame.
[[gnu::noinline]] char* WriteCsvText(char* out, std::string_view text) {
    if (text.empty() || CopyUnquoted(out, text))
        return out;
    *out++ = '"';
    for (const char ch : text) {
        if (ch == '"')
            *out++ = '"';
        *out++ = ch;
    }
    *out++ = '"';
    return out;
}

/// A date or a time, written in place; an empty cell is nothing.
[[gnu::noinline]] char* WriteCsvShown(char* out, const Cell& cell, std::string_view text) {
    static_assert(kNumberRoom >= kShownRoom);
    return out + CellShown(cell, text, out).size();
}

}  // namespace

char* WriteCsvField(char* out, const Cell& cell, std::string_view text) {
    if (cell.kind == Cell::Text)
        return WriteCsvText(out, text);
    if (cell.kind == Cell::Number && cell.dateFormat == 0 && cell.timeFormat == 0) {
        // Most numbers take the quick road, inline: a call cost them a tenth of their time.
        if (EightDigits d; FindEightDigits(cell.number, d)) [[likely]]
            return WriteEightDigits(out, d);
        return WriteShortestNumber(out, cell.number);
    }
    return WriteCsvShown(out, cell, text);
}

void AppendCsvField(std::string& line, const Cell& cell, std::string_view text) {
    const size_t at = line.size();
    line.resize(at + CsvFieldRoom(cell, text));
    line.resize(static_cast<size_t>(WriteCsvField(line.data() + at, cell, text) - line.data()));
}

namespace {

/// The bytes a JSON string takes as they are: not the quote, the backslash, a control character,
/// nor a byte of a character beyond ASCII, which must be checked to be UTF-8.
constexpr auto kJsonPlain = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c)
        plain[c] = c != '"' && c != '\\';
    return plain;
}();

char* WriteReplacement(char* out) {
    return std::copy_n("\xEF\xBF\xBD", 3, out);
}

/// Copies the UTF-8 character that begins at p, or writes U+FFFD for a byte that begins none or
/// for the longest beginning of one that is cut short, and returns where reading goes on: the
/// byte that cut it short may begin the next.
const unsigned char* CopyCharacter(const unsigned char* p, const unsigned char* end, char*& out) {
    const unsigned char lead = *p;
    // The length, and the range of the second byte, which rules out overlong forms, surrogates
    // and code points past U+10FFFF.
    int length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        out = WriteReplacement(out);
        return p + 1;
    }
    int n = 1;
    while (n < length && p + n != end && p[n] >= low && p[n] <= high) {
        low = 0x80;
        high = 0xBF;
        ++n;
    }
    if (n < length) {
        out = WriteReplacement(out);
        return p + n;
    }
    out = std::copy_n(reinterpret_cast<const char*>(p), length, out);
    return p + length;
}

/// Copies the bytes from p on that a JSON string takes as they are, up to the first it does not
/// take so or to end, and returns where it stopped.
const unsigned char* CopyJsonPlain(const unsigned char* p, const unsigned char* end, char*& out) {
    if constexpr (kLowByteFirst) {
        // A word is stored whole before it is looked at: the string has room for six bytes
        // for each byte of the text, and eight of it are left.
        while (end - p >= 8) {
            const uint64_t w = LoadWord(p);
            StoreWord(out, w);
            const uint64_t stops = (w & kHighBits) | BytesBelow(w, 0x20) | BytesEqualTo(w, '"') |
                                   BytesEqualTo(w, '\\');
            if (stops != 0) {
                const int n = BytesBeforeFlag(stops);
                out += n;
                return p + n;
            }
            p += 8;
            out += 8;
        }
    }
    while (p != end && kJsonPlain[*p])
        *out++ = static_cast<char>(*p++);
    return p;
}

char* WriteJsonString(char* out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    *out++ = '"';
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    for (;;) {
        p = CopyJsonPlain(p, end, out);
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            // Characters beyond ASCII come in runs: a text in another script is made of them.
            do
                p = CopyCharacter(p, end, out);
            while (p != end && *p >= 0x80);
            continue;
        }
        *out++ = '\\';
        switch (c) {
            case '"':
            case '\\':
                *out++ = static_cast<char>(c);
                break;
            case '\b':
                *out++ = 'b';
                break;
            case '\t':
                *out++ = 't';
                break;
            case '\n':
                *out++ = 'n';
                break;
            case '\f':
                *out++ = 'f';
                break;
            case '\r':
                *out++ = 'r';
                break;
            default:
                out = std::copy_n("u00", 3, out);
                *out++ = kHex[c >> 4];
                *out++ = kHex[c & 15];
                break;
        }
        ++p;
    }
    *out++ = '"';
    return out;
}

}  // namespace

size_t JsonValueRoom(const Cell& cell, std::string_view text) {
    return cell.kind == Cell::Text ? 6 * text.size() + 2 : kNumberRoom;
}

char* WriteJsonValue(char* out, const Cell& cell, std::string_view text) {
    if (cell.kind == Cell::Number)
        return WriteJsonNumber(out, cell.number);
    if (cell.kind == Cell::Text)
        return WriteJsonString(out, text);
    return std::copy_n("null", 4, out);
}

RowStream::RowStream(std::FILE* out, Format format, RowChannel::PieceBound pieces, Writer writer)
    : channel_(false, pieces), out_(out), format_(format) {
    // Without a thread of their own, the rows are written as each batch of them is sent.
    const auto onImportThread = [this] { channel_.TakeRowsOnSend([this] { WriteRows(false); }); };
    if (writer == ImportThread) {
        onImportThread();
        return;
    }
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
        // No thread to be had.
        onImportThread();
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
            channel_.Close(false);
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
/// room in the view (and a separator's) to room until that reaches limit.
template <class Room>
[[gnu::always_inline]] inline size_t SliceEnd(std::span<const Cell> cells, std::string_view texts,
                                              size_t begin, size_t& room, size_t limit,
                                              Room fieldRoom) {
    size_t end = begin;
    while (end < cells.size() && room < limit) {
        room += fieldRoom(cells[end], CellText(cells[end], texts)) + 1;
        ++end;
    }
    return end;
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
        const size_t end = SliceEnd(cells, texts, c, room, kSliceRoom, CsvFieldRoom);
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
    // A piece that goes on a row begins with the separator after the row's cells so far.
    const bool continues = inRow_;
    for (size_t c = 0; c < cells.size();) {
        size_t room = 0;
        const size_t end = SliceEnd(cells, texts, c, room, kSliceRoom, JsonValueRoom);
        char* const line = pending_.Spare(room);
        char* p = line;
        for (; c < end; ++c) {
            *p = ',';
            p += c > 0 || continues ? 1 : 0;
            p = WriteJsonValue(p, cells[c], CellText(cells[c], texts));
        }
        pending_.Commit(static_cast<size_t>(p - line));
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
