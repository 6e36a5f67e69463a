// The import filter behind the five import factories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/ColumnBreaks.h"
#include "common/FilterSlots.h"
#include "common/FileKind.h"
#include "host/brisko/RString.h"
#include "host/qorvix/IoFilter.h"
#include "host/qorvix/Records.h"
#include "import/FieldReader.h"
#include "import/ImportDialogSettings.h"
#include "import/NumberScan.h"

namespace dornel {

using qorvix::ImportStatus;

/// One previewed cell.
struct PreviewCell {
    uint32_t row = 0;
    uint32_t col = 0;
    bool isText = false;
    WString text;  ///< empty for a number
    double value = 0.0;
};

/// The import reports its progress after every this many rows.
constexpr uint32_t kProgressRows = 1000;

/// Reads delimited and fixed-width text into worksheet records. The rules of reading are its
/// options too.
class DatImportFilter : public FilterSlots<qorvix::IoImportFilter>, public ReadingRules {
  public:
    DatImportFilter(qorvix::IoManager& manager, FileKind kind);
    ~DatImportFilter() override;

    // slot 2
    void ApplyStringOptions(const RString& options) override;
    // slot 5
    bool SupportsType(const brisko::CTypeInfo* type) override;
    // slot 7
    int ProbeFile(const RString& path) override;
    // slot 9
    ImportStatus ImportFile(const RString& path, bool interactive) override;
    // slot 10
    ImportStatus ImportFromMemory(const void* data, uint32_t size, bool flag) override;

    // Options (ImportOptions.cpp).
    void ResetImportDefaults();
    void LoadImportOptions(bool persistent);
    void SaveImportOptions(bool persistent);

    // Cell converter (CellConverter.cpp).
    /// The cells of the field the reading holds.
    bool EmitField(uint32_t& row, uint32_t& col, char16_t terminator);
    /// Inline for the most common field of all, the number the reader's scan found: it runs
    /// once per field of an import.
    bool EmitField(uint32_t& row, uint32_t& col, char16_t terminator, const FieldView& field) {
        if (field.scan == ScannedField::Number) [[likely]] {
            if (!EmitNumber(row, col, field.value))
                return false;
            ++col;
            return true;
        }
        const FieldCells cells = EmitOtherField(row, col, terminator, field);
        col = cells.next;
        return cells.accepted;
    }
    /// Where a field's cells leave the row: the column after the last one accepted, and
    /// whether the host accepted them all.
    struct FieldCells {
        uint32_t next;
        bool accepted;
    };
    /// The column goes by value and comes back in registers: one whose address went to a call
    /// would live in memory in the row loop, and each field would wait for its store.
    FieldCells EmitOtherField(uint32_t row, uint32_t col, char16_t terminator,
                              const FieldView& field);
    bool EmitEmpty(uint32_t row, uint32_t col);
    bool EmitNumber(uint32_t row, uint32_t col, double value) {
        if (previewSink) [[unlikely]]
            return PreviewNumber(row, col, value);
        // One record serves every number, as textRecord_ does every text.
        numberRecord_.row = static_cast<int32_t>(row);
        numberRecord_.col = static_cast<int32_t>(col);
        numberRecord_.number = value;
        return ImportObject(numberRecord_);
    }
    bool PreviewNumber(uint32_t row, uint32_t col, double value);
    /// length: the text's units, when known (a zero unit still ends it), or -1.
    bool EmitText(uint32_t row, uint32_t col, const char16_t* text, int length = -1);
    bool EmitAsciiText(uint32_t row, uint32_t col, const char* text, int length);
    /// Hands over textRecord_'s text as the cell at (row, col): a date where dates are read and
    /// it is one, an empty cell where it holds nothing, else a text.
    bool EmitTextRecord(uint32_t row, uint32_t col);
    /// Makes the one-pass number scan of a field where it decides the field's cells: a field
    /// that is not empty, not quoted, with the plain conversion and '.' as decimal point.
    void ScanField(FieldView& view, bool otherDecimal) const {
        if (ScansNumbers(otherDecimal) && view.length > 0 && !view.quoted)
            view.scan = ScanNumberField(view.text, static_cast<size_t>(view.length), view.value);
    }
    /// Whether the one-pass number scan decides fields' cells under these options.
    bool ScansNumbers(bool otherDecimal) const {
        return fastPaths && !aggressiveConversion && !otherDecimal;
    }
    /// The decimal symbol is not '.': numbers need a copy with the symbol replaced.
    bool OtherDecimal() const { return !decimalSymbol.empty() && decimalSymbol[0] != '.'; }
    static void StripNumberDecorations(char16_t* destination, const char16_t* source);
    void NormalizeDecimal(char16_t* text) const;

    // Import driver (ImportDriver.cpp).
    ImportStatus RunImport(const RString& path, bool interactive);
    /// The rows of an import, from its fields to its cells, between the begin and end records.
    template <class Fields>
    ImportStatus EmitRows(Fields& fields, int64_t length);
    bool BuildPreview(const ImportDialogSettings& settings, std::vector<PreviewCell>& cells,
                      int lineCount);
    void ApplyDialogSettings(const ImportDialogSettings& settings);
    /// Runs the import options dialog; true when the user pressed OK.
    bool RunImportDialog(int fileEncoding, int fileIsUnicode);

    // Options that are not rules of reading.
    bool fromMemory = false;                          ///< the import runs on a memory block
    std::vector<PreviewCell>* previewSink = nullptr;  ///< set only while BuildPreview runs
    bool dateTimeSupport = false;                     ///< DateTimeSupport, default false
    RString decimalSymbol;                            ///< DecimalSymbol, default "."
    bool aggressiveConversion = false;                ///< AggressiveConversion, default by kind
    bool qualifierGiven = false;                      ///< TextQualifier came in an option string
    bool decimalGiven = false;    ///< DecimalSymbol came in an option string (TXT)
    uint32_t importCodePage = 0;  ///< ImportCodePage, default 0
    int32_t unicodeChoice = 0;    ///< the dialog's encoding: 2 for 16-bit, 0 for 8-bit
    bool textTypeFixed = false;   ///< ClipboardTextType imposed the reader's encoding
    int32_t maxRow = kNoLimit;    ///< MaxRow, default 2147483647, compared unsigned
    int32_t maxCol = kNoLimit;    ///< MaxCol, default 2147483647, compared unsigned
    /// The file and the field read last: the reading thread's while a FieldPipeline reads.
    FieldReader reading{*this};

  private:
    /// AggressiveConversion's cells: the numbers at the field's start, with the currency sign
    /// and the thousands separator dropped, then a text of the rest.
    FieldCells EmitAggressiveField(uint32_t row, uint32_t col, const char16_t* field);
    /// The one cell of a field the number scan did not settle: the plain path's number test.
    bool EmitNumberOrText(uint32_t row, uint32_t col, const FieldView& view);
    void OpenReader(const RString& path, int encoding, uint32_t codePage, bool imposed);
    /// Opens the file again as the dialog's encoding choice says.
    void ReopenForChoice(const RString& path, int fileIsUnicode, int choice, int encoding);
    /// The rules CSV, BNA and BLN impose whatever the options say.
    void ApplyFixedRules(const char* fieldDelimiters);
    /// The rules of reading as the kind has them: imposed, or the options', with the delimiter
    /// detected or the dialog's choices; false when the dialog was cancelled.
    bool SettleReadingRules(const RString& path, bool interactive, int encoding);
    int ClipboardTextEncoding();

    // The records are written for every cell on the thread that makes cells, while the
    // reading's fields above are written on the thread that reads: on a line of their own, the
    // two threads do not pull the same cache line back and forth.
    alignas(kCacheLine) qorvix::TrCell textRecord_{0, 0, brisko::RString()};  // every text cell
    qorvix::TrCell numberRecord_{0, 0, 0.0};  // the record of every number cell
    qorvix::TrCell emptyRecord_{0, 0};        // the record of every empty cell
};

}  // namespace dornel
