// The options dialogs run modally through the real RunImportDialog and RunExportDialog and are
// driven by window messages, as a user would drive them. Needs a display (run under Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "export/DatExportFilter.h"
#include "import/DatImportFilter.h"
#include "support/TestSupport.h"
#include "ui/DialogTexts.h"
#include "ui/PreviewCtl.h"

namespace dornel::test {
namespace {

/// What to do once the dialog is up; it runs inside the dialog's own message loop.
std::function<void(HWND)> script;

void CALLBACK RunScript(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowA("#32770", nullptr);
    if (!dialog)
        return;
    KillTimer(nullptr, timer);
    auto steps = std::move(script);
    script = nullptr;
    if (steps)
        steps(dialog);
}

/// Runs body (which opens a modal dialog) with the script acting on the dialog once it shows.
template <class Body>
auto WithDialog(std::function<void(HWND)> steps, Body body) {
    script = std::move(steps);
    SetTimer(nullptr, 0, 50, RunScript);
    return body();
}

void Click(HWND dialog, int id) {
    SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Pick(HWND dialog, int id, int index) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::string Caption(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct ImportOnFile {
    ImportOnFile() : filter(manager, KIND_TXT) {
        path = dir.Write("data.txt", "head\nx;1,5;y\nz;2;w\n");
        filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
            RString(path), "r", 3, 0, 0, false, false);
    }
    TempDir dir;
    RecordingManager manager;
    DatImportFilter filter;
    std::string path;
};

TEST(ImportDialogUnderWine, UserChoicesReachTheFilterTheStoreAndThePreview) {
    ImportOnFile t;
    t.filter.delimiters = RString(",");
    std::string caption, label;
    int rows = 0, columns = 0, height = 0, firstRow = 0;
    std::u16string cell;
    const bool ok = WithDialog(
        [&](HWND d) {
            caption = Caption(d);
            Click(d, IDC_SEMICOLON);      // on
            Click(d, IDC_COMMA);          // off
            Click(d, IDC_COMMA_DECIMAL);  // on
            SetDlgItemTextA(d, IDC_START_ROW, "2");
            auto* grid = reinterpret_cast<PreviewCtl*>(
                SendDlgItemMessageA(d, IDC_PREVIEW, kPreviewGetObject, 0, 0));
            rows = grid->rowCount;
            columns = grid->columnCount;
            cell = grid->CellText(0, 1);
            firstRow = grid->firstRowNumber;
            char text[300] = {};
            GetDlgItemTextA(d, IDC_PREVIEW_LABEL, text, sizeof text);
            label = text;
            RECT r{};
            GetWindowRect(d, &r);
            height = r.bottom - r.top;
            Click(d, 1);
        },
        [&] { return t.filter.RunImportDialog(0, 0); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(caption, "Data Import Options - data.txt");
    EXPECT_EQ(label, "Preview of " + t.path + ":");
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(cell, u"1.5");
    EXPECT_EQ(firstRow, 2);
    EXPECT_GT(height, 100);
    EXPECT_LT(height, 330);  // cut off above the Encoding group
    EXPECT_EQ(t.filter.startRow, 1);
    EXPECT_EQ(t.filter.delimiters.str(), ";");
    EXPECT_EQ(t.filter.decimalSymbol.str(), ",");
    const auto& w = t.manager.writes;
    EXPECT_NE(std::find(w.begin(), w.end(), "StartRow=1"), w.end());
    EXPECT_NE(std::find(w.begin(), w.end(), "Delimiter=;"), w.end());
}

TEST(ImportDialogUnderWine, CancelSavesNothingAndHelpShowsTheTopic) {
    ImportOnFile t;
    const bool ok = WithDialog(
        [&](HWND d) {
            SendMessageA(d, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
            Click(d, IDC_FIXED_WIDTH);
            SetDlgItemTextA(d, IDC_BREAKS, "2, 4");
            auto* grid = reinterpret_cast<PreviewCtl*>(
                SendDlgItemMessageA(d, IDC_PREVIEW, kPreviewGetObject, 0, 0));
            EXPECT_TRUE(grid->showRuler);
            EXPECT_EQ(grid->breaks, (std::vector<int32_t>{2, 4}));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_TAB)));
            Click(d, 2);
        },
        [&] { return t.filter.RunImportDialog(0, 0); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(t.manager.writes.empty());
    EXPECT_EQ(t.manager.events, (std::vector<std::string>{"help dat-Import.htm"}));
}

TEST(ExportDialogUnderWine, TheSameSymbolWarningThenOk) {
    TempDir dir;
    RecordingManager manager;
    manager.warningAnswer = 7;
    DatExportFilter filter(manager, KIND_TXT);
    int warningsBeforeYes = -1;
    const bool ok = WithDialog(
        [&](HWND d) {
            Click(d, IDC_EXP_COMMA);
            Click(d, IDC_EXP_DECIMAL_COMMA);
            Pick(d, IDC_EXP_QUALIFIER, 1);
            Click(d, 1);  // answered No: the dialog stays
            warningsBeforeYes = static_cast<int>(manager.events.size());
            manager.warningAnswer = 6;
            Click(d, 1);
        },
        [&] { return filter.RunExportDialog(RString(dir.Path("out.txt"))); });
    EXPECT_TRUE(ok);
    EXPECT_EQ(warningsBeforeYes, 1);
    EXPECT_EQ(filter.delimiterOption.str(), ",");
    EXPECT_EQ(filter.decimalOption.str(), ",");
    EXPECT_EQ(filter.qualifierOption.str(), "'");
    const auto& w = manager.writes;
    EXPECT_NE(std::find(w.begin(), w.end(), "DecimalSymbol=,"), w.end());
}

TEST(ExportDialogUnderWine, CancelEndsTheExportBeforeAnythingIsOpened) {
    TempDir dir;
    RecordingManager manager;
    DatExportFilter filter(manager, KIND_DAT);
    const std::string path = dir.Path("out.dat");
    const int status = WithDialog([&](HWND d) { Click(d, 2); },
                                  [&] { return filter.BeginExport(RString(path), true); });
    EXPECT_EQ(status, qorvix::EXPORT_CANCELLED);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace dornel::test
