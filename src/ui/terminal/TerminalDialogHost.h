// A dialog in the terminal: its items placed in cells from the dialog template, their states,
// the focus and the keys, and the picture of it all.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/DialogHost.h"
#include "ui/PreviewCtl.h"
#include "ui/terminal/CellScreen.h"
#include "ui/terminal/DialogTemplate.h"
#include "ui/terminal/TerminalPreviewWindow.h"

namespace dornel {

/// One key, click or wheel turn, as the terminal reports it.
struct KeyEvent {
    enum Kind {
        Char,
        Tab,
        BackTab,
        Enter,
        Escape,
        Up,
        Down,
        Left,
        Right,
        PageUp,
        PageDown,
        Home,
        End,
        Backspace,
        Delete,
        Click,
        WheelUp,
        WheelDown,
    };
    Kind kind = Char;
    char32_t ch = 0;   ///< the character typed, for Char
    bool alt = false;  ///< Alt was held (or the key came after Escape)
    int col = 0;       ///< where a click or wheel turn happened, in screen cells
    int row = 0;
};

/// Dialog units in cells: a character is four dialog units wide and eight high, which is how
/// dialog units are defined from the dialog font's average character. Positions round to the
/// nearest cell.
CellRect DialogUnitsToCells(int x, int y, int width, int height);

/// The item with its text shown as the terminal shows it: the mnemonic's '&' taken out.
struct Label {
    std::u32string text;
    int mnemonicAt = -1;  ///< index of the underlined character, or -1
};
Label ParseLabel(const std::string& text);

/// The DialogHost of the terminal. Every operation of the dialogs' logic acts on the items'
/// states here, and what the user does reaches the logic through dispatch as the platform's
/// messages would, so the logic is the same as on Windows.
class TerminalDialogHost : public DialogHost {
  public:
    explicit TerminalDialogHost(const DialogTemplate& dialogTemplate);
    ~TerminalDialogHost() override;

    /// Hands a message (WM_COMMAND with its id and notification) to the dialog's logic.
    std::function<void(unsigned message, uintptr_t wParam)> dispatch;

    // DialogHost
    bool IsChecked(int id) override;
    void Check(int id, bool checked) override;
    void CheckRadio(int first, int last, int id) override;
    std::string GetText(int id, size_t max) override;
    void SetText(int id, const std::string& text) override;
    void SetUnsigned(int id, uint32_t value) override;
    bool GetUnsigned(int id, uint32_t& value) override;
    void Show(int id, bool shown) override;
    void Enable(int id, bool enabled) override;
    void ComboAdd(int id, const std::string& text) override;
    void ComboSelect(int id, int index) override;
    int ComboSelection(int id) override;
    PreviewCtl* QueryPreview(int id) override;
    void SetUpDownRange(int id, int32_t low, int32_t high) override;
    void AddContextHelpButton() override {}
    /// In cells of the dialog's inside; the frame is the line and column around it.
    Rect DialogRect() override;
    Rect ItemRect(int id) override;
    int32_t DialogFrameHeight() override { return 1; }
    void SetDialogHeight(int32_t height) override;
    void AppendFilenameToTitle(const brisko::RString& path) override;
    void CenterOnParent() override {}
    void EndDialog(int result) override;

    // Layout
    /// The screen the dialog needs, frame included.
    int NeededColumns() const { return contentWidth_ + 2; }
    int NeededRows() const { return contentHeight_ + 2; }
    /// Centres the dialog on a screen of that size; a smaller screen gets a note instead.
    void Place(int screenColumns, int screenRows);
    bool Fits() const { return fits_; }
    /// An item's cells, on the screen.
    CellRect ItemCells(int id) const;

    // Keys
    void HandleKey(const KeyEvent& key);
    /// The id of the focused item, or 0.
    int FocusedId() const;
    void SetFocus(int id);
    /// The focusable items in tab order: shown, enabled, and not a label, group or up-down.
    std::vector<int> TabOrder() const;
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // Drawing
    void Draw(CellScreen& screen);
    /// Where the terminal's cursor goes: the caret of the focused edit; col -1 hides it.
    void CursorCell(int& col, int& row) const;
    const std::string& Title() const { return title_; }

  private:
    struct State {
        bool checked = false;
        bool shown = true;
        bool enabled = true;
        std::string text;
        Label label;
        std::vector<std::string> entries;
        int selection = -1;
        size_t caret = 0;  ///< in characters
        int32_t low = 0, high = 0;
        std::unique_ptr<TerminalPreviewWindow> window;
        std::unique_ptr<PreviewCtl> grid;
    };
    enum class Kind { Group, Check, Radio, Push, Label, Edit, Combo, Preview, UpDown, Other };

    int Index(int id) const;
    Kind KindOf(size_t index) const;
    bool Focusable(size_t index) const;
    void Notify(int id, unsigned code);
    void MoveFocus(int step);
    void Click(size_t index);
    void PickRadio(size_t index);
    void StepRadio(size_t index, int step);
    void StepUpDown(size_t editIndex, int step);
    void StepCombo(size_t index, int step);
    bool Mnemonic(char32_t ch);
    void EditKey(size_t index, const KeyEvent& key);
    void PreviewKey(size_t index, const KeyEvent& key);
    void ClickAt(int col, int row, bool wheel, int wheelStep);
    /// The up-down control attached to an edit (the item after it), or -1.
    int UpDownOf(size_t editIndex) const;
    int TextLimit(size_t index) const;
    void LayOutPreviews();
    void DrawItem(CellScreen& screen, size_t index);
    void DrawPreview(CellScreen& screen, size_t index);
    void DrawNote(CellScreen& screen, int columns, int rows);

    const DialogTemplate& template_;
    std::vector<State> states_;
    std::vector<CellRect> cells_;  ///< each item's cells inside the dialog
    std::string title_;
    int contentWidth_ = 0;
    int contentHeight_ = 0;
    int originCol_ = 1;
    int originRow_ = 1;
    int screenColumns_ = 0;
    int screenRows_ = 0;
    bool fits_ = true;
    int focus_ = -1;  ///< index of the focused item
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace dornel
