// The CSV and JSON views, written as the rows of an import arrive.
#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "Cell.h"
#include "GrowingArray.h"
#include "RecordSink.h"
#include "RowChannel.h"

namespace dornel::app {

/// Writes the CSV or JSON view as the cells arrive, keeping only the rows under way: memory does
/// not grow with the file, nor with a line. Rows are written in the order they come, a row
/// without cells as an empty line; the rows go to a thread of their own to be made into text and
/// written, so that writing them overlaps the import. A long row comes in pieces and is written
/// piece by piece. JSON is an array of rows, each an array of cells (number, string or null), the
/// same as a whole worksheet dumped. A failed write is thrown by Take when there is no second
/// thread, else by Finish.
class RowStream : public RecordSink {
  public:
    enum Format { Csv, Json };
    /// Where the rows are made into text: on a thread of their own, or on the import's when
    /// no thread can be had (tests ask for that).
    enum Writer { OwnThread, ImportThread };
    RowStream(std::FILE* out, Format format,
              RowChannel::PieceBound pieces = RowChannel::DefaultPieces(),
              Writer writer = OwnThread);
    ~RowStream() override;
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;
    void Take(const qorvix::TrBase& record) override;
    /// Writes the last row and, for JSON, the end of the array.
    void Finish();

  private:
    static constexpr size_t kWriteAt = 64 * 1024;
    /// The most CSV a row is made into at a time, so that a long piece is not made whole first.
    static constexpr size_t kSliceRoom = 256 * 1024;

    /// Writes the complete rows there are, waiting for more until the last when wait is set.
    void WriteRows(bool wait);
    /// Writes a row or a piece of one: the row's opening when no piece of it went before, its
    /// closing when it ends.
    void WritePiece(std::span<const Cell> cells, std::string_view texts, bool ends);
    void WriteCsv(std::span<const Cell> cells, std::string_view texts, bool ends);
    void WriteJson(std::span<const Cell> cells, std::string_view texts);
    void WritePending();

    RowChannel channel_;
    std::thread writer_;
    std::exception_ptr failure_;  // the writer's, thrown by Finish
    // The writing thread's own, on cache lines apart from the import's.
    alignas(64) std::FILE* out_;
    Format format_;
    GrowingArray<char> pending_;  // rows made and not written yet
    int64_t writtenRows_ = 0;
    bool inRow_ = false;  // a piece of the row went out, and the row goes on
};

/// The most bytes the CSV field of a cell takes (RFC 4180 quoting).
size_t CsvFieldRoom(const Cell& cell, std::string_view text);
/// Writes the CSV field of a cell at out, which has CsvFieldRoom bytes, and returns its end.
char* WriteCsvField(char* out, const Cell& cell, std::string_view text);
/// Appends the CSV field of a cell.
void AppendCsvField(std::string& line, const Cell& cell, std::string_view text);

/// The most bytes the JSON value of a cell takes: a text's bytes may each become an escape of six.
size_t JsonValueRoom(const Cell& cell, std::string_view text);
/// Writes the JSON value of a cell at out, which has JsonValueRoom bytes, and returns its end: a
/// number as WriteJsonNumber writes it (a date's or time's too), a text as a string, an empty
/// cell as null. In a string, the quote, the backslash and the control characters are escaped
/// (\b \t \n \f \r by their letters, the others as \u00xx), other characters are UTF-8 as
/// they are, and a byte that does not belong to a whole UTF-8 character becomes U+FFFD: each
/// byte that cannot begin one, and the longest beginning of a character cut short.
char* WriteJsonValue(char* out, const Cell& cell, std::string_view text);

}  // namespace dornel::app
