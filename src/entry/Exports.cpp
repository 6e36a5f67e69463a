// The ten factories: each makes the filter of one direction for one file kind.
#include "entry/Exports.h"

#include <new>

#include "export/DatExportFilter.h"
#include "import/DatImportFilter.h"

namespace {

using dornel::FileKind;

// No C++ exception may leave an extern "C" factory: a failed allocation gives null.
template <class Filter>
Filter* Make(qorvix::IoManager& manager, FileKind kind) {
    try {
        // The new-expression allocates with the filter's own alignment, which is wider than
        // the default, and frees the memory itself when the constructor throws.
        return new (std::nothrow) Filter(manager, kind);
    } catch (...) {
        return nullptr;
    }
}

qorvix::IoImportFilter* MakeImport(qorvix::IoManager& manager, FileKind kind) {
    return Make<dornel::DatImportFilter>(manager, kind);
}

qorvix::IoExportFilter* MakeExport(qorvix::IoManager& manager, FileKind kind) {
    return Make<dornel::DatExportFilter>(manager, kind);
}

}  // namespace

extern "C" {

qorvix::IoImportFilter* ImportDAT(qorvix::IoManager& m) {
    return MakeImport(m, dornel::KIND_DAT);
}
qorvix::IoImportFilter* ImportCSV(qorvix::IoManager& m) {
    return MakeImport(m, dornel::KIND_CSV);
}
qorvix::IoImportFilter* ImportTXT(qorvix::IoManager& m) {
    return MakeImport(m, dornel::KIND_TXT);
}
qorvix::IoImportFilter* ImportBNA(qorvix::IoManager& m) {
    return MakeImport(m, dornel::KIND_BNA);
}
qorvix::IoImportFilter* ImportBLN(qorvix::IoManager& m) {
    return MakeImport(m, dornel::KIND_BLN);
}
qorvix::IoExportFilter* ExportDAT(qorvix::IoManager& m) {
    return MakeExport(m, dornel::KIND_DAT);
}
qorvix::IoExportFilter* ExportCSV(qorvix::IoManager& m) {
    return MakeExport(m, dornel::KIND_CSV);
}
qorvix::IoExportFilter* ExportTXT(qorvix::IoManager& m) {
    return MakeExport(m, dornel::KIND_TXT);
}
qorvix::IoExportFilter* ExportBNA(qorvix::IoManager& m) {
    return MakeExport(m, dornel::KIND_BNA);
}
qorvix::IoExportFilter* ExportBLN(qorvix::IoManager& m) {
    return MakeExport(m, dornel::KIND_BLN);
}
}
