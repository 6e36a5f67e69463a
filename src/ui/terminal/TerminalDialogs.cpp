// Showing the two options dialogs in the terminal.
#include "export/DatExportFilter.h"
#include "export/ExportDialog.h"
#include "import/DatImportFilter.h"
#include "import/ImportDialog.h"
#include "ui/CDatExportDlg.h"
#include "ui/DatImportDlg.h"
#include "ui/DialogTexts.h"
#include "ui/terminal/DialogTemplate.h"
#include "ui/terminal/TerminalDialogHost.h"
#include "ui/terminal/TerminalSession.h"

namespace dornel {

namespace {

/// Runs the dialog of a template over a copy of the settings; OK hands the changes back.
/// Without a terminal no dialog can be made, and the operation is cancelled.
template <class Dialog, class Settings, class Filter>
int ShowDialog(int templateId, Filter& filter, Settings& settings,
               const brisko::RString& filePath) {
    TerminalSession terminal;
    if (!terminal.Open())
        return -1;
    TerminalDialogHost host(BuiltInDialogTemplate(templateId));
    Dialog dialog(&host);
    static_cast<Settings&>(dialog) = settings;
    dialog.filter = &filter;
    dialog.filePath = filePath;
    host.dispatch = [&dialog](unsigned message, uintptr_t wParam) {
        intptr_t result = 0;
        dialog.ProcessWindowMessage(message, wParam, 0, result);
    };
    intptr_t result = 0;
    dialog.ProcessWindowMessage(kWmInitDialog, 0, 0, result);
    while (!host.Ended()) {
        host.Place(terminal.Columns(), terminal.Rows());
        CellScreen screen(terminal.Columns(), terminal.Rows());
        host.Draw(screen);
        int col = -1, row = -1;
        host.CursorCell(col, row);
        terminal.Show(screen, col, row);
        KeyEvent key;
        switch (terminal.Read(key)) {
            case TerminalSession::Input::Key:
                host.HandleKey(key);
                break;
            case TerminalSession::Input::Resized:
                break;
            case TerminalSession::Input::Closed:
                // The terminal went away: nothing more can be asked.
                host.HandleKey(KeyEvent{KeyEvent::Escape});
                break;
        }
    }
    if (host.Result() == kIdOk)
        settings = dialog;
    return host.Result();
}

}  // namespace

int ShowImportDialog(DatImportFilter& filter, ImportDialogSettings& settings,
                     const brisko::RString& filePath) {
    return ShowDialog<DatImportDlg>(kImportDialogTemplate, filter, settings, filePath);
}

int ShowExportDialog(DatExportFilter& filter, ExportDialogSettings& settings,
                     const brisko::RString& filePath) {
    return ShowDialog<CDatExportDlg>(kExportDialogTemplate, filter, settings, filePath);
}

}  // namespace dornel
