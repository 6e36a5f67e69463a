// The preview grid's model: sizes, texts, breaks, layout, scrolling and the drawing order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Painter.h"

namespace dornel {

/// Scroll bars: horizontal 0, vertical 1.
enum ScrollBar : int { SB_HORIZONTAL = 0, SB_VERTICAL = 1 };

struct ScrollState {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t page = 0;
    int32_t position = 0;
    int32_t trackPosition = 0;
};

/// What the grid needs of its window. Setting a bar's range, page or position clamps the
/// position to 0 ... maximum - (page - 1), a page of 0 counting as 1, never below 0.
class PreviewWindow {
  public:
    virtual ~PreviewWindow() = default;
    virtual Rect GetClientRect() = 0;
    virtual void SetScrollRange(int bar, int32_t minimum, int32_t maximum, int32_t page) = 0;
    virtual void SetScrollPosition(int bar, int32_t position) = 0;
    virtual ScrollState GetScrollState(int bar) = 0;
    virtual void Invalidate() = 0;
    /// The cell font: the face's weight, character set and name, TrueType, Swiss family.
    virtual FontHandle CreateCellFont(int32_t weight, uint8_t charSet, const char* faceName) = 0;
    /// The system's icon-title font with the given (negative) height.
    virtual FontHandle CreateIconTitleFont(int32_t height) = 0;
    virtual void DeleteFont(FontHandle font) = 0;
};

/// The value of the object query message, WM_USER + 77.
constexpr unsigned kPreviewGetObject = 0x0400 + 77;

/// Scroll codes of the scroll messages.
enum ScrollCode : int {
    SCROLL_LINE_BACK = 0,
    SCROLL_LINE_ON = 1,
    SCROLL_PAGE_BACK = 2,
    SCROLL_PAGE_ON = 3,
    SCROLL_THUMB_POSITION = 4,
    SCROLL_THUMB_TRACK = 5,
    SCROLL_START = 6,
    SCROLL_END = 7,
    SCROLL_END_SCROLL = 8,
};

/// One per preview window: the window owns it.
class PreviewCtl {
  public:
    /// Throws the shared library's error ("PreviewCtl", code 2, "Internal Error!") without a
    /// window.
    explicit PreviewCtl(PreviewWindow* window);
    ~PreviewCtl();
    PreviewCtl(const PreviewCtl&) = delete;
    PreviewCtl& operator=(const PreviewCtl&) = delete;

    void SetSize(int32_t rows, int32_t columns);
    void SetCellText(int32_t row, int32_t column, const char16_t* text);
    void AutoFitColumns(int32_t column);
    /// null: separators after every column; else at the given positions (sorted, unique).
    void SetColumnBreaks(const std::vector<int32_t>* breaks);
    void SetFirstRowNumber(int32_t n);
    void ShowRuler(bool show);
    void UpdateScrollBars();
    /// A scroll message on one bar with its code.
    void Scroll(int bar, int code);
    /// The whole picture into a painter, in the grid's drawing order.
    void Draw(Painter& painter);

    /// The data area: the client rectangle without the row-number column and the ruler band.
    Rect DataRect() const;
    const std::u16string& CellText(int32_t row, int32_t column) const {
        return cells[static_cast<size_t>(row) * columnCount + column];
    }

    bool showRowNumbers = true;
    bool showRuler = true;
    bool useExplicitBreaks = false;
    PreviewWindow* window;
    FontHandle cellFont = nullptr;
    FontHandle rowNumberFont = nullptr;
    FontHandle rulerFont = nullptr;
    int32_t rowCount = 0;
    int32_t columnCount = 0;
    int32_t firstVisibleRow = 0;
    int32_t firstVisibleChar = 0;
    int32_t rowHeight = 0;
    int32_t charWidth = 0;
    int32_t rowNumberDigits = 0;
    int32_t firstRowNumber = 1;
    std::vector<int32_t> breaks;
    std::vector<int32_t> columnWidths;
    std::vector<std::u16string> cells;

  private:
    void CreateFonts();
    void DrawRuler(Painter& painter, const Rect& d);
};

}  // namespace dornel
