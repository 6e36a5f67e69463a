// The preview grid's window in the terminal.
#include "ui/terminal/TerminalPreviewWindow.h"

#include <algorithm>

namespace dornel {

void TerminalPreviewWindow::SetClientCells(int columns, int rows) {
    columns_ = std::max(columns, 0);
    rows_ = std::max(rows, 0);
}

Rect TerminalPreviewWindow::GetClientRect() {
    if (!grid_)
        return Rect{};
    return Rect{0, 0, columns_ * grid_->charWidth, rows_ * grid_->rowHeight};
}

void TerminalPreviewWindow::SetScrollRange(int bar, int32_t minimum, int32_t maximum,
                                           int32_t page) {
    bars_[bar].minimum = minimum;
    bars_[bar].maximum = maximum;
    bars_[bar].page = page;
    Clamp(bar);
}

void TerminalPreviewWindow::SetScrollPosition(int bar, int32_t position) {
    bars_[bar].position = position;
    Clamp(bar);
}

void TerminalPreviewWindow::Clamp(int bar) {
    // As the platform clamps: 0 ... maximum - (page - 1), a page of 0 counting as 1.
    ScrollState& s = bars_[bar];
    const int32_t page = s.page == 0 ? 1 : s.page;
    s.position = std::max(0, std::min(s.position, s.maximum - (page - 1)));
    invalid = true;
}

}  // namespace dornel
