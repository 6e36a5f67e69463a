// The terminal dialog's items: their cells from the template, and the dialog operations of the
// logic on their states.
#include "ui/terminal/TerminalDialogHost.h"

#include <algorithm>

#include "host/brisko/File.h"

namespace dornel {

namespace {

int RoundDiv(int value, int divisor) {
    return (value * 2 + divisor) / (divisor * 2);
}

}  // namespace

CellRect DialogUnitsToCells(int x, int y, int width, int height) {
    CellRect r;
    r.left = RoundDiv(x, 4);
    r.top = RoundDiv(y, 8);
    r.right = std::max(r.left + 1, RoundDiv(x + width, 4));
    r.bottom = std::max(r.top + 1, RoundDiv(y + height, 8));
    return r;
}

Label ParseLabel(const std::string& text) {
    Label label;
    const std::u32string chars = Utf8ToChars(text);
    for (size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] == U'&' && i + 1 < chars.size()) {
            ++i;
            // "&&" is an ampersand itself; the first single '&' marks the mnemonic.
            if (chars[i] != U'&' && label.mnemonicAt < 0)
                label.mnemonicAt = static_cast<int>(label.text.size());
        }
        label.text += chars[i];
    }
    return label;
}

TerminalDialogHost::TerminalDialogHost(const DialogTemplate& t)
    : template_(t), states_(t.items.size()), title_(t.caption) {
    contentWidth_ = RoundDiv(t.width, 4);
    contentHeight_ = RoundDiv(t.height, 8);
    for (size_t i = 0; i < t.items.size(); ++i) {
        const DialogItem& item = t.items[i];
        cells_.push_back(DialogUnitsToCells(item.x, item.y, item.width, item.height));
        states_[i].text = item.text;
        states_[i].label = ParseLabel(item.text);
    }
    for (size_t i = 0; i < t.items.size(); ++i) {
        const Kind kind = KindOf(i);
        if (kind == Kind::Preview) {
            states_[i].window = std::make_unique<TerminalPreviewWindow>();
            states_[i].grid = std::make_unique<PreviewCtl>(states_[i].window.get());
            states_[i].window->Attach(states_[i].grid.get());
        }
        // A label that would run past the dialog's right edge, with nothing beside it, widens
        // the dialog: dialog units fit a proportional font, where texts are narrower.
        if (kind != Kind::Check && kind != Kind::Radio && kind != Kind::Label)
            continue;
        const CellRect& r = cells_[i];
        bool free = true;
        for (size_t j = 0; j < cells_.size() && free; ++j)
            free = j == i || cells_[j].left <= r.left || r.top < cells_[j].top ||
                   r.top > cells_[j].bottom;
        const int prefix = kind == Kind::Label ? 0 : 4;
        if (free)
            contentWidth_ = std::max(
                contentWidth_, r.left + prefix + static_cast<int>(states_[i].label.text.size()));
    }
    LayOutPreviews();
}

TerminalDialogHost::~TerminalDialogHost() {
    // Each grid goes before its window, as a window's object goes before the window.
    for (State& s : states_)
        s.grid.reset();
}

int TerminalDialogHost::Index(int id) const {
    for (size_t i = 0; i < template_.items.size(); ++i)
        if (template_.items[i].id == id)
            return static_cast<int>(i);
    return -1;
}

TerminalDialogHost::Kind TerminalDialogHost::KindOf(size_t index) const {
    const DialogItem& item = template_.items[index];
    if (item.className == "BUTTON") {
        switch (item.style & kButtonTypeMask) {
            case kButtonGroupBox:
                return Kind::Group;
            case kButtonAutoCheck:
                return Kind::Check;
            case kButtonAutoRadio:
                return Kind::Radio;
            default:
                return Kind::Push;
        }
    }
    if (item.className == "STATIC")
        return Kind::Label;
    if (item.className == "EDIT")
        return Kind::Edit;
    if (item.className == "COMBOBOX")
        return Kind::Combo;
    if (item.className == "WQDatPreview")
        return Kind::Preview;
    if (item.className == "msctls_updown32")
        return Kind::UpDown;
    return Kind::Other;
}

void TerminalDialogHost::Notify(int id, unsigned code) {
    if (dispatch)
        dispatch(kWmCommand, static_cast<uintptr_t>(static_cast<uint16_t>(id)) |
                                 (static_cast<uintptr_t>(code) << 16));
}

bool TerminalDialogHost::IsChecked(int id) {
    const int i = Index(id);
    return i >= 0 && states_[i].checked;
}

void TerminalDialogHost::Check(int id, bool checked) {
    const int i = Index(id);
    if (i >= 0)
        states_[i].checked = checked;
}

void TerminalDialogHost::CheckRadio(int first, int last, int id) {
    for (size_t i = 0; i < template_.items.size(); ++i) {
        const int itemId = template_.items[i].id;
        if (itemId >= first && itemId <= last)
            states_[i].checked = itemId == id;
    }
}

std::string TerminalDialogHost::GetText(int id, size_t max) {
    const int i = Index(id);
    if (i < 0 || max == 0)
        return {};
    return states_[i].text.substr(0, max - 1);
}

void TerminalDialogHost::SetText(int id, const std::string& text) {
    const int i = Index(id);
    if (i < 0)
        return;
    states_[i].text = text;
    states_[i].label = ParseLabel(text);
    states_[i].caret = Utf8ToChars(text).size();
    // As on the platform, only an edit tells of its new text.
    if (KindOf(static_cast<size_t>(i)) == Kind::Edit)
        Notify(id, kEnChange);
}

void TerminalDialogHost::SetUnsigned(int id, uint32_t value) {
    SetText(id, std::to_string(value));
}

bool TerminalDialogHost::GetUnsigned(int id, uint32_t& value) {
    const std::string text = GetText(id, 260);
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos)
        return false;
    uint64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(text[i] - '0');
        if (number > UINT32_MAX)
            return false;
    }
    value = static_cast<uint32_t>(number);
    return true;
}

void TerminalDialogHost::Show(int id, bool shown) {
    const int i = Index(id);
    if (i >= 0)
        states_[i].shown = shown;
}

void TerminalDialogHost::Enable(int id, bool enabled) {
    const int i = Index(id);
    if (i >= 0)
        states_[i].enabled = enabled;
}

void TerminalDialogHost::ComboAdd(int id, const std::string& text) {
    const int i = Index(id);
    if (i >= 0)
        states_[i].entries.push_back(text);
}

void TerminalDialogHost::ComboSelect(int id, int index) {
    const int i = Index(id);
    if (i >= 0)
        states_[i].selection =
            index >= 0 && index < static_cast<int>(states_[i].entries.size()) ? index : -1;
}

int TerminalDialogHost::ComboSelection(int id) {
    const int i = Index(id);
    return i >= 0 ? states_[i].selection : -1;
}

PreviewCtl* TerminalDialogHost::QueryPreview(int id) {
    const int i = Index(id);
    return i >= 0 ? states_[i].grid.get() : nullptr;
}

void TerminalDialogHost::SetUpDownRange(int id, int32_t low, int32_t high) {
    const int i = Index(id);
    if (i >= 0) {
        states_[i].low = low;
        states_[i].high = high;
    }
}

Rect TerminalDialogHost::DialogRect() {
    return Rect{-1, -1, contentWidth_ + 1, contentHeight_ + 1};
}

Rect TerminalDialogHost::ItemRect(int id) {
    const int i = Index(id);
    if (i < 0)
        return Rect{};
    const CellRect& r = cells_[i];
    return Rect{r.left, r.top, r.right, r.bottom};
}

void TerminalDialogHost::SetDialogHeight(int32_t height) {
    // The height counts both frame lines and the line the platform keeps one pixel of: cut
    // off at a group, the inside ends just above the group's top edge.
    contentHeight_ = std::max(0, height - 3);
}

void TerminalDialogHost::AppendFilenameToTitle(const brisko::RString& path) {
    title_ += " - " + brisko::CPath(path).GetNameAndExtension().str();
}

void TerminalDialogHost::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

void TerminalDialogHost::Place(int screenColumns, int screenRows) {
    screenColumns_ = screenColumns;
    screenRows_ = screenRows;
    fits_ = screenColumns >= NeededColumns() && screenRows >= NeededRows();
    originCol_ = std::max(0, (screenColumns - NeededColumns()) / 2) + 1;
    originRow_ = std::max(0, (screenRows - NeededRows()) / 2) + 1;
}

CellRect TerminalDialogHost::ItemCells(int id) const {
    const int i = Index(id);
    if (i < 0)
        return CellRect{};
    CellRect r = cells_[i];
    r.left += originCol_;
    r.right += originCol_;
    r.top += originRow_;
    r.bottom += originRow_;
    return r;
}

void TerminalDialogHost::LayOutPreviews() {
    for (size_t i = 0; i < states_.size(); ++i) {
        if (!states_[i].grid)
            continue;
        // The last column and line carry the scroll bars.
        const CellRect& r = cells_[i];
        states_[i].window->SetClientCells(r.Width() - 1, r.Height() - 1);
        states_[i].grid->UpdateScrollBars();
    }
}

}  // namespace dornel
