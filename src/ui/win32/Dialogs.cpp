// Showing the two options dialogs on Windows.
#include "export/DatExportFilter.h"
#include "import/DatImportFilter.h"
#include "ui/CDatExportDlg.h"
#include "ui/DatImportDlg.h"
#include "ui/DialogTexts.h"
#include "export/ExportDialog.h"
#include "import/ImportDialog.h"
#include "ui/win32/Win32Platform.h"

namespace dornel {

namespace {

/// Runs the dialog of a template over a copy of the settings; OK hands the changes back.
template <class Dialog, class Settings, class Filter>
int ShowDialog(int templateId, Filter& filter, Settings& settings,
               const brisko::RString& filePath) {
    Win32DialogHost host;
    Dialog dialog(&host);
    static_cast<Settings&>(dialog) = settings;
    dialog.filter = &filter;
    dialog.filePath = filePath;
    const INT_PTR result =
        RunModal(templateId, static_cast<HWND>(filter.GetManager().GetHostWindow()), dialog, host);
    if (result == kIdOk)
        settings = dialog;
    return static_cast<int>(result);
}

}  // namespace

int ShowImportDialog(DatImportFilter& filter, ImportDialogSettings& settings,
                     const brisko::RString& filePath) {
    // The preview's class must exist before the template creates control 20034.
    RegisterPreviewClass(PluginInstance());
    return ShowDialog<DatImportDlg>(kImportDialogTemplate, filter, settings, filePath);
}

int ShowExportDialog(DatExportFilter& filter, ExportDialogSettings& settings,
                     const brisko::RString& filePath) {
    return ShowDialog<CDatExportDlg>(kExportDialogTemplate, filter, settings, filePath);
}

}  // namespace dornel
