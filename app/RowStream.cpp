// The CSV and JSON views of an import, written on a thread of their own as the rows arrive.
#include "RowStream.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "Output.h"
#include "ShortestNumber.h"
#include "Trace.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

using namespace qorvix;

namespace {

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
