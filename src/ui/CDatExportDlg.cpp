// The export options dialog's logic.
#include "ui/CDatExportDlg.h"

#include "export/DatExportFilter.h"
#include "ui/DialogCommon.h"
#include "ui/DialogTexts.h"

namespace dornel {

bool CDatExportDlg::OnCommand(int id, unsigned) {
    if (id == IDC_EXP_UTF16 || id == IDC_EXP_UTF8 || id == IDC_EXP_ANSI) {
        host->Enable(IDC_EXP_CODE_PAGES, id == IDC_EXP_ANSI);
        return true;
    }
    if (id == kIdOk) {
        OnOk();
        return true;
    }
    return false;
}

void CDatExportDlg::OnContextHelp() {
    if (filter)
        filter->ShowHelp(kExportHelpTopic, "");
}

void CDatExportDlg::OnInitDialog() {
    host->AppendFilenameToTitle(filePath);
    host->AddContextHelpButton();
    const int delimiter = delimiterChar == '\t'  ? IDC_EXP_TAB
                          : delimiterChar == ' ' ? IDC_EXP_SPACE
                          : delimiterChar == ';' ? IDC_EXP_SEMICOLON
                                                 : IDC_EXP_COMMA;
    host->CheckRadio(IDC_EXP_TAB, IDC_EXP_SPACE, delimiter);
    host->CheckRadio(IDC_EXP_PERIOD, IDC_EXP_DECIMAL_COMMA,
                     decimalChar == ',' ? IDC_EXP_DECIMAL_COMMA : IDC_EXP_PERIOD);
    if (!showDecimalSymbol) {
        // Hidden, the decimal choice still goes through as it was set.
        for (int id : {IDC_EXP_DECIMAL_GROUP, IDC_EXP_PERIOD, IDC_EXP_DECIMAL_COMMA})
            host->Show(id, false);
    }
    for (const char* entry : kQualifierEntries)
        host->ComboAdd(IDC_EXP_QUALIFIER, entry);
    host->ComboSelect(IDC_EXP_QUALIFIER, qualifierChar == '\'' ? 1 : qualifierChar == '\0' ? 2 : 0);
    const int encoding = encodingMethod == 2   ? IDC_EXP_UTF8
                         : encodingMethod == 0 ? IDC_EXP_ANSI
                                               : IDC_EXP_UTF16;
    host->CheckRadio(IDC_EXP_UTF16, IDC_EXP_ANSI, encoding);
    FillCodePageList(*host, IDC_EXP_CODE_PAGES, codePages, codePage);
    if (encoding != IDC_EXP_ANSI)
        host->Enable(IDC_EXP_CODE_PAGES, false);
    // Cut off at the encoding group: its controls only carry their values through to OK.
    CutOffAtGroup(*host, IDC_EXP_ENCODING_GROUP);
    for (int id :
         {IDC_EXP_ENCODING_GROUP, IDC_EXP_UTF16, IDC_EXP_UTF8, IDC_EXP_ANSI, IDC_EXP_CODE_PAGES})
        host->Enable(id, false);
    host->CenterOnParent();
}

void CDatExportDlg::OnOk() {
    char delimiter = ',';
    // Tested in this order; the last one checked wins.
    if (host->IsChecked(IDC_EXP_SPACE))
        delimiter = ' ';
    if (host->IsChecked(IDC_EXP_TAB))
        delimiter = '\t';
    if (host->IsChecked(IDC_EXP_SEMICOLON))
        delimiter = ';';
    const char decimal = host->IsChecked(IDC_EXP_DECIMAL_COMMA) ? ',' : '.';
    const int qualifier = host->ComboSelection(IDC_EXP_QUALIFIER);
    const char qualifierValue = qualifier == 1 ? '\'' : qualifier == 2 ? '\0' : '"';
    // UTF-8 unless another encoding is checked.
    const bool ansi = host->IsChecked(IDC_EXP_ANSI);
    const uint32_t method = host->IsChecked(IDC_EXP_UTF16) ? 1 : ansi ? 0 : 2;
    delimiterChar = delimiter;
    decimalChar = decimal;
    qualifierChar = qualifierValue;
    encodingMethod = method;
    if (ansi)
        codePage = codePages.GetPageNumberByIndex(host->ComboSelection(IDC_EXP_CODE_PAGES));
    if (decimalChar == delimiterChar && filter &&
        filter->Warning(qorvix::WARN_YES_NO, "%s", kSameSymbolWarning) != qorvix::WARN_YES)
        return;
    host->EndDialog(kIdOk);
}

}  // namespace dornel
