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

    // Line reader (LineReader.cpp).
    char16_t ReadField();
    bool ReadQuotedSection(int& length, char16_t& c);
    bool ReadRawLine(WString& line);
    bool SkipStartRows();
    void DetectDelimiter();

    // Cell converter (CellConverter.cpp).
    bool EmitField(uint32_t& row, uint32_t& col, char16_t terminator);
    bool EmitEmpty(uint32_t row, uint32_t col);
    bool EmitNumber(uint32_t row, uint32_t col, double value);
    bool EmitText(uint32_t row, uint32_t col, const char16_t* text);
    static void StripNumberDecorations(char16_t* destination, const char16_t* source);
    void NormalizeDecimal(char16_t* text) const;

    // Import driver (ImportDriver.cpp).
    ImportStatus RunImport(const RString& path, bool interactive);
    bool BuildPreview(const ImportDialogSettings& settings, std::vector<PreviewCell>& cells,
                      int lineCount);
    void ApplyDialogSettings(const ImportDialogSettings& settings);
    /// Runs the import options dialog; true when the user pressed OK.
    bool RunImportDialog(int fileEncoding, int fileIsUnicode);

    /// The current field, terminated by a zero unit.
    const char16_t* Field() const { return fieldBuffer.data(); }

    // Fields, in the order the filter lays them out.
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
    bool fieldQuoted = false;                ///< the current field held a qualified section
    char16_t lastTerminator = 0;             ///< what ended the previous delimited field
    std::array<char16_t, kFieldCapacity + 1> fieldBuffer{};  ///< the current field
    int fieldLength = 0;                ///< characters in fieldBuffer before its terminating zero
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
    void TrimFieldEnd();

    qorvix::TrCell textRecord_{0, 0, brisko::RString()};  // the record of every text cell
    qorvix::TrCell numberRecord_{0, 0, 0.0};              // the record of every number cell
    qorvix::TrCell emptyRecord_{0, 0};                    // the record of every empty cell
};

}  // namespace dornel
