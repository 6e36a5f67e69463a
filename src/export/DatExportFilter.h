// The export filter behind the five export factories.
#pragma once

#include <cstdint>
#include <memory>

#include "entry/FilterSlots.h"
#include "host/FileKind.h"
#include "host/brisko/EncodedBufferedFile.h"
#include "host/brisko/RString.h"
#include "host/qorvix/IoFilter.h"

namespace dornel {

using qorvix::ExportStatus;

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

    void ResetExportDefaults();

    std::unique_ptr<qorvix::CProgress> progress;  ///< progress of the running export, or null
    brisko::CEncodedBufferedFile outputFile;      ///< the text file being written
    bool toMemory = false;                        ///< set by BeginExportToMemory
    FileKind kind;                                ///< 0 CSV, 1 TXT, 2 DAT, 3 BNA, 4 BLN
    RString outputPath;                           ///< the path given to BeginExport
    RString delimiterOption;                      ///< Delimiter, "," (TXT: tab)
    RString decimalOption;                        ///< DecimalSymbol, "."
    RString qualifierOption;                      ///< TextQualifier, double quote (TXT: empty)
    uint32_t encodingMethod = 0;                  ///< ExportEncodingMethod, 0
    uint32_t codePage = 0;                        ///< ExportCodepage, 0
};

}  // namespace dornel
