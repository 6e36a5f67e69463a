// Showing the import options dialog.
#pragma once

#include "host/brisko/RString.h"
#include "import/ImportDialogSettings.h"

namespace dornel {

class DatImportFilter;

/// Runs the modal import options dialog over the settings, which it edits in place. Returns the
/// id the dialog ended with: 1 for OK; anything else, also when no dialog could be created (a
/// build without a window system), leaves the import cancelled.
int ShowImportDialog(DatImportFilter& filter, ImportDialogSettings& settings,
                     const brisko::RString& filePath);

}  // namespace dornel
