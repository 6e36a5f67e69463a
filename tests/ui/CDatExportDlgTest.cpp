// Tests of the export options dialog's logic.
#include "ui/CDatExportDlg.h"

#include <gtest/gtest.h>

#include "export/DatExportFilter.h"
#include "support/TestSupport.h"
#include "ui/DialogTexts.h"
#include "ui/FakePlatform.h"

namespace dornel::test {
namespace {

struct OpenExportDialog {
    explicit OpenExportDialog(FileKind kind) : filter(manager, kind), dialog(&host) {
        host.dispatch = [this](unsigned message, uintptr_t wParam) {
            intptr_t result = 0;
            dialog.ProcessWindowMessage(message, wParam, 0, result);
        };
        dialog.filter = &filter;
        dialog.showDecimalSymbol = kind == KIND_TXT;
        dialog.filePath = RString("out.txt");
    }
    void Open() {
        intptr_t result = 0;
        ASSERT_TRUE(dialog.ProcessWindowMessage(kWmInitDialog, 0, 0, result));
        EXPECT_EQ(result, 1);
    }
    RecordingManager manager;
    DatExportFilter filter;
    FakeDialogHost host;
    CDatExportDlg dialog;
};

TEST(CDatExportDlg, OpensOnItsValuesAndOkGivesThemBack) {
    struct Case {
        char delimiter;
        int radio;
        char stored;
        char qualifier;
        int entry;
        uint32_t method;
        int encodingRadio;
    } cases[] = {
        {'|', IDC_EXP_COMMA, ',', '"', 0, 0, IDC_EXP_ANSI},
        {'\t', IDC_EXP_TAB, '\t', '\'', 1, 1, IDC_EXP_UTF16},
        {' ', IDC_EXP_SPACE, ' ', '\0', 2, 2, IDC_EXP_UTF8},
        {';', IDC_EXP_SEMICOLON, ';', 'x', 0, 7, IDC_EXP_UTF16},
    };
    for (const Case& c : cases) {
        OpenExportDialog d(KIND_TXT);
        d.dialog.delimiterChar = c.delimiter;
        d.dialog.qualifierChar = c.qualifier;
        d.dialog.encodingMethod = c.method;
        d.Open();
        EXPECT_TRUE(d.host.checked[c.radio]) << c.delimiter;
        EXPECT_EQ(d.host.selection[IDC_EXP_QUALIFIER], c.entry);
        EXPECT_TRUE(d.host.checked[c.encodingRadio]);
        d.host.Click(1);
        EXPECT_EQ(d.host.ended, 1);
        EXPECT_EQ(d.dialog.delimiterChar, c.stored);
        EXPECT_EQ(d.dialog.qualifierChar, c.qualifier == 'x' ? '"' : c.qualifier);
        EXPECT_EQ(d.dialog.encodingMethod, c.method == 7 ? 1u : c.method);
    }
}

TEST(CDatExportDlg, TheSameDelimiterAndDecimalSymbolAskFirst) {
    for (int answer : {7, 6}) {
        OpenExportDialog d(KIND_TXT);
        d.manager.warningAnswer = answer;
        d.Open();
        d.host.ClickRadio(IDC_EXP_PERIOD, IDC_EXP_DECIMAL_COMMA, IDC_EXP_DECIMAL_COMMA);
        d.host.Click(1);
        ASSERT_EQ(d.manager.events.size(), 1u);
        EXPECT_EQ(d.manager.events[0],
                  std::string("warning 2 The decimal symbol and the cell data delimiter are the "
                              "same character!\nThis may make the file unreadable.\n\nProceed "
                              "anyway?"));
        EXPECT_EQ(d.host.ended, answer == 6 ? 1 : 0);
        EXPECT_TRUE(d.host.checked[IDC_EXP_COMMA]);
    }
}

TEST(CDatExportDlg, AHiddenDecimalSymbolStillCounts) {
    OpenExportDialog d(KIND_DAT);
    d.dialog.decimalChar = ',';
    d.manager.warningAnswer = 7;
    d.Open();
    EXPECT_TRUE(d.host.hidden[IDC_EXP_DECIMAL_GROUP]);
    EXPECT_TRUE(d.host.hidden[IDC_EXP_DECIMAL_COMMA]);
    d.host.Click(1);
    EXPECT_EQ(d.manager.events.size(), 1u);
    EXPECT_EQ(d.host.ended, 0);
}

TEST(CDatExportDlg, AnUnlistedCodePageOpensOnTheFirstEntry) {
    OpenExportDialog d(KIND_TXT);
    d.dialog.encodingMethod = 0;
    d.dialog.codePage = 437;
    d.Open();
    EXPECT_EQ(d.host.selection[IDC_EXP_CODE_PAGES], 0);
    d.host.Click(1);
    EXPECT_EQ(d.dialog.codePage, 1256u);  // "Arabic", first by name
}

TEST(CDatExportDlg, CutOffAtTheEncodingGroupAndCancel) {
    OpenExportDialog d(KIND_TXT);
    d.Open();
    EXPECT_EQ(d.host.height, 284);
    EXPECT_TRUE(d.host.disabled[IDC_EXP_ENCODING_GROUP]);
    EXPECT_TRUE(d.host.disabled[IDC_EXP_CODE_PAGES]);
    EXPECT_EQ(d.host.titlePath, "out.txt");
    EXPECT_EQ(d.host.combos[IDC_EXP_QUALIFIER],
              (std::vector<std::string>{"\" (Double quote)", "' (Single quote)", "(none)"}));
    d.host.Click(2);
    EXPECT_EQ(d.host.ended, 2);
    intptr_t result = -1;
    EXPECT_TRUE(d.dialog.ProcessWindowMessage(kWmSysCommand, kScContextHelp, 0, result));
    EXPECT_EQ(d.manager.events.back(), "help dat-Export.htm");
}

}  // namespace
}  // namespace dornel::test
