// Export options: per-kind defaults, the option store, option strings and the dialog's result.
#include "export/ExportTexts.h"
#include "export/DatExportFilter.h"
#include "common/OptionVocabulary.h"
#include "export/ExportDialog.h"

namespace dornel {

void DatExportFilter::ResetExportDefaults() {
    qualifierOption = RString("\"");
    decimalOption = RString(".");
    delimiterOption = RString(",");
    if (kind == KIND_TXT) {
        delimiterOption = RString("\t");
        qualifierOption = RString("");
    }
    encodingMethod = 0;
    codePage = 0;
}

void DatExportFilter::LoadExportOptions(bool persistent) {
    qorvix::IoManager& m = m_manager;
    m.GetOption(kExpOptDelimiter, delimiterOption, persistent);
    NormalizeOptionValue(kExpOptDelimiter, delimiterOption);
    m.GetOption(kExpOptDecimalSymbol, decimalOption, persistent);
    NormalizeOptionValue(kExpOptDecimalSymbol, decimalOption);
    m.GetOption(kExpOptTextQualifier, qualifierOption, persistent);
    NormalizeOptionValue(kExpOptTextQualifier, qualifierOption);
    m.GetOption(kExpOptEncodingMethod, encodingMethod, persistent);
    m.GetOption(kExpOptCodepage, codePage, persistent);
}

void DatExportFilter::SaveExportOptions(bool persistent) {
    qorvix::IoManager& m = m_manager;
    m.SetOption(kExpOptDelimiter, delimiterOption, persistent);
    m.SetOption(kExpOptDecimalSymbol, decimalOption, persistent);
    // An empty qualifier is stored as its keyword, so that a later read can tell it from absence.
    m.SetOption(kExpOptTextQualifier, qualifierOption.empty() ? RString("none") : qualifierOption,
                persistent);
    m.SetOption(kExpOptEncodingMethod, static_cast<unsigned int>(encodingMethod), persistent);
    m.SetOption(kExpOptCodepage, static_cast<unsigned int>(codePage), persistent);
}

void DatExportFilter::ApplyStringOptions(const RString& options) {
    qorvix::IoManager& m = m_manager;
    bool defaults = false, forget = false;
    m.GetStringOption(options, kExpOptDefaults, defaults);
    m.GetStringOption(options, kExpOptForgetOptions, forget);
    if (defaults)
        ResetExportDefaults();
    else
        LoadExportOptions(true);
    if (m.GetStringOption(options, kExpOptDelimiter, delimiterOption))
        NormalizeOptionValue(kExpOptDelimiter, delimiterOption);
    if (kind == KIND_TXT && m.GetStringOption(options, kExpOptDecimalSymbol, decimalOption))
        NormalizeOptionValue(kExpOptDecimalSymbol, decimalOption);
    if (m.GetStringOption(options, kExpOptTextQualifier, qualifierOption))
        NormalizeOptionValue(kExpOptTextQualifier, qualifierOption);
    m.GetStringOption(options, kExpOptEncodingMethod, encodingMethod);
    m.GetStringOption(options, kExpOptCodepage, codePage);
    SaveExportOptions(!forget);
}

bool DatExportFilter::RunExportDialog(const RString& path) {
    ExportDialogSettings s;
    s.delimiterChar = delimiterOption.empty() ? ',' : delimiterOption[0];
    s.qualifierChar = qualifierOption.empty() ? '\0' : qualifierOption[0];
    s.decimalChar = decimalOption.empty() ? '.' : decimalOption[0];
    s.showDecimalSymbol = kind == KIND_TXT;
    s.encodingMethod = encodingMethod;
    s.codePage = codePage;
    if (ShowExportDialog(*this, s, path) != 1)
        return false;
    delimiterOption = RString(std::string(1, s.delimiterChar));
    decimalOption = RString(std::string(1, s.decimalChar));
    qualifierOption = s.qualifierChar ? RString(std::string(1, s.qualifierChar)) : RString("");
    encodingMethod = s.encodingMethod;
    codePage = s.codePage;
    SaveExportOptions(true);
    return true;
}

}  // namespace dornel
