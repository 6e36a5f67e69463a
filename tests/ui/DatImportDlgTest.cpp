// Tests of the import options dialog's logic, driven as a user would through its controls.
#include "ui/DatImportDlg.h"

#include <gtest/gtest.h>

#include "host/brisko/Exception.h"
#include "import/DatImportFilter.h"
#include "support/TestSupport.h"
#include "ui/DialogTexts.h"
#include "ui/FakePlatform.h"

namespace dornel::test {
namespace {

/// An import filter with a file open, a dialog over it, and the dialog's preview grid.
struct OpenDialog {
    explicit OpenDialog(const std::string& bytes, const char* delimiters = ",",
                        const char* path = "data.txt")
        : filter(manager, KIND_TXT), window({0, 0, 600, 140}), grid(&window), dialog(&host) {
        file = dir.Write(path, bytes);
        filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
            RString(file), "r", 3, 0, 0, false, false);
        host.preview = &grid;
        host.dispatch = [this](unsigned message, uintptr_t wParam) {
            intptr_t result = 0;
            dialog.ProcessWindowMessage(message, wParam, 0, result);
        };
        dialog.filter = &filter;
        dialog.delimited = true;
        dialog.delimiterText = RString(delimiters);
        dialog.qualifierText = RString("\"");
        dialog.filePath = RString(file);
    }
    intptr_t Open() {
        intptr_t result = 0;
        EXPECT_TRUE(dialog.ProcessWindowMessage(kWmInitDialog, 0, 0, result));
        return result;
    }
    TempDir dir;
    RecordingManager manager;
    DatImportFilter filter;
    std::string file;
    FakeWindow window;
    PreviewCtl grid;
    FakeDialogHost host;
    DatImportDlg dialog;
};

TEST(DatImportDlg, OpensWithTheFiltersSettingsAndAPreview) {
    OpenDialog d("a,b\n1,2.5\n");
    d.dialog.delimiterText = RString(",;x");
    EXPECT_EQ(d.Open(), 1);
    EXPECT_TRUE(d.host.checked[IDC_COMMA]);
    EXPECT_TRUE(d.host.checked[IDC_SEMICOLON]);
    EXPECT_FALSE(d.host.checked[IDC_TAB]);
    EXPECT_EQ(d.host.texts[IDC_OTHER], "x");
    EXPECT_EQ(d.host.texts[IDC_START_ROW], "1");
    EXPECT_EQ(d.host.ranges[IDC_START_ROW_SPIN], (std::pair<int32_t, int32_t>{1, 32768}));
    EXPECT_EQ(d.host.titlePath, d.file);
    EXPECT_EQ(d.host.texts[IDC_PREVIEW_LABEL], "Preview of " + d.file + ":");
    EXPECT_TRUE(d.host.contextHelp);
    EXPECT_TRUE(d.host.checked[IDC_ANSI]);
    EXPECT_EQ(d.dialog.encodingChoice, 0);
    EXPECT_EQ(d.host.combos[IDC_CODE_PAGES].size(), 15u);
    EXPECT_EQ(d.host.combos[IDC_CODE_PAGES][0], "Arabic - [1256]");
    EXPECT_EQ(d.host.selection[IDC_CODE_PAGES], 0);
    // Cut off just below the Encoding group's top: 330 - 50 + 3 + 1.
    EXPECT_EQ(d.host.height, 284);
    EXPECT_TRUE(d.host.disabled[IDC_ENCODING_GROUP]);
    EXPECT_TRUE(d.host.hidden[IDC_BREAKS]);
    EXPECT_FALSE(d.host.hidden[IDC_TAB]);
    EXPECT_TRUE(d.host.centred);
    // The preview: texts, and numbers with ten significant digits.
    EXPECT_EQ(d.grid.rowCount, 2);
    EXPECT_EQ(d.grid.columnCount, 2);
    EXPECT_EQ(d.grid.CellText(0, 0), u"a");
    EXPECT_EQ(d.grid.CellText(1, 1), u"2.5");
    EXPECT_FALSE(d.grid.showRuler);
    EXPECT_FALSE(d.grid.useExplicitBreaks);
}

TEST(DatImportDlg, WithoutAPathTheLabelKeepsItsText) {
    OpenDialog d("1\n");
    d.dialog.filePath = RString("");
    d.Open();
    EXPECT_EQ(d.host.texts.count(IDC_PREVIEW_LABEL), 0u);
    EXPECT_EQ(d.host.titlePath, "");
}

TEST(DatImportDlg, UnicodeFilesSelectUnicodeAndLockTheCodePages) {
    OpenDialog d("1\n");
    d.dialog.fileIsUnicode = 1;
    d.dialog.codePage = 1252;
    d.Open();
    EXPECT_TRUE(d.host.checked[IDC_UNICODE]);
    EXPECT_EQ(d.dialog.encodingChoice, 2);
    EXPECT_TRUE(d.host.disabled[IDC_CODE_PAGES]);
    EXPECT_EQ(d.host.combos[IDC_CODE_PAGES][d.host.selection[IDC_CODE_PAGES]],
              "Western European - [1252]");
}

TEST(DatImportDlg, APreviewThatDoesNotAnswerStopsTheOpening) {
    OpenDialog d("1\n");
    d.host.preview = nullptr;
    try {
        d.Open();
        ADD_FAILURE() << "opened without a preview";
    } catch (const brisko::Exception& e) {
        EXPECT_EQ(e.Module(), "dornel");
        EXPECT_EQ(e.File(), "DatImportDlg");
        EXPECT_EQ(e.Code(), 2);
    }
}

TEST(DatImportDlg, ColumnBreaksDrawWhereTheTextSays) {
    struct Case {
        const char* text;
        std::vector<int32_t> breaks;
    } cases[] = {
        {"10, 24, 32", {10, 24, 32}},
        {"32 10 10 24", {10, 24, 32}},
        {"24;32;10", {10, 24, 32}},
        {"none", {}},
        {"", {}},
        {"-5", {5}},
    };
    for (const Case& c : cases) {
        OpenDialog d(std::string(50, 'x') + "\n");
        d.Open();
        d.host.ClickRadio(IDC_DELIMITED, IDC_FIXED_WIDTH, IDC_FIXED_WIDTH);
        d.host.Type(IDC_BREAKS, c.text);
        EXPECT_TRUE(d.grid.useExplicitBreaks) << c.text;
        EXPECT_EQ(d.grid.breaks, c.breaks) << c.text;
    }
}

TEST(DatImportDlg, FieldFormatSwitchesRulerAndControls) {
    OpenDialog d("abcdef\n");
    d.Open();
    d.host.ClickRadio(IDC_DELIMITED, IDC_FIXED_WIDTH, IDC_FIXED_WIDTH);
    EXPECT_FALSE(d.dialog.delimited);
    EXPECT_TRUE(d.grid.showRuler);
    EXPECT_FALSE(d.host.hidden[IDC_BREAKS]);
    EXPECT_TRUE(d.host.hidden[IDC_TAB]);
    EXPECT_TRUE(d.host.hidden[IDC_CONSECUTIVE]);
    EXPECT_FALSE(d.host.hidden[IDC_COMMA_DECIMAL]);
    EXPECT_EQ(d.grid.CellText(0, 0), u"abcdef");
    d.host.ClickRadio(IDC_DELIMITED, IDC_FIXED_WIDTH, IDC_DELIMITED);
    EXPECT_FALSE(d.grid.showRuler);
    EXPECT_TRUE(d.host.hidden[IDC_BREAKS]);
}

TEST(DatImportDlg, TheStartRowEditSkipsLines) {
    OpenDialog d("h1\nh2\nh3\nh4\n10\n20\n");
    d.Open();
    d.host.Type(IDC_START_ROW, "5");
    EXPECT_EQ(d.dialog.startRow, 4);
    EXPECT_EQ(d.grid.firstRowNumber, 5);
    EXPECT_EQ(d.grid.CellText(0, 0), u"10");
    for (const char* ignored : {"0", "abc", ""}) {
        d.host.Type(IDC_START_ROW, ignored);
        EXPECT_EQ(d.dialog.startRow, 4) << ignored;
        EXPECT_EQ(d.host.texts[IDC_START_ROW], ignored);
    }
    d.host.Type(IDC_START_ROW, "40000");
    EXPECT_EQ(d.dialog.startRow, 39999);
}

TEST(DatImportDlg, OtherDelimitersComeFirstThenTheBoxesInOrder) {
    OpenDialog d("a|b#c;d\n", ";");
    d.Open();
    d.host.Type(IDC_OTHER, "|#");
    d.host.Click(IDC_TAB);
    d.host.Click(IDC_SPACE);
    EXPECT_EQ(d.dialog.delimiterText.str(), "|# \t;");
    EXPECT_EQ(d.grid.columnCount, 4);
    d.host.Click(IDC_DOUBLE_QUOTE);
    d.host.Click(IDC_SINGLE_QUOTE);
    EXPECT_EQ(d.dialog.qualifierText.str(), "'");
}

TEST(DatImportDlg, OkComposesAndCancelEnds) {
    OpenDialog d("1\n");
    d.Open();
    d.host.Click(IDC_SEMICOLON);
    d.host.Click(1);
    EXPECT_EQ(d.host.ended, 1);
    EXPECT_EQ(d.dialog.delimiterText.str(), ",;");
    for (int id = 2; id <= 7; ++id) {
        d.host.ended = 0;
        d.host.Click(id);
        EXPECT_EQ(d.host.ended, id);
    }
    // The caption's help button shows the topic.
    intptr_t result = -1;
    EXPECT_TRUE(d.dialog.ProcessWindowMessage(kWmSysCommand, kScContextHelp | 3, 0, result));
    EXPECT_EQ(d.manager.events.back(), "help dat-Import.htm");
    EXPECT_FALSE(d.dialog.ProcessWindowMessage(kWmSysCommand, 0xF060, 0, result));
    EXPECT_FALSE(d.dialog.ProcessWindowMessage(kWmCommand, 1, 0, result, 1));
}

TEST(DatImportDlg, EncodingAndCodePageChoices) {
    OpenDialog d("1\n");
    d.Open();
    d.host.ClickRadio(IDC_UNICODE, IDC_ANSI, IDC_UNICODE);
    EXPECT_EQ(d.dialog.encodingChoice, 2);
    EXPECT_TRUE(d.host.disabled[IDC_CODE_PAGES]);
    d.host.ClickRadio(IDC_UNICODE, IDC_ANSI, IDC_ANSI);
    EXPECT_EQ(d.dialog.encodingChoice, 0);
    EXPECT_FALSE(d.host.disabled[IDC_CODE_PAGES]);
    const auto& items = d.host.combos[IDC_CODE_PAGES];
    const int western = static_cast<int>(
        std::find(items.begin(), items.end(), "Western European - [1252]") - items.begin());
    d.host.Pick(IDC_CODE_PAGES, western);
    EXPECT_EQ(d.dialog.codePage, 1252);
}

}  // namespace
}  // namespace dornel::test
