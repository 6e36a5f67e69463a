// Painting the preview grid with GDI.
#include "ui/win32/Win32Platform.h"

namespace dornel {

namespace {
RECT ToRect(const Rect& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}
}  // namespace

void GdiPainter::FillRect(const Rect& rect, Brush brush) {
    const RECT r = ToRect(rect);
    ::FillRect(dc_, &r,
               brush == Brush::White ? static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))
                                     : GetSysColorBrush(COLOR_BTNFACE));
}

FontHandle GdiPainter::SelectFont(FontHandle font) {
    return SelectObject(dc_, static_cast<HGDIOBJ>(font));
}

void GdiPainter::SetTransparentBackground() {
    SetBkMode(dc_, TRANSPARENT);
}

uint32_t GdiPainter::SetTextColor(uint32_t rgb) {
    const COLORREF color = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    const COLORREF previous = ::SetTextColor(dc_, color);
    return (GetRValue(previous) << 16) | (GetGValue(previous) << 8) | GetBValue(previous);
}

uint32_t GdiPainter::SetTextAlign(uint32_t align) {
    return ::SetTextAlign(dc_, align);
}

void GdiPainter::MoveTo(int32_t x, int32_t y) {
    MoveToEx(dc_, x, y, nullptr);
}

void GdiPainter::LineTo(int32_t x, int32_t y) {
    ::LineTo(dc_, x, y);
}

void GdiPainter::DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) {
    RECT r = ToRect(rect);
    ::DrawTextW(dc_, reinterpret_cast<const wchar_t*>(text), -1, &r, flags);
}

void GdiPainter::DrawTextA(const char* text, const Rect& rect, uint32_t flags) {
    RECT r = ToRect(rect);
    ::DrawTextA(dc_, text, -1, &r, flags);
}

void GdiPainter::TextOutA(int32_t x, int32_t y, const char* text) {
    ::TextOutA(dc_, x, y, text, static_cast<int>(strlen(text)));
}

void GdiPainter::DrawFrameControl(const Rect& rect) {
    RECT r = ToRect(rect);
    ::DrawFrameControl(dc_, &r, DFC_BUTTON, DFCS_BUTTONPUSH);
}

}  // namespace dornel
