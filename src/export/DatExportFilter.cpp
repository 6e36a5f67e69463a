// The export filter: construction, per-kind defaults and the slots it answers itself.
#include "export/DatExportFilter.h"

#include "export/ExportTexts.h"
#include "host/qorvix/Records.h"

namespace dornel {

using namespace qorvix;

DatExportFilter::DatExportFilter(IoManager& manager, FileKind kind)
    : FilterSlots(manager), kind(kind) {
    ResetExportDefaults();
}

DatExportFilter::~DatExportFilter() {
    if (outputFile.IsOpen())
        outputFile.Abort(true);
    if (progress) {
        m_manager.ProgressStop();
        progress.reset();
    }
}

void DatExportFilter::ResetExportDefaults() {
    qualifierOption = RString("\"");
    decimalOption = RString(".");
    delimiterOption = RString(",");
    if (kind == KIND_TXT) {
        delimiterOption = RString("\t");
        qualifierOption = RString("");
    }
    encodingMethod = 0;
    codePage = 0;
}

bool DatExportFilter::SupportsType(const brisko::CTypeInfo* type) {
    return type == TrPoints::GetClassTypeId() || type == TrCell::GetClassTypeId() ||
           type == TrInitWksExp::GetClassTypeId() || type == TrWksCap::GetClassTypeId() ||
           type == TrCellFmt::GetClassTypeId();
}

void DatExportFilter::ApplyStringOptions(const RString&) {
    ThrowError(kExportSource, __LINE__, ERR_NOT_BUILT, "option strings of exports");
}

ExportStatus DatExportFilter::BeginExport(const RString&, bool) {
    ThrowError(kExportSource, __LINE__, ERR_NOT_BUILT, "export of text data");
}

ExportStatus DatExportFilter::BeginExportToMemory(std::vector<uint8_t>& bytes, bool interactive) {
    toMemory = true;
    return IoExportFilter::BeginExportToMemory(bytes, interactive);
}

ExportStatus DatExportFilter::ExportObject(TrBase&) {
    ThrowError(kExportSource, __LINE__, ERR_NOT_BUILT, "export of text data");
}

ExportStatus DatExportFilter::EndExport() {
    ThrowError(kExportSource, __LINE__, ERR_NOT_BUILT, "export of text data");
}

}  // namespace dornel
