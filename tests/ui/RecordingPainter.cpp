// A painter that lists the drawing operations as text.
#include "ui/RecordingPainter.h"

#include <cstdio>

#include "host/brisko/CodePage.h"

namespace dornel {

namespace {

std::string Box(const Rect& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) +
           " " + std::to_string(r.bottom);
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", v);
    return buf;
}

}  // namespace

void RecordingPainter::NameFont(FontHandle font, const std::string& name) {
    names_.emplace_back(font, name);
}

std::string RecordingPainter::FontName(FontHandle font) const {
    for (const auto& [handle, name] : names_)
        if (handle == font)
            return name;
    return font ? "font" : "none";
}

void RecordingPainter::FillRect(const Rect& rect, Brush brush) {
    ops.push_back("FillRect " + Box(rect) + (brush == Brush::White ? " WHITE" : " BTNFACE"));
}

FontHandle RecordingPainter::SelectFont(FontHandle font) {
    ops.push_back("SelectFont " + FontName(font));
    const FontHandle previous = font_;
    font_ = font;
    return previous;
}

void RecordingPainter::SetTransparentBackground() {
    ops.push_back("SetBkMode TRANSPARENT");
}

uint32_t RecordingPainter::SetTextColor(uint32_t rgb) {
    ops.push_back("SetTextColor " + Hex(rgb));
    const uint32_t previous = color_;
    color_ = rgb;
    return previous;
}

uint32_t RecordingPainter::SetTextAlign(uint32_t align) {
    ops.push_back("SetTextAlign " + Hex(align));
    const uint32_t previous = align_;
    align_ = align;
    return previous;
}

void RecordingPainter::MoveTo(int32_t x, int32_t y) {
    ops.push_back("MoveTo " + std::to_string(x) + " " + std::to_string(y));
}

void RecordingPainter::LineTo(int32_t x, int32_t y) {
    ops.push_back("LineTo " + std::to_string(x) + " " + std::to_string(y));
}

void RecordingPainter::DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) {
    ops.push_back("DrawText " + Box(rect) + " " + Hex(flags) + " " +
                  brisko::ToUtf8(std::u16string(text)));
}

void RecordingPainter::DrawTextA(const char* text, const Rect& rect, uint32_t flags) {
    ops.push_back("DrawText " + Box(rect) + " " + Hex(flags) + " " + text);
}

void RecordingPainter::TextOutA(int32_t x, int32_t y, const char* text) {
    ops.push_back("TextOut " + std::to_string(x) + " " + std::to_string(y) + " " + text);
}

void RecordingPainter::DrawFrameControl(const Rect& rect) {
    ops.push_back("DrawFrameControl " + Box(rect) + " BUTTONPUSH");
}

}  // namespace dornel
