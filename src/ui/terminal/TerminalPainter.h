// Painting the preview grid into character cells.
#pragma once

#include "ui/Painter.h"
#include "ui/terminal/CellScreen.h"

namespace dornel {

/// A painter over a rectangle of a cell screen. The grid paints in its face's pixels; a
/// character position is charWidth pixels and a row rowHeight, so each coordinate falls into
/// one cell, and everything is clipped to the rectangle.
///
/// Lines cannot be thinner than a cell: a vertical line takes the cell whose left edge it runs
/// along, as a separator after a column takes the first position of the next. Over a blank
/// cell it shows as a bar; over a character it keeps the character and shows it reversed, so
/// that columns of equal widths still show where they part. A horizontal line along the top of
/// a row underlines the row above it, which is how the ruler is set off from the data. A line
/// shorter than a row is a tick of the ruler, marked by its length.
class TerminalPainter : public Painter {
  public:
    TerminalPainter(CellScreen& screen, CellRect area, int32_t charWidth, int32_t rowHeight);

    void FillRect(const Rect& rect, Brush brush) override;
    FontHandle SelectFont(FontHandle font) override;
    void SetTransparentBackground() override {}
    uint32_t SetTextColor(uint32_t rgb) override;
    uint32_t SetTextAlign(uint32_t align) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) override;
    void DrawTextA(const char* text, const Rect& rect, uint32_t flags) override;
    void TextOutA(int32_t x, int32_t y, const char* text) override;
    void DrawFrameControl(const Rect& rect) override;

  private:
    int Col(int32_t x) const;
    int Row(int32_t y) const;
    /// The nearest cell edge: a line one pixel off an edge still belongs to it.
    int NearestCol(int32_t x) const;
    int NearestRow(int32_t y) const;
    void Put(int col, int row, char32_t ch, uint8_t attr);
    uint8_t AttrAt(int col, int row) const;
    void Text(std::u32string_view text, const Rect& rect, uint32_t flags);
    uint8_t TextAttr() const;

    CellScreen& screen_;
    CellRect area_;
    int32_t charWidth_;
    int32_t rowHeight_;
    FontHandle font_ = nullptr;
    uint32_t color_ = kBlack;
    uint32_t align_ = 0;
    int32_t penX_ = 0;
    int32_t penY_ = 0;
};

/// Characters of UTF-16 text, one per code unit as the grid counts them: a surrogate pair's
/// character fills its first cell and a blank its second. Control characters, which a cell's
/// text can hold, show as a middle dot.
std::u32string CellCharacters(const char16_t* text);

}  // namespace dornel
