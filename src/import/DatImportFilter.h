// The import filter behind the five import factories.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ColumnBreaks.h"
#include "common/FilterSlots.h"
#include "common/FileKind.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/RString.h"
#include "host/qorvix/IoFilter.h"
#include "host/qorvix/Records.h"
#include "import/ImportDialogSettings.h"
#include "import/NumberScan.h"

namespace dornel {

using brisko::WString;
using qorvix::ImportStatus;

/// One previewed cell.
struct PreviewCell {
    uint32_t row = 0;
    uint32_t col = 0;
    bool isText = false;
    WString text;  ///< empty for a number
    double value = 0.0;
};

/// A field as the reader left it: its text, ended by a zero unit, and whether it held a
/// qualified section.
struct FieldView {
    const char16_t* text = nullptr;
    int length = 0;
    bool quoted = false;
    ScannedField scan = ScannedField::Unscanned;  ///< the one-pass number scan, if made
    double value = 0.0;                           ///< the number, when scan says Number
    /// Set where the field is sure to become a text cell and is plain ASCII (1 to 0x7F): its
    /// length bytes and a zero, narrowed where the fields were read. Text then points at these
    /// same bytes and is not to be read as units.
    const char* ascii = nullptr;
};

/// Classes of UTF-16 code units in charClass.
enum CharClass : uint8_t {
    CLASS_ORDINARY = 0,
    CLASS_DELIMITER = 1,
    CLASS_QUALIFIER = 2,
    CLASS_LINE_END = 3,
};

constexpr char16_t kEof = brisko::kEndOfFile;
constexpr char16_t kLF = 10;
constexpr char16_t kCR = 13;
/// Apart by this many bytes, what two threads write often does not share a cache line.
constexpr size_t kCacheLine = 64;
/// The import reports its progress after every this many rows.
constexpr uint32_t kProgressRows = 1000;
/// A field holds at most this many characters, then a terminating zero.
constexpr int kFieldCapacity = 999;

/// Reads delimited and fixed-width text into worksheet records.
class DatImportFilter : public FilterSlots<qorvix::IoImportFilter> {
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

    // Character classes (CharClasses.cpp).
    void BuildCharClasses();
    /// Lists the units that are not ordinary, for the reader's many-at-a-time search; after
    /// any change to charClass.
    void ListSpecialUnits();

    // Line reader (LineReader.cpp).
    char16_t ReadField();
    bool ReadQuotedSection(int& length, char16_t& c);
    bool ReadRawLine(WString& line);
    bool SkipStartRows();
    void DetectDelimiter();

    // Cell converter (CellConverter.cpp).
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
        if (fastPaths && view.length > 0 && !view.quoted && !aggressiveConversion && !otherDecimal)
            view.scan = ScanNumberField(view.text, static_cast<size_t>(view.length), view.value);
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

    /// The current field, terminated by a zero unit.
    const char16_t* Field() const { return fieldBuffer.data(); }
    /// Removes the blanks at the end of the current field, as the import does before
    /// converting it.
    void TrimFieldEnd() {
        char16_t* const buf = fieldBuffer.data();
        while (fieldLength > 0 && (buf[fieldLength - 1] == u' ' || buf[fieldLength - 1] == u'\t'))
            buf[--fieldLength] = 0;
    }

    // Fields, in the order the filter lays them out.
    /// The fast paths: fields read on a second thread, runs of ordinary units found many at a
    /// time, numbers recognised and converted in one pass, ASCII texts narrowed many units at a
    /// time. Off, each field is read on the calling thread one unit and one look-up at a time
    /// and converted by the number test and the general reader: the plain path, which gives the
    /// same records, and against which the fast paths are tested.
    bool fastPaths = true;
    std::unique_ptr<brisko::CEncodedBufferedFile> reader;  ///< the file being read, or null
    bool fromMemory = false;                               ///< the import runs on a memory block
    FileKind kind;                                         ///< the code the factory passed
    std::vector<PreviewCell>* previewSink = nullptr;       ///< set only while BuildPreview runs
    bool dateTimeSupport = false;                          ///< DateTimeSupport, default false
    RString delimiters;                                    ///< Delimiter, default by kind
    RString decimalSymbol;                                 ///< DecimalSymbol, default "."
    RString qualifiers;                                    ///< TextQualifier, default by kind
    bool useFixedWidth = false;                            ///< UseFixedWidth, default false
    bool skipExtraDelimiters = false;                      ///< SkipExtraDelimiters, default false
    bool aggressiveConversion = false;       ///< AggressiveConversion, default by kind
    bool eatWhitespace = false;              ///< EatWhitespace, default by kind
    bool delimiterGiven = false;             ///< Delimiter came in an option string
    bool qualifierGiven = false;             ///< TextQualifier came in an option string
    bool decimalGiven = false;               ///< DecimalSymbol came in an option string (TXT)
    uint32_t importCodePage = 0;             ///< ImportCodePage, default 0
    int32_t unicodeChoice = 0;               ///< the dialog's encoding: 2 for 16-bit, 0 for 8-bit
    bool textTypeFixed = false;              ///< ClipboardTextType imposed the reader's encoding
    int32_t startRow = 0;                    ///< StartRow, default 0
    int32_t maxRow = kNoLimit;               ///< MaxRow, default 2147483647, compared unsigned
    int32_t maxCol = kNoLimit;               ///< MaxCol, default 2147483647, compared unsigned
    std::array<uint8_t, 65536> charClass{};  ///< class of every UTF-16 code unit
    /// The units whose class is not ordinary, when there are at most eight of them, each
    /// repeated across eight lanes for the search; the list is padded with its first unit.
    alignas(16) char16_t specialLanes[8][8] = {};
    int specialCount = -1;  ///< how many units specialLanes lists, -1 when there are more
    /// From here on, the fields written for every field read; on their own cache lines.
    alignas(kCacheLine) bool fieldQuoted = false;  ///< the field held a qualified section
    char16_t lastTerminator = 0;                   ///< what ended the previous delimited field
    /// The current field. Aligned, so that the field pipeline can copy it sixteen bytes at a time.
    alignas(16) std::array<char16_t, kFieldCapacity + 1> fieldBuffer{};
    int fieldLength = 0;                ///< characters in the field before its terminating zero
    uint32_t fixedColumn = 0;           ///< next fixed-width column on the current line
    std::vector<int32_t> columnBreaks;  ///< ColumnBreaks, default empty

  private:
    char16_t ReadFixedWidthField();
    void OpenReader(const RString& path, int encoding, uint32_t codePage, bool imposed);
    /// Opens the file again as the dialog's encoding choice says.
    void ReopenForChoice(const RString& path, int fileIsUnicode, int choice, int encoding);
    /// The rules CSV, BNA and BLN impose whatever the options say.
    void ApplyFixedRules(const char* fieldDelimiters);
    int ClipboardTextEncoding();

    // The records are written for every cell on the thread that makes cells, while the
    // fields above are written on the thread that reads: on a line of their own, the two
    // threads do not pull the same cache line back and forth.
    alignas(kCacheLine) qorvix::TrCell textRecord_{0, 0, brisko::RString()};  // every text cell
    qorvix::TrCell numberRecord_{0, 0, 0.0};  // the record of every number cell
    qorvix::TrCell emptyRecord_{0, 0};        // the record of every empty cell
};

}  // namespace dornel
