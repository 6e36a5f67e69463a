// The preview grid's model: sizes, texts, breaks, fonts, scroll bars and scrolling.
#include "ui/PreviewCtl.h"

#include <algorithm>
#include <cmath>

#include "host/brisko/Exception.h"
#include "host/brisko/SystemInfo.h"
#include "host/pelmar/SharedInfo.h"

namespace dornel {

namespace {

constexpr int32_t kNewColumnWidth = 10;

/// Half away from zero, then the fraction dropped.
int32_t RoundHalfAway(double v) {
    return static_cast<int32_t>(v >= 0 ? v + 0.5 : v - 0.5);
}

}  // namespace

PreviewCtl::PreviewCtl(PreviewWindow* w) : window(w) {
    if (!w)
        throw brisko::Exception("dornel", "PreviewCtl", __LINE__, 2, "Internal Error!");
    CreateFonts();
    UpdateScrollBars();
}

PreviewCtl::~PreviewCtl() {
    for (FontHandle font : {cellFont, rowNumberFont, rulerFont})
        if (font)
            window->DeleteFont(font);
}

void PreviewCtl::CreateFonts() {
    const brisko::CFaceInfo& face =
        brisko::Singleton<brisko::CSystemFaceInfo>::GetInstance().GetDefFixedPitchFaceInfo();
    const brisko::OutlineTextMetrics& m = face.GetOTM();
    cellFont = window->CreateCellFont(m.tmWeight, m.tmCharSet, face.GetFaceName());
    const double r = pelmar::Singleton<pelmar::SharedInfo>::Instance().GetLogPixelsY();
    const double k = r * brisko::INCHES_PER_POINT * 10.0;
    const double s = m.tmHeight * k / m.tmAscent;
    rowHeight = RoundHalfAway(s + 3.0);
    charWidth = RoundHalfAway(m.tmAveCharWidth * (s / face.GetEmSize()));
    rowNumberFont = window->CreateIconTitleFont(5 - rowHeight);
    rulerFont = window->CreateIconTitleFont(5 - rowHeight);
}

Rect PreviewCtl::DataRect() const {
    Rect d = window->GetClientRect();
    if (showRowNumbers)
        d.left += rowNumberDigits * charWidth;
    if (showRuler)
        d.top += rowHeight;
    return d;
}

void PreviewCtl::SetSize(int32_t rows, int32_t columns) {
    if (rows != rowCount) {
        rowCount = rows;
        rowNumberDigits = rows < 100 ? 3 : rows < 1000 ? 4 : 5;
    }
    if (columns != columnCount) {
        columnCount = columns;
        columnWidths.resize(static_cast<size_t>(std::max(columns, 0)), kNewColumnWidth);
    }
    // Every text is cleared, even when the size is unchanged.
    cells.clear();
    cells.resize(static_cast<size_t>(std::max(rows, 0)) *
                 static_cast<size_t>(std::max(columns, 0)));
    UpdateScrollBars();
}

void PreviewCtl::SetCellText(int32_t row, int32_t column, const char16_t* text) {
    cells[static_cast<size_t>(row) * columnCount + column] = text;
    window->Invalidate();
}

void PreviewCtl::AutoFitColumns(int32_t column) {
    const int32_t first = column == -1 ? 0 : column;
    const int32_t last = column == -1 ? columnCount - 1 : column;
    for (int32_t c = first; c <= last; ++c) {
        size_t width = 0;
        for (int32_t r = 0; r < rowCount; ++r)
            width = std::max(width, CellText(r, c).size());
        columnWidths[static_cast<size_t>(c)] = std::max<int32_t>(static_cast<int32_t>(width), 1);
    }
    UpdateScrollBars();
}

void PreviewCtl::SetColumnBreaks(const std::vector<int32_t>* list) {
    useExplicitBreaks = list != nullptr;
    if (list)
        breaks = *list;
    else
        breaks.clear();
    window->Invalidate();
}

void PreviewCtl::SetFirstRowNumber(int32_t n) {
    firstRowNumber = n;
    window->Invalidate();
}

void PreviewCtl::ShowRuler(bool show) {
    if (show != showRuler) {
        showRuler = show;
        UpdateScrollBars();
    }
}

void PreviewCtl::UpdateScrollBars() {
    int32_t total = 0;
    for (int32_t w : columnWidths)
        total += w;
    const Rect d = DataRect();
    window->SetScrollRange(SB_HORIZONTAL, 0, total - 1,
                           charWidth > 0 ? (d.right - d.left) / charWidth : 0);
    window->SetScrollRange(SB_VERTICAL, 0, rowCount - 1,
                           rowHeight > 0 ? (d.bottom - d.top) / rowHeight : 0);
    firstVisibleChar = window->GetScrollState(SB_HORIZONTAL).position;
    firstVisibleRow = window->GetScrollState(SB_VERTICAL).position;
    window->Invalidate();
}

void PreviewCtl::Scroll(int bar, int code) {
    const ScrollState s = window->GetScrollState(bar);
    int32_t position = s.position;
    switch (code) {
        case SCROLL_LINE_BACK:
            position = s.position - 1;
            break;
        case SCROLL_LINE_ON:
            position = s.position + 1;
            break;
        case SCROLL_PAGE_BACK:
            position = s.position - s.page;
            break;
        case SCROLL_PAGE_ON:
            position = s.position + s.page;
            break;
        case SCROLL_THUMB_TRACK:
            position = s.trackPosition;
            break;
        case SCROLL_START:
            position = s.minimum;
            break;
        case SCROLL_END:
            position = s.maximum;
            break;
        default:
            break;
    }
    window->SetScrollPosition(bar, position);
    const int32_t clamped = window->GetScrollState(bar).position;
    int32_t& field = bar == SB_HORIZONTAL ? firstVisibleChar : firstVisibleRow;
    if (clamped != field) {
        field = clamped;
        window->Invalidate();
    }
}

}  // namespace dornel
