// Showing the two options dialogs on Windows.
#include "export/DatExportFilter.h"
#include "import/DatImportFilter.h"
#include "ui/CDatExportDlg.h"
#include "ui/DatImportDlg.h"
#include "export/ExportDialog.h"
#include "import/ImportDialog.h"
#include "ui/win32/Win32Platform.h"

namespace dornel {

int ShowImportDialog(DatImportFilter& filter, ImportDialogSettings& settings,
                     const brisko::RString& filePath) {
    // The preview's class must exist before the template creates control 20034.
    RegisterPreviewClass(PluginInstance());
    Win32DialogHost host;
    DatImportDlg dialog(&host);
    static_cast<ImportDialogSettings&>(dialog) = settings;
    dialog.filter = &filter;
    dialog.filePath = filePath;
    const INT_PTR result =
        RunModal(104, static_cast<HWND>(filter.GetManager().GetHostWindow()), dialog, host);
    if (result == 1)
        settings = dialog;
    return static_cast<int>(result);
}

int ShowExportDialog(DatExportFilter& filter, ExportDialogSettings& settings,
                     const brisko::RString& filePath) {
    Win32DialogHost host;
    CDatExportDlg dialog(&host);
    static_cast<ExportDialogSettings&>(dialog) = settings;
    dialog.filter = &filter;
    dialog.filePath = filePath;
    const INT_PTR result =
        RunModal(105, static_cast<HWND>(filter.GetManager().GetHostWindow()), dialog, host);
    if (result == 1)
        settings = dialog;
    return static_cast<int>(result);
}

}  // namespace dornel
