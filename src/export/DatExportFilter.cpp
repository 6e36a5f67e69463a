// The export filter object: construction, destruction and the record kinds it takes.
#include "export/DatExportFilter.h"

#include "host/qorvix/Records.h"

namespace dornel {

using namespace qorvix;

DatExportFilter::DatExportFilter(IoManager& manager, FileKind kind)
    : FilterSlots(manager), kind(kind), cellType_(TrCell::GetClassTypeId()) {
    ResetExportDefaults();
}

DatExportFilter::~DatExportFilter() {
    // A file still open is abandoned, not finished.
    if (outputFile.IsOpen())
        outputFile.Abort(true);
    EndProgress();
}

bool DatExportFilter::SupportsType(const brisko::CTypeInfo* type) {
    return type == TrPoints::GetClassTypeId() || type == TrCell::GetClassTypeId() ||
           type == TrInitWksExp::GetClassTypeId() || type == TrWksCap::GetClassTypeId() ||
           type == TrCellFmt::GetClassTypeId();
}

ExportStatus DatExportFilter::BeginExportToMemory(std::vector<uint8_t>& bytes, bool interactive) {
    toMemory = true;
    return IoExportFilter::BeginExportToMemory(bytes, interactive);
}

}  // namespace dornel
