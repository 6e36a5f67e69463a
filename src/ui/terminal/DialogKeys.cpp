// The keys and clicks of the terminal dialog: focus in template order, and each item's answer
// to what the user does, reaching the logic as the platform's notifications would.
#include <algorithm>

#include "ui/terminal/TerminalDialogHost.h"

namespace dornel {

namespace {

constexpr unsigned kBnClicked = 0;

char32_t Lower(char32_t ch) {
    return ch >= U'A' && ch <= U'Z' ? ch - U'A' + U'a' : ch;
}

}  // namespace

bool TerminalDialogHost::Focusable(size_t index) const {
    const Kind kind = KindOf(index);
    if (kind == Kind::Group || kind == Kind::Label || kind == Kind::UpDown || kind == Kind::Other)
        return false;
    const State& s = states_[index];
    // An item cut off with the bottom of the dialog is out of reach, as on the platform.
    return s.shown && s.enabled && cells_[index].top < contentHeight_;
}

std::vector<int> TerminalDialogHost::TabOrder() const {
    std::vector<int> ids;
    for (size_t i = 0; i < states_.size(); ++i)
        if (Focusable(i))
            ids.push_back(template_.items[i].id);
    return ids;
}

int TerminalDialogHost::FocusedId() const {
    if (focus_ >= 0 && Focusable(static_cast<size_t>(focus_)))
        return template_.items[focus_].id;
    const std::vector<int> order = TabOrder();
    return order.empty() ? 0 : order.front();
}

void TerminalDialogHost::SetFocus(int id) {
    focus_ = Index(id);
}

void TerminalDialogHost::MoveFocus(int step) {
    const std::vector<int> order = TabOrder();
    if (order.empty())
        return;
    const auto at = std::find(order.begin(), order.end(), FocusedId());
    const int n = static_cast<int>(order.size());
    const int from = at == order.end() ? 0 : static_cast<int>(at - order.begin());
    SetFocus(order[static_cast<size_t>(((from + step) % n + n) % n)]);
}

void TerminalDialogHost::PickRadio(size_t index) {
    // The automatic radio group: from the radio that starts it to the next that starts one.
    size_t first = index;
    while (first > 0 && !(template_.items[first].style & kStyleGroup) &&
           KindOf(first - 1) == Kind::Radio)
        --first;
    for (size_t i = first; i < states_.size() && KindOf(i) == Kind::Radio; ++i) {
        if (i > first && (template_.items[i].style & kStyleGroup))
            break;
        states_[i].checked = i == index;
    }
    Notify(template_.items[index].id, kBnClicked);
}

void TerminalDialogHost::StepRadio(size_t index, int step) {
    // Arrows move within the radio group and pick the radio they reach, as on the platform.
    const int next = static_cast<int>(index) + step;
    if (next < 0 || next >= static_cast<int>(states_.size()) ||
        KindOf(static_cast<size_t>(next)) != Kind::Radio || !Focusable(static_cast<size_t>(next)))
        return;
    const size_t later = static_cast<size_t>(std::max(next, static_cast<int>(index)));
    if (template_.items[later].style & kStyleGroup)
        return;
    focus_ = next;
    PickRadio(static_cast<size_t>(next));
}

void TerminalDialogHost::Click(size_t index) {
    const int id = template_.items[index].id;
    switch (KindOf(index)) {
        case Kind::Check:
            states_[index].checked = !states_[index].checked;
            Notify(id, kBnClicked);
            break;
        case Kind::Radio:
            PickRadio(index);
            break;
        case Kind::Push:
            Notify(id, kBnClicked);
            break;
        default:
            break;
    }
}

int TerminalDialogHost::UpDownOf(size_t editIndex) const {
    const size_t next = editIndex + 1;
    if (next < states_.size() && KindOf(next) == Kind::UpDown && states_[next].shown)
        return static_cast<int>(next);
    return -1;
}

void TerminalDialogHost::StepUpDown(size_t editIndex, int step) {
    const int spin = UpDownOf(editIndex);
    if (spin < 0)
        return;
    const State& range = states_[static_cast<size_t>(spin)];
    uint32_t value = 0;
    const int id = template_.items[editIndex].id;
    int64_t now = GetUnsigned(id, value) ? value : range.low;
    now = std::clamp<int64_t>(now + step, range.low, range.high);
    // The new number goes into the edit, whose handler takes it as if typed.
    SetUnsigned(id, static_cast<uint32_t>(now));
}

void TerminalDialogHost::StepCombo(size_t index, int step) {
    State& s = states_[index];
    if (s.entries.empty())
        return;
    const int last = static_cast<int>(s.entries.size()) - 1;
    const int next = std::clamp(s.selection + step, 0, last);
    if (next == s.selection)
        return;
    s.selection = next;
    Notify(template_.items[index].id, kCbnSelChange);
}

bool TerminalDialogHost::Mnemonic(char32_t ch) {
    for (size_t i = 0; i < states_.size(); ++i) {
        const Label& label = states_[i].label;
        if (label.mnemonicAt < 0 || Lower(label.text[label.mnemonicAt]) != Lower(ch))
            continue;
        if (!states_[i].shown || !states_[i].enabled || cells_[i].top >= contentHeight_)
            continue;
        if (KindOf(i) == Kind::Label || KindOf(i) == Kind::Group) {
            // A label's letter goes to the item it names: the next one that takes the focus.
            for (size_t j = i + 1; j < states_.size(); ++j) {
                if (Focusable(j)) {
                    focus_ = static_cast<int>(j);
                    return true;
                }
            }
            return false;
        }
        focus_ = static_cast<int>(i);
        Click(i);
        return true;
    }
    return false;
}

void TerminalDialogHost::EditKey(size_t index, const KeyEvent& key) {
    State& s = states_[index];
    std::u32string chars = Utf8ToChars(s.text);
    s.caret = std::min(s.caret, chars.size());
    bool changed = false;
    switch (key.kind) {
        case KeyEvent::Char:
            chars.insert(chars.begin() + static_cast<ptrdiff_t>(s.caret), key.ch);
            ++s.caret;
            changed = true;
            break;
        case KeyEvent::Backspace:
            if (s.caret > 0) {
                chars.erase(--s.caret, 1);
                changed = true;
            }
            break;
        case KeyEvent::Delete:
            if (s.caret < chars.size()) {
                chars.erase(s.caret, 1);
                changed = true;
            }
            break;
        case KeyEvent::Left:
            s.caret = s.caret > 0 ? s.caret - 1 : 0;
            break;
        case KeyEvent::Right:
            s.caret = std::min(s.caret + 1, chars.size());
            break;
        case KeyEvent::Home:
            s.caret = 0;
            break;
        case KeyEvent::End:
            s.caret = chars.size();
            break;
        default:
            break;
    }
    if (!changed)
        return;
    // The edit holds at most 259 bytes, as its platform buffer does.
    std::string text = CharsToUtf8(chars);
    if (text.size() > 259)
        return;
    const size_t caret = s.caret;
    s.text = text;
    Notify(template_.items[index].id, kEnChange);
    s.caret = caret;
}

void TerminalDialogHost::PreviewKey(size_t index, const KeyEvent& key) {
    PreviewCtl& grid = *states_[index].grid;
    // The same steps as the scroll bars' arrows, pages and ends.
    switch (key.kind) {
        case KeyEvent::Up:
            grid.Scroll(SB_VERTICAL, SCROLL_LINE_BACK);
            break;
        case KeyEvent::Down:
            grid.Scroll(SB_VERTICAL, SCROLL_LINE_ON);
            break;
        case KeyEvent::Left:
            grid.Scroll(SB_HORIZONTAL, SCROLL_LINE_BACK);
            break;
        case KeyEvent::Right:
            grid.Scroll(SB_HORIZONTAL, SCROLL_LINE_ON);
            break;
        case KeyEvent::PageUp:
            grid.Scroll(SB_VERTICAL, SCROLL_PAGE_BACK);
            break;
        case KeyEvent::PageDown:
            grid.Scroll(SB_VERTICAL, SCROLL_PAGE_ON);
            break;
        case KeyEvent::Home:
            grid.Scroll(SB_HORIZONTAL, SCROLL_START);
            break;
        case KeyEvent::End:
            grid.Scroll(SB_HORIZONTAL, SCROLL_END);
            break;
        default:
            break;
    }
}

void TerminalDialogHost::HandleKey(const KeyEvent& key) {
    if (key.kind == KeyEvent::Escape) {
        Notify(kIdCancel, kBnClicked);
        return;
    }
    if (key.kind == KeyEvent::Click || key.kind == KeyEvent::WheelUp ||
        key.kind == KeyEvent::WheelDown) {
        if (fits_)
            ClickAt(key.col, key.row, key.kind != KeyEvent::Click,
                    key.kind == KeyEvent::WheelUp ? -1 : 1);
        return;
    }
    if (!fits_)
        return;
    const int focusedId = FocusedId();
    const int index = Index(focusedId);
    if (index < 0)
        return;
    const size_t i = static_cast<size_t>(index);
    focus_ = index;
    const Kind kind = KindOf(i);
    if (key.kind == KeyEvent::Tab || key.kind == KeyEvent::BackTab) {
        MoveFocus(key.kind == KeyEvent::Tab ? 1 : -1);
        return;
    }
    if (key.kind == KeyEvent::Enter) {
        // Enter presses the focused button, else the default one.
        if (kind == Kind::Push) {
            Click(i);
            return;
        }
        for (size_t j = 0; j < states_.size(); ++j)
            if (KindOf(j) == Kind::Push &&
                (template_.items[j].style & kButtonTypeMask) == kButtonDefPush)
                Notify(template_.items[j].id, kBnClicked);
        return;
    }
    if (key.kind == KeyEvent::Char && key.alt) {
        Mnemonic(key.ch);
        return;
    }
    switch (kind) {
        case Kind::Edit:
            if (key.kind == KeyEvent::Up || key.kind == KeyEvent::Down)
                StepUpDown(i, key.kind == KeyEvent::Up ? 1 : -1);
            else
                EditKey(i, key);
            return;
        case Kind::Preview:
            PreviewKey(i, key);
            return;
        case Kind::Combo:
            if (key.kind == KeyEvent::Up || key.kind == KeyEvent::Left)
                StepCombo(i, -1);
            else if (key.kind == KeyEvent::Down || key.kind == KeyEvent::Right ||
                     (key.kind == KeyEvent::Char && key.ch == U' '))
                StepCombo(i, 1);
            else if (key.kind == KeyEvent::Home)
                StepCombo(i, -static_cast<int>(states_[i].entries.size()));
            else if (key.kind == KeyEvent::End)
                StepCombo(i, static_cast<int>(states_[i].entries.size()));
            else if (key.kind == KeyEvent::Char)
                Mnemonic(key.ch);
            return;
        case Kind::Radio:
            if (key.kind == KeyEvent::Up || key.kind == KeyEvent::Left) {
                StepRadio(i, -1);
                return;
            }
            if (key.kind == KeyEvent::Down || key.kind == KeyEvent::Right) {
                StepRadio(i, 1);
                return;
            }
            break;
        default:
            break;
    }
    if (key.kind == KeyEvent::Char && key.ch == U' ')
        Click(i);
    else if (key.kind == KeyEvent::Char)
        Mnemonic(key.ch);  // where typing has no text to go to, a letter is its mnemonic
    else if (key.kind == KeyEvent::Up || key.kind == KeyEvent::Left)
        MoveFocus(-1);
    else if (key.kind == KeyEvent::Down || key.kind == KeyEvent::Right)
        MoveFocus(1);
}

void TerminalDialogHost::ClickAt(int col, int row, bool wheel, int wheelStep) {
    const int c = col - originCol_, r = row - originRow_;
    // The last item drawn at a cell is the one seen there.
    for (size_t n = states_.size(); n-- > 0;) {
        const CellRect& cells = cells_[n];
        const Kind kind = KindOf(n);
        if (!cells.Contains(c, r) || r >= contentHeight_ || !states_[n].shown ||
            !states_[n].enabled || kind == Kind::Group || kind == Kind::Label)
            continue;
        if (kind == Kind::UpDown) {
            // The upper arrow steps up, the lower one down; both sit in the right two cells.
            if (n > 0 && KindOf(n - 1) == Kind::Edit) {
                focus_ = static_cast<int>(n - 1);
                StepUpDown(n - 1, c == cells.right - 2 ? 1 : -1);
            }
            return;
        }
        focus_ = static_cast<int>(n);
        if (kind == Kind::Preview) {
            PreviewCtl& grid = *states_[n].grid;
            if (wheel)
                grid.Scroll(SB_VERTICAL, wheelStep < 0 ? SCROLL_LINE_BACK : SCROLL_LINE_ON);
            else if (c == cells.right - 1 && r < cells.bottom - 1)
                grid.Scroll(SB_VERTICAL, r < cells.top + (cells.Height() - 1) / 2 ? SCROLL_PAGE_BACK
                                                                                  : SCROLL_PAGE_ON);
            else if (r == cells.bottom - 1 && c < cells.right - 1)
                grid.Scroll(SB_HORIZONTAL, c < cells.left + (cells.Width() - 1) / 2
                                               ? SCROLL_PAGE_BACK
                                               : SCROLL_PAGE_ON);
            return;
        }
        if (wheel)
            return;
        if (kind == Kind::Edit) {
            states_[n].caret = static_cast<size_t>(std::max(0, c - cells.left));
        } else if (kind == Kind::Combo) {
            StepCombo(n, states_[n].selection + 1 >= static_cast<int>(states_[n].entries.size())
                             ? -states_[n].selection
                             : 1);
        } else {
            Click(n);
        }
        return;
    }
}

}  // namespace dornel
