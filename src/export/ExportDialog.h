// Showing the export options dialog.
#pragma once

#include "host/brisko/RString.h"
#include "export/ExportDialogSettings.h"

namespace dornel {

class DatExportFilter;

/// Runs the modal export options dialog over the settings, which it edits in place. Returns the
/// id the dialog ended with: 1 for OK; anything else, also when no dialog could be created (a
/// build without a window system), cancels the export.
int ShowExportDialog(DatExportFilter& filter, ExportDialogSettings& settings,
                     const brisko::RString& filePath);

}  // namespace dornel
