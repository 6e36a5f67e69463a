// The export filter behind the five export factories.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "common/FilterSlots.h"
#include "common/FileKind.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/RString.h"
#include "host/qorvix/GlobalMemory.h"
#include "host/qorvix/IoFilter.h"

namespace dornel {

using qorvix::ExportStatus;

/// The only worksheet capability the filter accepts.
constexpr uint16_t kSupportedCapabilities = 0x2000;

/// Writes worksheet cells and point sets as delimited text.
class DatExportFilter : public FilterSlots<qorvix::IoExportFilter> {
  public:
    DatExportFilter(qorvix::IoManager& manager, FileKind kind);
    ~DatExportFilter() override;

    // slot 2
    void ApplyStringOptions(const RString& options) override;
    // slot 5
    bool SupportsType(const brisko::CTypeInfo* type) override;
    // slot 7
    ExportStatus BeginExport(const RString& path, bool interactive) override;
    // slot 8
    ExportStatus BeginExportToMemory(std::vector<uint8_t>& bytes, bool interactive) override;
    // slot 9
    ExportStatus ExportObject(qorvix::TrBase& record) override;
    // slot 10
    ExportStatus EndExport() override;

    // Options (ExportOptions.cpp).
    void ResetExportDefaults();
    void LoadExportOptions(bool persistent);
    void SaveExportOptions(bool persistent);
    /// Runs the export options dialog; true when the user pressed OK.
    bool RunExportDialog(const RString& path);

    // Writer (ExportWriter.cpp).
    /// Writes head (the separators before the cell), then the text (size bytes in the system
    /// code page) with its qualifiers.
    void WriteCellText(const char16_t* head, size_t headLength, const char* text, size_t size);
    ExportStatus WritePoints(const qorvix::TrPoints& points);
    void SetCellFormat(const qorvix::TrCellFmt& format);

    std::unique_ptr<qorvix::CProgress> progress;  ///< progress of the running export, or null
    brisko::CEncodedBufferedFile outputFile;      ///< the text file being written
    bool toMemory = false;                        ///< set by BeginExportToMemory
    FileKind kind;                                ///< 0 CSV, 1 TXT, 2 DAT, 3 BNA, 4 BLN
    RString outputPath;                           ///< the path given to BeginExport
    HGLOBAL* handleDest = nullptr;                ///< where a memory block's handle goes
    uint32_t* sizeDest = nullptr;                 ///< where a memory block's size goes
    uint16_t supportedCaps = kSupportedCapabilities;
    RString delimiterOption;                   ///< Delimiter, default "," (TXT: tab)
    std::array<char16_t, 10> delimiterText{};  ///< the field separator being written
    RString decimalOption;                     ///< DecimalSymbol, default "."
    std::array<char16_t, 2> decimalSymbol{};   ///< replaces '.' in numbers of cells
    RString qualifierOption;                   ///< TextQualifier, default '"' (TXT: empty)
    std::array<char16_t, 2> qualifierText{};   ///< written around texts; empty for none
    int32_t objectsWritten = 0;                ///< records written since BeginExport
    uint32_t encodingMethod = 0;               ///< ExportEncodingMethod, default 0
    uint32_t codePage = 0;                     ///< ExportCodepage, default 0
    int32_t currentRow = 0;                    ///< row of the line being written
    int32_t dateFormat = 0;                    ///< date code for numeric cells, 0: none
    int32_t timeFormat = 0;                    ///< time code for numeric cells, 0: none
    int32_t pendingEmpty = 0;                  ///< empty cells not yet written
    bool cellInRow = false;                    ///< a value was written on this line

  private:
    ExportStatus ProgressCheck();
    void EndProgress();
    void Write(const char16_t* text);
    // Every exported cell takes the road from ExportObject to its bytes in the output block, so
    // that road is written out in one function; the rest lies beside it.
    ExportStatus WriteCell(const qorvix::TrCell& cell);
    /// Ends the line under way, if any, for a cell of another row.
    void StartLine(int32_t row);
    /// A cell's value after its separators; texts are in the system code page.
    void WriteNumberCell(int32_t separators, double value);
    void WriteTextCell(int32_t separators, const char* text, size_t size);
    /// A number of the date format in force, as its text. Out of line, as the other roads
    /// below, so that the common one needs no stack frame for their buffers.
    [[gnu::noinline]] void WriteDateCell(int32_t separators, double value);
    /// Only the separators.
    [[gnu::noinline]] void WriteSeparators(int32_t separators);
    /// The same where the output block does not take them as bytes.
    [[gnu::noinline]] void WriteNumberInUnits(int32_t separators, double value);
    [[gnu::noinline]] void WriteTextInUnits(int32_t separators, const char* text, size_t size);
    /// The output block's room for bytes after the separators, which are put there; null when
    /// the cell must be written in units.
    char* DirectRoom(int32_t separators, size_t bytes);
    /// Puts the separators in head (kHeadRoom units), writing out what leaves too little room
    /// for a number after them; returns how many units are in head.
    size_t PutSeparators(int32_t separators, char16_t* head);

    brisko::WString cellText_;  // what WriteCellText writes next, kept for its buffer
    // Asked of every record: looked up once rather than called for in another library each time.
    const brisko::CTypeInfo* const cellType_;
    // The marks of this export as bytes, for the output block where ASCII is written as it is,
    // when all are ASCII and the separator is one unit.
    bool asciiMarks_ = false;
    char delimiterByte_ = ',';
    uint64_t delimiterWord_ = 0;  // delimiterByte_ eight times, for runs of separators
    char qualifierByte_ = '"';
    char decimalByte_ = '.';
};

}  // namespace dornel
