// The export options dialog's logic: its fields and its message handler.
#pragma once

#include <cstdint>

#include "host/brisko/CodePageInfo.h"
#include "host/brisko/RString.h"
#include "ui/DialogCommon.h"
#include "export/ExportDialogSettings.h"

namespace dornel {

class DatExportFilter;

/// The dialog of template 105. Encoding method and code page pass through its hidden controls.
class CDatExportDlg : public ExportDialogSettings, public OptionsDialog {
  public:
    explicit CDatExportDlg(DialogHost* host = nullptr) : OptionsDialog(host) {}

    void OnInitDialog() override;
    void OnContextHelp() override;
    bool OnCommand(int id, unsigned code) override;
    /// Reads the controls; ends the dialog with 1 unless the user declines the warning.
    void OnOk();

    DatExportFilter* filter = nullptr;  ///< for Warning and ShowHelp, not owned
    brisko::RString filePath;           ///< the export file, for the caption
    brisko::CodePageInfo codePages{2};  ///< the code-page catalogue
};

}  // namespace dornel
