// The preview grid's window in the terminal: a rectangle of cells, and scroll bars that clamp
// as the platform's do.
#pragma once

#include "ui/PreviewCtl.h"
#include "ui/terminal/CellScreen.h"

namespace dornel {

/// The grid lays itself out in its face's pixels; here a character position is one cell and a
/// row one line, so the client rectangle is the cells times the grid's own metrics.
class TerminalPreviewWindow : public PreviewWindow {
  public:
    /// The grid whose metrics turn cells into its pixels; until it is set the window is empty.
    void Attach(const PreviewCtl* grid) { grid_ = grid; }
    /// The cells of the client area, without the scroll bars' column and line.
    void SetClientCells(int columns, int rows);
    int ClientColumns() const { return columns_; }
    int ClientRows() const { return rows_; }

    Rect GetClientRect() override;
    void SetScrollRange(int bar, int32_t minimum, int32_t maximum, int32_t page) override;
    void SetScrollPosition(int bar, int32_t position) override;
    ScrollState GetScrollState(int bar) override { return bars_[bar]; }
    void Invalidate() override { invalid = true; }
    FontHandle CreateCellFont(int32_t, uint8_t, const char*) override { return &fonts_[0]; }
    FontHandle CreateIconTitleFont(int32_t) override { return &fonts_[++madeFonts_ % 3]; }
    void DeleteFont(FontHandle) override {}

    bool invalid = true;

  private:
    void Clamp(int bar);
    const PreviewCtl* grid_ = nullptr;
    int columns_ = 0;
    int rows_ = 0;
    ScrollState bars_[2];
    char fonts_[3] = {};
    int madeFonts_ = 0;
};

}  // namespace dornel
