// Painting the preview grid into character cells.
#include "ui/terminal/TerminalPainter.h"

#include <algorithm>
#include <string>

namespace dornel {

namespace {

constexpr uint32_t kDtCenter = 0x1;   // DT_CENTER
constexpr uint32_t kTaCenter = 0x6;   // TA_CENTER
constexpr char32_t kBar = U'\u2502';  // a light vertical line
constexpr char32_t kDot = U'\u00B7';

int FloorDiv(int32_t a, int32_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

std::u32string CellCharacters(const char16_t* text) {
    std::u32string out;
    for (const char16_t* p = text; p && *p; ++p) {
        const char16_t u = *p;
        if (u >= 0xD800 && u < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
            out += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (p[1] - 0xDC00));
            out += U' ';
            ++p;
        } else if (u < 0x20 || u == 0x7F) {
            out += kDot;
        } else if (u >= 0xD800 && u < 0xE000) {
            out += U'\uFFFD';
        } else {
            out += u;
        }
    }
    return out;
}

TerminalPainter::TerminalPainter(CellScreen& screen, CellRect area, int32_t charWidth,
                                 int32_t rowHeight)
    : screen_(screen),
      area_(area),
      charWidth_(std::max<int32_t>(charWidth, 1)),
      rowHeight_(std::max<int32_t>(rowHeight, 1)) {}

int TerminalPainter::Col(int32_t x) const {
    return FloorDiv(x, charWidth_);
}
int TerminalPainter::Row(int32_t y) const {
    return FloorDiv(y, rowHeight_);
}
int TerminalPainter::NearestCol(int32_t x) const {
    return FloorDiv(x + charWidth_ / 2, charWidth_);
}
int TerminalPainter::NearestRow(int32_t y) const {
    return FloorDiv(y + rowHeight_ / 2, rowHeight_);
}

void TerminalPainter::Put(int col, int row, char32_t ch, uint8_t attr) {
    if (col < 0 || row < 0 || col >= area_.Width() || row >= area_.Height())
        return;
    screen_.Put(area_.left + col, area_.top + row, ch, attr);
}

uint8_t TerminalPainter::AttrAt(int col, int row) const {
    if (col < 0 || row < 0 || col >= area_.Width() || row >= area_.Height())
        return kAttrNone;
    return screen_.At(area_.left + col, area_.top + row).attr;
}

void TerminalPainter::FillRect(const Rect& rect, Brush brush) {
    const uint8_t attr = brush == Brush::ButtonFace ? kAttrReverse : kAttrNone;
    for (int row = Row(rect.top); row < Row(rect.bottom + rowHeight_ - 1); ++row)
        for (int col = Col(rect.left); col < Col(rect.right + charWidth_ - 1); ++col)
            Put(col, row, U' ', attr);
}

void TerminalPainter::DrawFrameControl(const Rect& rect) {
    FillRect(rect, Brush::ButtonFace);
}

FontHandle TerminalPainter::SelectFont(FontHandle font) {
    const FontHandle previous = font_;
    font_ = font;
    return previous;
}

uint32_t TerminalPainter::SetTextColor(uint32_t rgb) {
    const uint32_t previous = color_;
    color_ = rgb;
    return previous;
}

uint32_t TerminalPainter::SetTextAlign(uint32_t align) {
    const uint32_t previous = align_;
    align_ = align;
    return previous;
}

void TerminalPainter::MoveTo(int32_t x, int32_t y) {
    penX_ = x;
    penY_ = y;
}

void TerminalPainter::LineTo(int32_t x, int32_t y) {
    if (x == penX_ && y != penY_) {
        const int col = NearestCol(x);
        const int32_t top = std::min(y, penY_), bottom = std::max(y, penY_);
        // The end point is not drawn: the rows the line runs through, its last pixel excluded.
        const int32_t length = bottom - top;
        for (int row = Row(top); row <= Row(bottom - 1); ++row) {
            if (col < 0 || col >= area_.Width() || row < 0 || row >= area_.Height())
                continue;
            const Cell& cell = screen_.At(area_.left + col, area_.top + row);
            if (length < rowHeight_) {
                // A tick of the ruler: its length, one to four pixels, picks the mark.
                Put(col, row, length >= 4 ? U'|' : length >= 2 ? U'+' : kDot, cell.attr);
                continue;
            }
            if (cell.ch == U' ')
                Put(col, row, kBar, cell.attr & ~kAttrDim);
            else
                screen_.AddAttr(area_.left + col, area_.top + row, kAttrReverse);
        }
    } else if (y == penY_ && x != penX_) {
        const int row = NearestRow(y) - 1;
        for (int col = NearestCol(std::min(x, penX_)); col < NearestCol(std::max(x, penX_)); ++col)
            if (col >= 0 && col < area_.Width() && row >= 0 && row < area_.Height())
                screen_.AddAttr(area_.left + col, area_.top + row, kAttrUnderline);
    }
    penX_ = x;
    penY_ = y;
}

uint8_t TerminalPainter::TextAttr() const {
    return color_ == kGrey ? kAttrDim : kAttrNone;
}

void TerminalPainter::Text(std::u32string_view text, const Rect& rect, uint32_t flags) {
    const int left = Col(rect.left), right = Col(rect.right);
    const int row = Row(rect.top);
    int col = left;
    if (flags & kDtCenter)
        col = left + (right - left - static_cast<int>(text.size())) / 2;
    for (char32_t ch : text) {
        // Clipped to the rectangle, and a transparent background keeps the cell's face.
        if (col >= left && col < right)
            Put(col, row, ch, (AttrAt(col, row) & kAttrReverse) | TextAttr());
        ++col;
    }
}

void TerminalPainter::DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) {
    Text(CellCharacters(text), rect, flags);
}

void TerminalPainter::DrawTextA(const char* text, const Rect& rect, uint32_t flags) {
    Text(Utf8ToChars(text), rect, flags);
}

void TerminalPainter::TextOutA(int32_t x, int32_t y, const char* text) {
    const std::u32string chars = Utf8ToChars(text);
    int32_t left = x;
    if ((align_ & kTaCenter) == kTaCenter)
        left = x - static_cast<int32_t>(chars.size()) * charWidth_ / 2;
    // The baseline is the bottom of the text: the text stands in the row above it.
    const int row = Row(y - 1);
    int col = NearestCol(left);
    for (char32_t ch : chars) {
        Put(col, row, ch, (AttrAt(col, row) & (kAttrReverse | kAttrUnderline)) | TextAttr());
        ++col;
    }
}

}  // namespace dornel
