// Fixed texts and control ids of the two options dialogs.
#pragma once

namespace dornel {

constexpr const char* kImportDialogSource = "DatImportDlg";
constexpr const char* kImportHelpTopic = "dat-Import.htm";
constexpr const char* kExportHelpTopic = "dat-Export.htm";
constexpr const char* kCodePageItemFormat = "%s - [%d]";
constexpr const char* kPreviewLabelFormat = "Preview of %s:";
constexpr const char* kSameSymbolWarning =
    "The decimal symbol and the cell data delimiter are the same character!\n"
    "This may make the file unreadable.\n\nProceed anyway?";
constexpr const char* kQualifierEntries[3] = {"\" (Double quote)", "' (Single quote)", "(none)"};

constexpr int kImportDialogTemplate = 104;
constexpr int kExportDialogTemplate = 105;

/// Import dialog (template 104).
enum ImportDialogId : int {
    IDC_DELIMITED = 20000,
    IDC_FIXED_WIDTH = 20001,
    IDC_START_ROW = 20003,
    IDC_START_ROW_SPIN = 20004,
    IDC_BREAKS_LABEL = 20005,
    IDC_BREAKS = 20006,
    IDC_DELIMITERS_GROUP = 20020,
    IDC_TAB = 20021,
    IDC_COMMA = 20022,
    IDC_SEMICOLON = 20023,
    IDC_SPACE = 20024,
    IDC_OTHER = 20026,
    IDC_DOUBLE_QUOTE = 20028,
    IDC_SINGLE_QUOTE = 20029,
    IDC_SKIP_LEADING = 20030,
    IDC_CONSECUTIVE = 20031,
    IDC_COMMA_DECIMAL = 20032,
    IDC_PREVIEW_LABEL = 20033,
    IDC_PREVIEW = 20034,
    IDC_ENCODING_GROUP = 20035,
    IDC_ENCODING_LABEL = 20036,
    IDC_UNICODE = 20037,
    IDC_ANSI = 20038,
    IDC_CODE_PAGES = 20039,
    IDC_CODE_PAGE_LABEL = 20040,
};

/// Export dialog (template 105).
enum ExportDialogId : int {
    IDC_EXP_TAB = 20021,
    IDC_EXP_COMMA = 20022,
    IDC_EXP_SEMICOLON = 20023,
    IDC_EXP_SPACE = 20024,
    IDC_EXP_ENCODING_GROUP = 20035,
    IDC_EXP_UTF16 = 20041,
    IDC_EXP_UTF8 = 20042,
    IDC_EXP_ANSI = 20043,
    IDC_EXP_CODE_PAGES = 20044,
    IDC_EXP_DECIMAL_GROUP = 20045,
    IDC_EXP_PERIOD = 20046,
    IDC_EXP_DECIMAL_COMMA = 20047,
    IDC_EXP_QUALIFIER = 20050,
};

}  // namespace dornel
