// Export options: per-kind defaults, the option store, option strings and the dialog's result.
#include "export/ExportTexts.h"
#include "export/DatExportFilter.h"
#include "common/OptionTable.h"
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

namespace {

using Row = OptionRow<DatExportFilter>;
using F = DatExportFilter;

// The export options, loaded, saved and taken from option strings in one order. An empty
// qualifier is saved as its keyword, so that a later read can tell it from absence.
constexpr Row kExportOptions[] = {
    {.name = kOptDelimiter, .text = &F::delimiterOption, .loadAt = 0, .saveAt = 0, .stringAt = 0},
    {.name = kOptDecimalSymbol,
     .text = &F::decimalOption,
     .loadAt = 1,
     .saveAt = 1,
     .stringAt = 1,
     .textKindOnly = true},
    {.name = kOptTextQualifier,
     .text = &F::qualifierOption,
     .loadAt = 2,
     .saveAt = 2,
     .stringAt = 2,
     .emptyAs = kNoQualifierKeyword},
    {.name = kOptExportEncodingMethod,
     .uint32 = &F::encodingMethod,
     .loadAt = 3,
     .saveAt = 3,
     .stringAt = 3},
    {.name = kOptExportCodepage, .uint32 = &F::codePage, .loadAt = 4, .saveAt = 4, .stringAt = 4},
};

}  // namespace

void DatExportFilter::LoadExportOptions(bool persistent) {
    InOrder<F>(kExportOptions, &Row::loadAt,
               [&](const Row& row) { ReadOption(m_manager, row, *this, persistent); });
}

void DatExportFilter::SaveExportOptions(bool persistent) {
    InOrder<F>(kExportOptions, &Row::saveAt,
               [&](const Row& row) { WriteOption(m_manager, row, *this, persistent); });
}

void DatExportFilter::ApplyStringOptions(const RString& options) {
    // Without a word on it, an option string starts from what the store holds.
    const bool forget = TakeOptionString<F>(
        m_manager, options, kExportOptions, *this, false, kind == KIND_TXT,
        [this] { ResetExportDefaults(); }, [this] { LoadExportOptions(true); });
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
