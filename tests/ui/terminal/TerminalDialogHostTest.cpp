// Tests of the terminal dialog: where the template's items land in cells, the focus order,
// the keys and mnemonics, driven against the real dialog logic over a file.
#include "ui/terminal/TerminalDialogHost.h"

#include <gtest/gtest.h>

#include "import/DatImportFilter.h"
#include "support/TestSupport.h"
#include "ui/CDatExportDlg.h"
#include "ui/DatImportDlg.h"
#include "ui/DialogTexts.h"

namespace dornel::test {
namespace {

KeyEvent Key(KeyEvent::Kind kind) {
    KeyEvent k;
    k.kind = kind;
    return k;
}
KeyEvent Char(char32_t ch, bool alt = false) {
    KeyEvent k;
    k.kind = KeyEvent::Char;
    k.ch = ch;
    k.alt = alt;
    return k;
}

/// The import dialog in the terminal over a file, opened as the plug-in opens it.
struct ImportDialog {
    explicit ImportDialog(const std::string& bytes, const char* delimiters = ",")
        : filter(manager, KIND_TXT),
          host(BuiltInDialogTemplate(kImportDialogTemplate)),
          dialog(&host) {
        file = dir.Write("data.txt", bytes);
        filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
            RString(file), "r", 3, 0, 0, false, false);
        host.dispatch = [this](unsigned message, uintptr_t wParam) {
            commands.push_back(static_cast<int>(wParam & 0xFFFF));
            intptr_t result = 0;
            dialog.ProcessWindowMessage(message, wParam, 0, result);
        };
        dialog.filter = &filter;
        dialog.delimited = true;
        dialog.delimiterText = RString(delimiters);
        dialog.qualifierText = RString("\"");
        dialog.filePath = RString(file);
        intptr_t result = 0;
        dialog.ProcessWindowMessage(kWmInitDialog, 0, 0, result);
        host.Place(120, 30);
    }
    /// The preview's lines as the screen shows them, without the scroll bars.
    std::vector<std::string> PreviewLines() {
        CellScreen screen(120, 30);
        host.Draw(screen);
        const CellRect r = host.ItemCells(IDC_PREVIEW);
        std::vector<std::string> lines;
        for (int row = r.top; row < r.bottom - 1; ++row) {
            std::u32string line;
            for (int col = r.left; col < r.right - 1; ++col)
                line += screen.At(col, row).ch;
            line.erase(line.find_last_not_of(U' ') + 1);
            lines.push_back(CharsToUtf8(line));
        }
        return lines;
    }
    uint8_t PreviewAttr(int col, int row) {
        CellScreen screen(120, 30);
        host.Draw(screen);
        const CellRect r = host.ItemCells(IDC_PREVIEW);
        return screen.At(r.left + col, r.top + row).attr;
    }
    TempDir dir;
    RecordingManager manager;
    DatImportFilter filter;
    std::string file;
    TerminalDialogHost host;
    DatImportDlg dialog;
    std::vector<int> commands;
};

TEST(TerminalDialogHost, DialogUnitsBecomeCellsOfFourByEight) {
    struct Case {
        int x, y, w, h;
        CellRect cells;
    };
    // From the import template: a check box, the start-row edit, the preview, the OK button.
    for (const Case& c :
         {Case{229, 73, 129, 10, {57, 9, 90, 10}}, Case{229, 22, 40, 12, {57, 3, 67, 4}},
          Case{6, 95, 353, 69, {2, 12, 90, 21}}, Case{310, 7, 50, 14, {78, 1, 90, 3}},
          Case{0, 0, 1, 1, {0, 0, 1, 1}}}) {
        const CellRect r = DialogUnitsToCells(c.x, c.y, c.w, c.h);
        EXPECT_EQ((std::vector<int>{r.left, r.top, r.right, r.bottom}),
                  (std::vector<int>{c.cells.left, c.cells.top, c.cells.right, c.cells.bottom}))
            << c.x << "," << c.y;
    }
}

TEST(TerminalDialogHost, TheDialogIsCutOffAboveTheEncodingGroupAndCentred) {
    ImportDialog d("a,b\n");
    // 21 lines inside the frame: the Encoding group starts on line 21 of the template.
    EXPECT_EQ(d.host.NeededRows(), 23);
    EXPECT_GE(d.host.NeededColumns(), 93);
    EXPECT_EQ(d.host.Title(), "Data Import Options - data.txt");
    const CellRect ok = d.host.ItemCells(kIdOk);
    EXPECT_EQ(ok.left, (120 - d.host.NeededColumns()) / 2 + 1 + 78);
    // The encoding controls are out of reach, as on the platform.
    for (int id : d.host.TabOrder())
        EXPECT_TRUE(id != IDC_ANSI && id != IDC_UNICODE && id != IDC_CODE_PAGES) << id;
    d.host.Place(80, 24);
    EXPECT_FALSE(d.host.Fits());
    CellScreen small(80, 24);
    d.host.Draw(small);
    EXPECT_NE(small.ToText().find("at least " + std::to_string(d.host.NeededColumns()) +
                                  " columns and 23 lines"),
              std::string::npos);
}

TEST(TerminalDialogHost, TabFollowsTheTemplateOverTheItemsShown) {
    ImportDialog d("a,b\n");
    const std::vector<int> delimited = {
        IDC_DELIMITED,    IDC_FIXED_WIDTH, IDC_START_ROW,     IDC_TAB,          IDC_COMMA,
        IDC_SEMICOLON,    IDC_SPACE,       IDC_OTHER,         IDC_DOUBLE_QUOTE, IDC_SINGLE_QUOTE,
        IDC_SKIP_LEADING, IDC_CONSECUTIVE, IDC_COMMA_DECIMAL, IDC_PREVIEW,      kIdOk,
        kIdCancel};
    EXPECT_EQ(d.host.TabOrder(), delimited);
    EXPECT_EQ(d.host.FocusedId(), IDC_DELIMITED);
    d.host.HandleKey(Key(KeyEvent::BackTab));
    EXPECT_EQ(d.host.FocusedId(), kIdCancel);
    d.host.HandleKey(Key(KeyEvent::Tab));
    d.host.HandleKey(Key(KeyEvent::Tab));
    EXPECT_EQ(d.host.FocusedId(), IDC_FIXED_WIDTH);
    // Picking Fixed Width hides the delimiter items and shows the breaks' edit.
    d.host.HandleKey(Char(U' '));
    EXPECT_FALSE(d.dialog.delimited);
    const std::vector<int> fixed = {IDC_DELIMITED,     IDC_FIXED_WIDTH, IDC_START_ROW, IDC_BREAKS,
                                    IDC_COMMA_DECIMAL, IDC_PREVIEW,     kIdOk,         kIdCancel};
    EXPECT_EQ(d.host.TabOrder(), fixed);
    // Arrows move within the radio group and pick.
    d.host.HandleKey(Key(KeyEvent::Up));
    EXPECT_TRUE(d.dialog.delimited);
    EXPECT_EQ(d.host.FocusedId(), IDC_DELIMITED);
}

TEST(TerminalDialogHost, KeysActAsTheWindowsDialogsDo) {
    struct Case {
        const char* what;
        std::vector<KeyEvent> keys;
        std::function<void(ImportDialog&)> check;
    };
    const std::vector<Case> cases = {
        {"Alt and a check box's letter toggles it",
         {Char(U'm', true)},
         [](ImportDialog& d) { EXPECT_TRUE(d.dialog.commaDecimal); }},
        {"a letter where nothing is typed is a mnemonic too",
         {Char(U'T')},
         [](ImportDialog& d) { EXPECT_TRUE(d.dialog.tabDelimiter); }},
        {"a label's letter focuses its edit, where typing goes",
         {Char(U'o', true), Char(U'|'), Char(U'x')},
         [](ImportDialog& d) {
             EXPECT_EQ(d.host.FocusedId(), IDC_OTHER);
             EXPECT_EQ(d.dialog.otherDelimiters.str(), "|x");
         }},
        {"Backspace edits",
         {Char(U'o', true), Char(U'|'), Char(U'x'), Key(KeyEvent::Backspace)},
         [](ImportDialog& d) { EXPECT_EQ(d.dialog.otherDelimiters.str(), "|"); }},
        {"Up and Down step the start row, not below 1",
         {Key(KeyEvent::Tab), Key(KeyEvent::Tab), Key(KeyEvent::Up), Key(KeyEvent::Up),
          Key(KeyEvent::Down), Key(KeyEvent::Down), Key(KeyEvent::Down)},
         [](ImportDialog& d) {
             EXPECT_EQ(d.host.GetText(IDC_START_ROW, 260), "1");
             EXPECT_EQ(d.dialog.startRow, 0);
         }},
        {"typing a start row skips that many lines",
         {Key(KeyEvent::Tab), Key(KeyEvent::Tab), Key(KeyEvent::Backspace), Char(U'3')},
         [](ImportDialog& d) {
             EXPECT_EQ(d.dialog.startRow, 2);
             EXPECT_EQ(d.dialog.preview->firstRowNumber, 3);
         }},
        {"Enter is OK, even in an edit",
         {Char(U'o', true), Key(KeyEvent::Enter)},
         [](ImportDialog& d) { EXPECT_EQ(d.host.Result(), kIdOk); }},
        {"Enter on Cancel cancels",
         {Key(KeyEvent::BackTab), Key(KeyEvent::Enter)},
         [](ImportDialog& d) { EXPECT_EQ(d.host.Result(), kIdCancel); }},
        {"Escape cancels",
         {Key(KeyEvent::Escape)},
         [](ImportDialog& d) {
             EXPECT_TRUE(d.host.Ended());
             EXPECT_EQ(d.host.Result(), kIdCancel);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ImportDialog d("a,b\n1,2\n3,4\n");
        for (const KeyEvent& k : c.keys)
            d.host.HandleKey(k);
        c.check(d);
    }
}

TEST(TerminalDialogHost, ClicksReachTheItemUnderThem) {
    ImportDialog d("a,b\n");
    const CellRect box = d.host.ItemCells(IDC_SKIP_LEADING);
    KeyEvent click = Key(KeyEvent::Click);
    click.col = box.left + 1;
    click.row = box.top;
    d.host.HandleKey(click);
    EXPECT_TRUE(d.dialog.skipLeadingSpaces);
    EXPECT_EQ(d.host.FocusedId(), IDC_SKIP_LEADING);
    // The up-down's upper arrow steps the start row up.
    const CellRect spin = d.host.ItemCells(IDC_START_ROW_SPIN);
    click.col = spin.right - 2;
    click.row = spin.top;
    d.host.HandleKey(click);
    EXPECT_EQ(d.dialog.startRow, 1);
}

TEST(TerminalDialogHost, ThePreviewScrollsByItsBarsLogic) {
    std::string wide;
    for (int i = 0; i < 30; ++i)
        wide += "abcdefghij,";
    std::string bytes;
    for (int i = 0; i < 40; ++i)
        bytes += wide + "\n";
    ImportDialog d(bytes);
    d.host.SetFocus(IDC_PREVIEW);
    d.host.HandleKey(Key(KeyEvent::Down));
    EXPECT_EQ(d.dialog.preview->firstVisibleRow, 1);
    d.host.HandleKey(Key(KeyEvent::PageDown));
    const int page = d.dialog.preview->firstVisibleRow - 1;
    EXPECT_GT(page, 1);
    d.host.HandleKey(Key(KeyEvent::Right));
    EXPECT_EQ(d.dialog.preview->firstVisibleChar, 1);
    // The end is where the last page starts, not the last character.
    d.host.HandleKey(Key(KeyEvent::End));
    const ScrollState bar = d.host.QueryPreview(IDC_PREVIEW)->window->GetScrollState(SB_HORIZONTAL);
    EXPECT_EQ(d.dialog.preview->firstVisibleChar, bar.maximum - bar.page + 1);
    d.host.HandleKey(Key(KeyEvent::Home));
    EXPECT_EQ(d.dialog.preview->firstVisibleChar, 0);
    // The top line shows the first visible row, numbered as the file's line.
    const std::string top = d.PreviewLines().at(0);
    const int first = d.dialog.preview->firstVisibleRow;
    EXPECT_EQ(top.substr(0, 3).find(std::to_string(first + 1)) != std::string::npos, true) << top;
    EXPECT_EQ(top.substr(3, 4), "abcd");
}

TEST(TerminalDialogHost, ADelimitedPreviewIsOneCellPerCharacter) {
    ImportDialog d("name,value\nx,1.5\nlonger,2\n");
    const std::vector<std::string> lines = d.PreviewLines();
    ASSERT_GE(lines.size(), 4u);
    // Row numbers in a band of three, columns as wide as their longest text, in a grey font.
    EXPECT_EQ(lines[0], " 1 name  value\u2502");
    EXPECT_EQ(lines[1], " 2 x     1.5  \u2502");
    EXPECT_EQ(lines[2], " 3 longer2    \u2502");
    // Row numbers go on past the data, and so do the separators.
    EXPECT_EQ(lines[3], " 4       \u2502    \u2502");
    EXPECT_EQ(d.PreviewAttr(3, 0) & kAttrDim, kAttrDim);
    EXPECT_EQ(d.PreviewAttr(0, 0) & kAttrReverse, kAttrReverse);
    // A separator over a character shows it reversed: column 1 begins where column 0 ends.
    EXPECT_EQ(d.PreviewAttr(9, 0) & kAttrReverse, kAttrReverse);
    EXPECT_EQ(d.PreviewAttr(8, 0) & kAttrReverse, 0);
}

TEST(TerminalDialogHost, AFixedWidthPreviewHasARulerAndTheBreaks) {
    ImportDialog d("0123456789abcdefghijklmnopqrstuvwxyz\nshort\n");
    d.host.SetFocus(IDC_FIXED_WIDTH);
    d.host.HandleKey(Char(U' '));
    d.host.SetFocus(IDC_BREAKS);
    for (char32_t ch : std::u32string(U"24, 10 10"))
        d.host.HandleKey(Char(ch));
    const std::vector<std::string> lines = d.PreviewLines();
    ASSERT_GE(lines.size(), 3u);
    // The ruler counts positions from 0; the label 10 stands where the break at 10 is drawn.
    EXPECT_EQ(
        lines[0].rfind("   0\u00B7\u00B7\u00B7\u00B7+\u00B7\u00B7\u00B710\u00B7\u00B7\u00B7\u00B7+"
                       "\u00B7\u00B7\u00B720",
                       0),
        0u)
        << lines[0];
    EXPECT_EQ(lines[1], " 1 0123456789abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(lines[2], " 2 short     \u2502             \u2502");
    EXPECT_EQ(d.PreviewAttr(3 + 10, 1) & kAttrReverse, kAttrReverse);
    EXPECT_EQ(d.PreviewAttr(3 + 24, 1) & kAttrReverse, kAttrReverse);
    EXPECT_EQ(d.PreviewAttr(3 + 11, 1) & kAttrReverse, 0);
    // The ruler is underlined: its baseline sets it off from the data.
    EXPECT_EQ(d.PreviewAttr(3 + 5, 0) & kAttrUnderline, kAttrUnderline);
}

TEST(TerminalDialogHost, TheExportDialogKeepsItsChoicesInItsItems) {
    TerminalDialogHost host(BuiltInDialogTemplate(kExportDialogTemplate));
    CDatExportDlg dialog(&host);
    host.dispatch = [&dialog](unsigned message, uintptr_t wParam) {
        intptr_t result = 0;
        dialog.ProcessWindowMessage(message, wParam, 0, result);
    };
    dialog.delimiterChar = ';';
    dialog.qualifierChar = '"';
    dialog.decimalChar = '.';
    dialog.showDecimalSymbol = true;
    intptr_t result = 0;
    dialog.ProcessWindowMessage(kWmInitDialog, 0, 0, result);
    EXPECT_EQ(host.NeededRows(), 14);  // cut off above the encoding group
    EXPECT_EQ(host.TabOrder(),
              (std::vector<int>{IDC_EXP_COMMA, IDC_EXP_TAB, IDC_EXP_SPACE, IDC_EXP_SEMICOLON,
                                IDC_EXP_PERIOD, IDC_EXP_DECIMAL_COMMA, IDC_EXP_QUALIFIER, kIdOk,
                                kIdCancel}));
    host.HandleKey(Char(U't', true));  // Tab, by its letter
    host.HandleKey(Char(U'q', true));  // the qualifier list, by its label's letter
    EXPECT_EQ(host.FocusedId(), IDC_EXP_QUALIFIER);
    host.HandleKey(Key(KeyEvent::Down));
    host.HandleKey(Key(KeyEvent::Down));
    host.HandleKey(Key(KeyEvent::Down));  // stays on the last entry
    host.HandleKey(Key(KeyEvent::Enter));
    EXPECT_EQ(host.Result(), kIdOk);
    EXPECT_EQ(dialog.delimiterChar, '\t');
    EXPECT_EQ(dialog.qualifierChar, '\0');
}

}  // namespace
}  // namespace dornel::test
