// Builds without a window system have no import options dialog: it cannot be created.
#include "import/ImportDialog.h"

namespace dornel {

int ShowImportDialog(DatImportFilter&, ImportDialogSettings&, const brisko::RString&) {
    return -1;
}

}  // namespace dornel
