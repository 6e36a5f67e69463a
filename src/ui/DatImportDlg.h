// The import options dialog's logic: its fields, its message handler and the preview rebuild.
#pragma once

#include <cstdint>

#include "host/brisko/CodePageInfo.h"
#include "host/brisko/RString.h"
#include "ui/DialogCommon.h"
#include "import/ImportDialogSettings.h"

namespace dornel {

class DatImportFilter;
class PreviewCtl;

/// The dialog of template 104. The settings it shares with the import filter come from
/// ImportDialogSettings; the platform's window is reached only through host.
class DatImportDlg : public ImportDialogSettings, public OptionsDialog {
  public:
    explicit DatImportDlg(DialogHost* host = nullptr);

    void OnInitDialog() override;
    void OnContextHelp() override;
    bool OnCommand(int id, unsigned code) override;
    void SplitDelimiterText();
    void ComposeDelimiterText();
    void OnFieldFormat(int id);
    void OnOptionBox(int id);
    void OnEncoding(int id);
    void RebuildPreview();

    bool spaceDelimiter = false;        ///< Space box (20024)
    bool tabDelimiter = false;          ///< Tab box (20021)
    bool commaDelimiter = false;        ///< Comma box (20022)
    bool semicolonDelimiter = false;    ///< Semicolon box (20023)
    bool doubleQuoteQualifier = false;  ///< Double Quote box (20028)
    bool singleQuoteQualifier = false;  ///< Single Quote box (20029)
    brisko::RString otherDelimiters;    ///< the Other: edit (20026)
    DatImportFilter* filter = nullptr;  ///< the filter served, not owned
    PreviewCtl* preview = nullptr;      ///< the preview grid's object, owned by its window
    brisko::RString filePath;           ///< the file imported; empty when there is none
    brisko::CodePageInfo codePages{2};  ///< the code-page catalogue

  private:
    void ShowGroups();
};

}  // namespace dornel
