// The import options dialog's logic: opening, the handlers of its controls, and the rebuild of
// the preview after every change.
#include "ui/DatImportDlg.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/brisko/Exception.h"
#include "import/DatImportFilter.h"
#include "ui/DialogCommon.h"
#include "ui/DialogTexts.h"
#include "ui/PreviewCtl.h"

namespace dornel {

namespace {

constexpr size_t kEditTextBytes = 260;

}  // namespace

DatImportDlg::DatImportDlg(DialogHost* h) : OptionsDialog(h) {}

bool DatImportDlg::OnCommand(int id, unsigned code) {
    switch (id) {
        case kIdOk:
            ComposeDelimiterText();
            host->EndDialog(kIdOk);
            return true;
        case IDC_DELIMITED:
        case IDC_FIXED_WIDTH:
            OnFieldFormat(id);
            return true;
        case IDC_TAB:
        case IDC_COMMA:
        case IDC_SEMICOLON:
        case IDC_SPACE:
        case IDC_DOUBLE_QUOTE:
        case IDC_SINGLE_QUOTE:
        case IDC_SKIP_LEADING:
        case IDC_CONSECUTIVE:
        case IDC_COMMA_DECIMAL:
            OnOptionBox(id);
            return true;
        case IDC_OTHER:
            if (code != kEnChange)
                return false;
            otherDelimiters = brisko::RString(host->GetText(IDC_OTHER, kEditTextBytes));
            RebuildPreview();
            return true;
        case IDC_BREAKS:
            if (code != kEnChange)
                return false;
            columnBreaksText = brisko::RString(host->GetText(IDC_BREAKS, kEditTextBytes));
            RebuildPreview();
            return true;
        case IDC_START_ROW: {
            if (code != kEnChange)
                return false;
            uint32_t number = 0;
            // Text that is no number, or a number below 1, changes nothing.
            if (host->GetUnsigned(IDC_START_ROW, number) && static_cast<int32_t>(number) >= 1) {
                startRow = static_cast<int32_t>(number) - 1;
                RebuildPreview();
            }
            return true;
        }
        case IDC_UNICODE:
        case IDC_ANSI:
            OnEncoding(id);
            return true;
        case IDC_CODE_PAGES:
            if (code != kCbnSelChange)
                return false;
            codePage = static_cast<int32_t>(
                codePages.GetPageNumberByIndex(host->ComboSelection(IDC_CODE_PAGES)));
            RebuildPreview();
            return true;
        default:
            return false;
    }
}

void DatImportDlg::OnInitDialog() {
    if (!filePath.empty())
        host->AppendFilenameToTitle(filePath);
    preview = host->QueryPreview(IDC_PREVIEW);
    if (!preview)
        brisko::ThrowSharedError("dornel", kImportDialogSource, __LINE__, 2);
    const int encodingRadio = fileIsUnicode != 0 ? IDC_UNICODE : IDC_ANSI;
    encodingChoice = fileIsUnicode != 0 ? 2 : 0;
    SplitDelimiterText();
    host->AddContextHelpButton();
    host->Check(delimited ? IDC_DELIMITED : IDC_FIXED_WIDTH, true);
    // Each text set here raises its edit's handler, which stores it back and rebuilds.
    host->SetText(IDC_BREAKS, columnBreaksText.str());
    host->SetUnsigned(IDC_START_ROW, static_cast<uint32_t>(startRow + 1));
    host->SetUpDownRange(IDC_START_ROW_SPIN, 1, 32768);
    host->Check(IDC_SPACE, spaceDelimiter);
    host->Check(IDC_TAB, tabDelimiter);
    host->Check(IDC_COMMA, commaDelimiter);
    host->Check(IDC_SEMICOLON, semicolonDelimiter);
    host->SetText(IDC_OTHER, otherDelimiters.str());
    host->Check(IDC_DOUBLE_QUOTE, doubleQuoteQualifier);
    host->Check(IDC_SINGLE_QUOTE, singleQuoteQualifier);
    host->Check(IDC_SKIP_LEADING, skipLeadingSpaces);
    host->Check(IDC_CONSECUTIVE, consecutiveAsOne);
    host->Check(IDC_COMMA_DECIMAL, commaDecimal);
    if (!filePath.empty())
        host->SetText(IDC_PREVIEW_LABEL,
                      brisko::FormatString(kPreviewLabelFormat, filePath.c_str()));
    host->Check(encodingRadio, true);
    FillCodePageList(*host, IDC_CODE_PAGES, codePages, static_cast<uint32_t>(codePage));
    if (encodingRadio == IDC_UNICODE) {
        host->Enable(IDC_CODE_PAGE_LABEL, false);
        host->Enable(IDC_CODE_PAGES, false);
    }
    // The window ends just below the top edge of the Encoding group.
    CutOffAtGroup(*host, IDC_ENCODING_GROUP);
    for (int id : {IDC_ENCODING_GROUP, IDC_ENCODING_LABEL, IDC_CODE_PAGE_LABEL, IDC_CODE_PAGES})
        host->Enable(id, false);
    ShowGroups();
    RebuildPreview();
    host->CenterOnParent();
}

void DatImportDlg::SplitDelimiterText() {
    spaceDelimiter = tabDelimiter = commaDelimiter = semicolonDelimiter = false;
    for (size_t i = 0; i < delimiterText.size(); ++i) {
        switch (delimiterText[i]) {
            case ' ':
                spaceDelimiter = true;
                break;
            case '\t':
                tabDelimiter = true;
                break;
            case ',':
                commaDelimiter = true;
                break;
            case ';':
                semicolonDelimiter = true;
                break;
            default:
                otherDelimiters += delimiterText[i];
                break;
        }
    }
    doubleQuoteQualifier = singleQuoteQualifier = false;
    for (size_t i = 0; i < qualifierText.size(); ++i) {
        if (qualifierText[i] == '"')
            doubleQuoteQualifier = true;
        else if (qualifierText[i] == '\'')
            singleQuoteQualifier = true;
    }
}

void DatImportDlg::ComposeDelimiterText() {
    std::string text = otherDelimiters.str();
    if (spaceDelimiter)
        text += ' ';
    if (tabDelimiter)
        text += '\t';
    if (commaDelimiter)
        text += ',';
    if (semicolonDelimiter)
        text += ';';
    delimiterText = brisko::RString(text);
    std::string qualifiers;
    if (doubleQuoteQualifier)
        qualifiers += '"';
    if (singleQuoteQualifier)
        qualifiers += '\'';
    qualifierText = brisko::RString(qualifiers);
}

void DatImportDlg::ShowGroups() {
    for (int id = IDC_DELIMITERS_GROUP; id <= IDC_COMMA_DECIMAL - 1; ++id)
        host->Show(id, delimited);
    host->Show(IDC_BREAKS_LABEL, !delimited);
    host->Show(IDC_BREAKS, !delimited);
}

void DatImportDlg::OnFieldFormat(int id) {
    delimited = id == IDC_DELIMITED;
    ShowGroups();
    RebuildPreview();
}

void DatImportDlg::OnOptionBox(int id) {
    const bool checked = host->IsChecked(id);
    switch (id) {
        case IDC_TAB:
            tabDelimiter = checked;
            break;
        case IDC_COMMA:
            commaDelimiter = checked;
            break;
        case IDC_SEMICOLON:
            semicolonDelimiter = checked;
            break;
        case IDC_SPACE:
            spaceDelimiter = checked;
            break;
        case IDC_DOUBLE_QUOTE:
            doubleQuoteQualifier = checked;
            break;
        case IDC_SINGLE_QUOTE:
            singleQuoteQualifier = checked;
            break;
        case IDC_SKIP_LEADING:
            skipLeadingSpaces = checked;
            break;
        case IDC_CONSECUTIVE:
            consecutiveAsOne = checked;
            break;
        case IDC_COMMA_DECIMAL:
            commaDecimal = checked;
            break;
        default:
            break;
    }
    RebuildPreview();
}

void DatImportDlg::OnEncoding(int id) {
    const bool ansi = id == IDC_ANSI;
    host->Enable(IDC_CODE_PAGE_LABEL, ansi);
    host->Enable(IDC_CODE_PAGES, ansi);
    encodingChoice = ansi ? 0 : 2;
    RebuildPreview();
}

void DatImportDlg::OnContextHelp() {
    if (filter)
        filter->ShowHelp(kImportHelpTopic, "");
}

void DatImportDlg::RebuildPreview() {
    ComposeDelimiterText();
    if (!filter || !preview)
        return;
    std::vector<PreviewCell> cells;
    filter->BuildPreview(*this, cells, 50);
    uint32_t lastRow = 0, lastCol = 0;
    for (const PreviewCell& c : cells) {
        lastRow = std::max(lastRow, c.row);
        lastCol = std::max(lastCol, c.col);
    }
    preview->ShowRuler(!delimited);
    preview->SetFirstRowNumber(startRow + 1);
    preview->SetSize(static_cast<int32_t>(lastRow + 1), static_cast<int32_t>(lastCol + 1));
    for (const PreviewCell& c : cells) {
        if (c.isText) {
            preview->SetCellText(static_cast<int32_t>(c.row), static_cast<int32_t>(c.col),
                                 c.text.c_str());
        } else {
            char number[260];
            std::snprintf(number, sizeof number, "%.10g", c.value);
            const std::u16string wide(number, number + std::char_traits<char>::length(number));
            preview->SetCellText(static_cast<int32_t>(c.row), static_cast<int32_t>(c.col),
                                 wide.c_str());
        }
    }
    preview->AutoFitColumns(-1);
    if (delimited) {
        preview->SetColumnBreaks(nullptr);
    } else {
        const std::vector<int32_t> breaks = ColumnBreakNumbers(columnBreaksText.c_str());
        preview->SetColumnBreaks(&breaks);
    }
}

}  // namespace dornel
