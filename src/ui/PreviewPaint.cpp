// Drawing the preview grid: background, ruler, cell texts, row numbers, separators, in that
// order, into whatever painter the platform gives.
#include <string>

#include "ui/PreviewCtl.h"

namespace dornel {

void PreviewCtl::Draw(Painter& p) {
    const Rect client = window->GetClientRect();
    p.FillRect(client, Brush::White);
    const Rect d = DataRect();
    const FontHandle previousFont = p.SelectFont(cellFont);
    p.SetTransparentBackground();
    if (showRuler)
        DrawRuler(p, d);
    p.SetTextColor(kGrey);

    // The row slots the data area covers, the last one possibly cut off.
    const int32_t slots = rowHeight > 0 ? (rowHeight - d.top + d.bottom - 1) / rowHeight : 0;
    for (int32_t i = 0; i < slots; ++i) {
        const int32_t row = firstVisibleRow + i;
        const int32_t rowTop = d.top + i * rowHeight;
        const int32_t rowBottom = rowTop + rowHeight;
        int32_t x = d.left - firstVisibleChar * charWidth;
        if (row < rowCount) {
            for (int32_t c = 0; c < columnCount; ++c) {
                const int32_t cellLeft = x;
                x += columnWidths[static_cast<size_t>(c)] * charWidth;
                if (cellLeft >= d.right)
                    break;
                // A cell starting left of the data area spills under the row numbers, which
                // are drawn over it next.
                if (x > d.left)
                    p.DrawTextW(CellText(row, c).c_str(), Rect{cellLeft, rowTop, x, rowBottom},
                                kCellTextFlags);
            }
        }
        if (showRowNumbers) {
            p.SetTextColor(kBlack);
            const FontHandle cellFontBack = p.SelectFont(rowNumberFont);
            const Rect face{0, rowTop, d.left, rowBottom};
            p.DrawFrameControl(face);
            p.DrawTextA(std::to_string(row + firstRowNumber).c_str(), face, kRowNumberFlags);
            p.SelectFont(cellFontBack);
            p.SetTextColor(kGrey);
        }
    }

    if (useExplicitBreaks) {
        for (int32_t b : breaks) {
            const int32_t x = (b - firstVisibleChar) * charWidth + d.left;
            if (d.left < x && x < d.right) {
                p.MoveTo(x, d.top);
                p.LineTo(x, d.bottom);
            }
        }
    } else {
        int32_t x = d.left - firstVisibleChar * charWidth;
        for (int32_t c = 0; c < columnCount; ++c) {
            x += columnWidths[static_cast<size_t>(c)] * charWidth;
            if (x > d.left) {
                p.MoveTo(x, d.top);
                p.LineTo(x, d.bottom);
            }
        }
    }
    p.SelectFont(previousFont);
}

void PreviewCtl::DrawRuler(Painter& p, const Rect& d) {
    p.FillRect(Rect{0, 0, d.right, d.top}, Brush::ButtonFace);
    p.MoveTo(d.left, d.top);
    p.LineTo(d.right, d.top);
    const FontHandle previousFont = p.SelectFont(rulerFont);
    const uint32_t previousAlign = p.SetTextAlign(kBaselineCentre);
    int32_t col = firstVisibleChar;
    // charWidth is at least 1 with any real face; a zero width would never leave the loop.
    for (int32_t x = d.left; x <= d.right && charWidth > 0; x += charWidth, ++col) {
        const int32_t tick = col % 10 == 0 ? 4 : col % 5 == 0 ? 2 : 1;
        p.MoveTo(x, d.top - tick);
        p.LineTo(x, d.top);
        if (col % 10 == 0) {
            p.MoveTo(x - 1, d.top - 4);
            p.LineTo(x - 1, d.top);
            p.TextOutA(x, d.top - 5, std::to_string(col).c_str());
        }
    }
    p.SetTextAlign(previousAlign);
    p.SelectFont(previousFont);
}

}  // namespace dornel
