// The picture of a terminal dialog: its frame and title, each item as the terminal shows it,
// and the preview painted by its own grid.
#include <algorithm>
#include <string>

#include "ui/terminal/TerminalDialogHost.h"
#include "ui/terminal/TerminalPainter.h"

namespace dornel {

namespace {

constexpr char32_t kHorizontal = U'\u2500', kVertical = U'\u2502';
constexpr char32_t kTopLeft = U'\u250C', kTopRight = U'\u2510';
constexpr char32_t kBottomLeft = U'\u2514', kBottomRight = U'\u2518';
constexpr char32_t kEllipsis = U'\u2026';
constexpr char32_t kShade = U'\u2591', kThumb = U'\u2588';

void Frame(CellScreen& screen, int left, int top, int right, int bottom, uint8_t attr) {
    for (int c = left + 1; c < right; ++c) {
        screen.Put(c, top, kHorizontal, attr);
        screen.Put(c, bottom, kHorizontal, attr);
    }
    for (int r = top + 1; r < bottom; ++r) {
        screen.Put(left, r, kVertical, attr);
        screen.Put(right, r, kVertical, attr);
    }
    screen.Put(left, top, kTopLeft, attr);
    screen.Put(right, top, kTopRight, attr);
    screen.Put(left, bottom, kBottomLeft, attr);
    screen.Put(right, bottom, kBottomRight, attr);
}

/// A label cut to a width: first without a part in parentheses, which explains and can go,
/// then cut short with an ellipsis.
Label Fit(Label label, int width) {
    if (width <= 0)
        return Label{};
    if (static_cast<int>(label.text.size()) <= width)
        return label;
    const size_t open = label.text.find(U" (");
    const size_t close = label.text.find(U')', open == std::u32string::npos ? 0 : open);
    if (open != std::u32string::npos && close != std::u32string::npos &&
        (label.mnemonicAt < 0 || static_cast<size_t>(label.mnemonicAt) < open)) {
        label.text.erase(open, close + 1 - open);
        return Fit(label, width);
    }
    label.text.resize(static_cast<size_t>(width - 1));
    label.text += kEllipsis;
    if (label.mnemonicAt >= width - 1)
        label.mnemonicAt = -1;
    return label;
}

void PutLabel(CellScreen& screen, int col, int row, const Label& label, uint8_t attr, int limit) {
    for (size_t k = 0; k < label.text.size() && col < limit; ++k, ++col)
        screen.Put(col, row, label.text[k],
                   attr | (static_cast<int>(k) == label.mnemonicAt ? kAttrUnderline : 0));
}

}  // namespace

int TerminalDialogHost::TextLimit(size_t index) const {
    // A text runs on past its item, which was measured for a narrower font, up to the next
    // item beside it or the border of the group around it.
    const CellRect& r = cells_[index];
    int limit = contentWidth_;
    for (size_t j = 0; j < cells_.size(); ++j) {
        if (j == index || !states_[j].shown)
            continue;
        const CellRect& o = cells_[j];
        if (r.top < o.top || r.top > o.bottom)
            continue;
        if (KindOf(j) == Kind::Group && o.left < r.left && r.left < o.right)
            limit = std::min(limit, o.right);
        else if (o.left > r.left && KindOf(j) != Kind::UpDown)
            limit = std::min(limit, o.left);
    }
    return limit;
}

void TerminalDialogHost::Draw(CellScreen& screen) {
    if (!fits_) {
        DrawNote(screen, screen.Width(), screen.Height());
        return;
    }
    const int left = originCol_ - 1, top = originRow_ - 1;
    const int right = originCol_ + contentWidth_, bottom = originRow_ + contentHeight_;
    for (int r = top; r <= bottom; ++r)
        for (int c = left; c <= right; ++c)
            screen.Put(c, r, U' ', kAttrNone);
    Frame(screen, left, top, right, bottom, kAttrNone);
    const std::u32string title = U" " + Utf8ToChars(title_) + U" ";
    const int width = contentWidth_;
    const std::u32string shown =
        static_cast<int>(title.size()) <= width ? title : title.substr(0, std::max(width, 0));
    screen.PutText(originCol_ + (width - static_cast<int>(shown.size())) / 2, top, shown, kAttrBold,
                   right);
    if (focus_ < 0 || !Focusable(static_cast<size_t>(focus_)))
        focus_ = Index(FocusedId());
    for (size_t i = 0; i < states_.size(); ++i)
        if (states_[i].shown && cells_[i].top < contentHeight_)
            DrawItem(screen, i);
}

void TerminalDialogHost::DrawItem(CellScreen& screen, size_t i) {
    const State& s = states_[i];
    const CellRect& r = cells_[i];
    const int col = originCol_ + r.left, row = originRow_ + r.top;
    const int limit = originCol_ + TextLimit(i);
    const bool focused = static_cast<int>(i) == focus_;
    const uint8_t dim = s.enabled ? kAttrNone : kAttrDim;
    const uint8_t focus = focused ? kAttrReverse : kAttrNone;
    switch (KindOf(i)) {
        case Kind::Group: {
            const int bottom = std::min(originRow_ + r.bottom, originRow_ + contentHeight_);
            Frame(screen, col, row, originCol_ + r.right, bottom, dim);
            PutLabel(screen, col + 2, row, Fit(s.label, r.Width() - 3), dim,
                     originCol_ + r.right - 1);
            break;
        }
        case Kind::Check:
        case Kind::Radio: {
            const bool radio = KindOf(i) == Kind::Radio;
            std::u32string box = radio ? U"( ) " : U"[ ] ";
            if (s.checked)
                box[1] = radio ? U'*' : U'x';
            screen.PutText(col, row, box, dim, limit);
            PutLabel(screen, col + 4, row, Fit(s.label, limit - col - 4), dim | focus, limit);
            break;
        }
        case Kind::Push: {
            const Label label = Fit(s.label, r.Width() - 4);
            const int text = static_cast<int>(label.text.size());
            const int start = col + (r.Width() - text - 4) / 2;
            const bool def = (template_.items[i].style & kButtonTypeMask) == kButtonDefPush;
            screen.PutText(start, row, def ? U"< " : U"[ ", dim | focus, limit);
            PutLabel(screen, start + 2, row, label, dim | focus, limit);
            screen.PutText(start + 2 + text, row, def ? U" >" : U" ]", dim | focus, limit);
            break;
        }
        case Kind::Label: {
            // The label of the focused item stands out, since the item may show no cursor.
            const bool names = focus_ > static_cast<int>(i) && [&] {
                for (int j = static_cast<int>(i) + 1; j < focus_; ++j)
                    if (states_[j].shown && KindOf(static_cast<size_t>(j)) != Kind::UpDown)
                        return false;
                return true;
            }();
            // A label set right may run on to the left, into the dialog's margin.
            const bool right = template_.items[i].style & kStaticRight;
            const int from = right ? originCol_ : col;
            const Label label = Fit(s.label, (right ? originCol_ + r.right : limit) - from);
            int start = col;
            if (right)
                start = std::max(from, originCol_ + r.right - static_cast<int>(label.text.size()));
            PutLabel(screen, start, row, label, dim | (names ? kAttrBold : kAttrNone), limit);
            break;
        }
        case Kind::Edit: {
            const int spin = UpDownOf(i);
            const int end = spin >= 0 ? originCol_ + cells_[spin].right - 2 : originCol_ + r.right;
            const int width = std::max(end - col, 1);
            const std::u32string text = Utf8ToChars(s.text);
            const size_t caret = std::min(s.caret, text.size());
            // Scrolled sideways so that the caret stays in view.
            const size_t first = caret >= static_cast<size_t>(width) ? caret - width + 1 : 0;
            for (int c = 0; c < width; ++c) {
                const size_t k = first + static_cast<size_t>(c);
                // The field's free room is drawn, so that an empty edit shows where it is.
                screen.Put(col + c, row, k < text.size() ? text[k] : U'_',
                           dim | (focused ? kAttrBold : kAttrNone));
            }
            break;
        }
        case Kind::UpDown:
            screen.Put(originCol_ + r.right - 2, row, U'\u25B2', dim);
            screen.Put(originCol_ + r.right - 1, row, U'\u25BC', dim);
            break;
        case Kind::Combo: {
            const int width = r.Width();
            const std::u32string text =
                s.selection >= 0 ? Utf8ToChars(s.entries[static_cast<size_t>(s.selection)])
                                 : std::u32string();
            Label label{text, -1};
            label = Fit(label, width - 2);
            for (int c = 0; c < width - 1; ++c)
                screen.Put(col + c, row,
                           c < static_cast<int>(label.text.size()) ? label.text[c] : U' ',
                           dim | kAttrUnderline | focus);
            screen.Put(col + width - 1, row, U'\u25BC', dim | focus);
            break;
        }
        case Kind::Preview:
            DrawPreview(screen, i);
            break;
        case Kind::Other:
            break;
    }
}

void TerminalDialogHost::DrawPreview(CellScreen& screen, size_t i) {
    State& s = states_[i];
    const CellRect& r = cells_[i];
    CellRect client{originCol_ + r.left, originRow_ + r.top, originCol_ + r.right - 1,
                    originRow_ + std::min(r.bottom, contentHeight_) - 1};
    if (client.Width() <= 0 || client.Height() <= 0)
        return;
    TerminalPainter painter(screen, client, s.grid->charWidth, s.grid->rowHeight);
    s.grid->Draw(painter);
    s.window->invalid = false;
    // The scroll bars: the track shaded, the thumb where the position stands in the range.
    const bool focused = static_cast<int>(i) == focus_;
    const uint8_t attr = focused ? kAttrBold : kAttrDim;
    auto bar = [&](int barId, int length, auto put) {
        const ScrollState st = s.window->GetScrollState(barId);
        const int range = st.maximum - st.minimum + 1;
        const int page = std::max(st.page, 1);
        for (int k = 0; k < length; ++k)
            put(k, kShade);
        if (range <= page || length <= 0)
            return;
        const int size = std::max(1, length * page / range);
        const int at = std::min(length - size, length * (st.position - st.minimum) / range);
        for (int k = at; k < at + size; ++k)
            put(k, kThumb);
    };
    bar(SB_VERTICAL, client.Height(),
        [&](int k, char32_t ch) { screen.Put(client.right, client.top + k, ch, attr); });
    bar(SB_HORIZONTAL, client.Width(),
        [&](int k, char32_t ch) { screen.Put(client.left + k, client.bottom, ch, attr); });
}

void TerminalDialogHost::DrawNote(CellScreen& screen, int columns, int rows) {
    const std::string lines[] = {
        template_.caption + " needs a terminal of at least " + std::to_string(NeededColumns()) +
            " columns and " + std::to_string(NeededRows()) + " lines;",
        "this one has " + std::to_string(columns) + " columns and " + std::to_string(rows) +
            " lines. Enlarge it, or press Escape to cancel.",
    };
    int row = std::max(0, rows / 2 - 1);
    for (const std::string& line : lines) {
        // Wrapped between words to the width there is.
        std::u32string text = Utf8ToChars(line), part;
        size_t at = 0;
        while (at < text.size() && columns > 0) {
            size_t end = std::min(text.size(), at + static_cast<size_t>(columns));
            const size_t space = text.rfind(U' ', end);
            if (end < text.size() && space != std::u32string::npos && space > at)
                end = space;
            screen.PutText(0, row++, std::u32string_view(text).substr(at, end - at), kAttrNone,
                           columns);
            at = end;
            while (at < text.size() && text[at] == U' ')
                ++at;
        }
    }
}

void TerminalDialogHost::CursorCell(int& col, int& row) const {
    col = row = -1;
    if (!fits_ || focus_ < 0 || KindOf(static_cast<size_t>(focus_)) != Kind::Edit)
        return;
    const size_t i = static_cast<size_t>(focus_);
    const CellRect& r = cells_[i];
    const int spin = UpDownOf(i);
    const int width = std::max((spin >= 0 ? cells_[spin].right - 2 : r.right) - r.left, 1);
    const size_t caret = std::min(states_[i].caret, Utf8ToChars(states_[i].text).size());
    const int offset = caret >= static_cast<size_t>(width) ? width - 1 : static_cast<int>(caret);
    col = originCol_ + r.left + offset;
    row = originRow_ + r.top;
}

}  // namespace dornel
