// Builds without a window system have no export options dialog: it cannot be created.
#include "export/ExportDialog.h"

namespace dornel {

int ShowExportDialog(DatExportFilter&, ExportDialogSettings&, const brisko::RString&) {
    return -1;
}

}  // namespace dornel
