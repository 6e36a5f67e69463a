// The import options dialog's logic: its fields, its message handler and the preview rebuild.
#pragma once

#include <cstdint>

#include "host/brisko/CodePageInfo.h"
#include "host/brisko/RString.h"
#include "ui/DialogHost.h"
#include "import/ImportDialogSettings.h"

namespace dornel {

class DatImportFilter;
class PreviewCtl;

/// The dialog of template 104. The settings it shares with the import filter come from
/// ImportDialogSettings; the platform's window is reached only through host.
class DatImportDlg : public ImportDialogSettings {
  public:
    explicit DatImportDlg(DialogHost* host = nullptr);
    virtual ~DatImportDlg() = default;

    /// Answers whether the message was handled; result is the handler's answer.
    virtual bool ProcessWindowMessage(unsigned message, uintptr_t wParam, intptr_t lParam,
                                      intptr_t& result, unsigned mapId = 0);

    void OnInitDialog();
    void SplitDelimiterText();
    void ComposeDelimiterText();
    void OnFieldFormat(int id);
    void OnOptionBox(int id);
    void OnEncoding(int id);
    void OnContextHelp();
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
    DialogHost* host;

  private:
    void ShowGroups();
};

}  // namespace dornel
