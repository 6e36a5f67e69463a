// Tests of the preview grid's model: sizes, widths, scroll bars, scrolling, and the drawing
// order as a list of primitive operations.
#include "ui/PreviewCtl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/FakePlatform.h"
#include "ui/RecordingPainter.h"

namespace dornel::test {
namespace {

TEST(PreviewCtl, FontsAndMetricsComeFromTheFixedPitchFace) {
    FakeWindow w({0, 0, 200, 100});
    PreviewCtl grid(&w);
    // Courier New at 96 pixels per inch: s = 2320 * 96/72*10 / 1705 = 18.14.
    EXPECT_EQ(grid.rowHeight, 21);
    EXPECT_EQ(grid.charWidth, 11);
    EXPECT_EQ(w.cellFace, "Courier New");
    EXPECT_EQ(w.cellWeight, 400);
    EXPECT_EQ(w.iconHeights, (std::vector<int32_t>{-16, -16}));
    EXPECT_NE(grid.rowNumberFont, grid.rulerFont);
}

TEST(PreviewCtl, RowNumberColumnFollowsTheRowCountOnly) {
    struct Case {
        int32_t rows;
        int32_t digits;
    } cases[] = {{0, 0}, {1, 3}, {99, 3}, {100, 4}, {999, 4}, {1000, 5}};
    for (const Case& c : cases) {
        FakeWindow w({0, 0, 200, 100});
        PreviewCtl grid(&w);
        if (c.rows != 0)
            grid.SetSize(c.rows, 1);
        EXPECT_EQ(grid.rowNumberDigits, c.digits) << c.rows;
        grid.SetSize(c.rows, 7);
        EXPECT_EQ(grid.rowNumberDigits, c.digits) << c.rows;
        EXPECT_EQ(grid.DataRect().left, c.digits * grid.charWidth);
    }
}

TEST(PreviewCtl, SetSizeClearsTextsAndWidensOnlyNewColumns) {
    FakeWindow w({0, 0, 200, 100});
    PreviewCtl grid(&w);
    grid.SetSize(2, 2);
    grid.SetCellText(1, 1, u"abc");
    grid.AutoFitColumns(-1);
    EXPECT_EQ(grid.columnWidths, (std::vector<int32_t>{1, 3}));
    grid.SetSize(2, 2);
    EXPECT_EQ(grid.CellText(1, 1), u"");
    grid.SetSize(2, 4);
    EXPECT_EQ(grid.columnWidths, (std::vector<int32_t>{1, 3, 10, 10}));
    grid.SetCellText(0, 2, u"a\U0001D11Eb");
    grid.AutoFitColumns(2);
    EXPECT_EQ(grid.columnWidths[2], 4);
}

TEST(PreviewCtl, ScrollBarsAndScrolling) {
    FakeWindow w({0, 0, 200, 100});
    PreviewCtl grid(&w);
    EXPECT_EQ(w.GetScrollState(SB_HORIZONTAL).maximum, -1);
    EXPECT_EQ(w.GetScrollState(SB_VERTICAL).maximum, -1);
    grid.SetSize(20, 3);  // 30 characters wide
    const Rect d = grid.DataRect();
    const int32_t page = (d.right - d.left) / grid.charWidth;
    EXPECT_EQ(w.GetScrollState(SB_HORIZONTAL).page, page);
    EXPECT_EQ(w.GetScrollState(SB_VERTICAL).page, (d.bottom - d.top) / grid.rowHeight);
    struct Step {
        int bar;
        int code;
        int32_t track;
        int32_t expected;
    } steps[] = {
        {SB_HORIZONTAL, SCROLL_END, 0, 30 - page},
        {SB_HORIZONTAL, SCROLL_LINE_ON, 0, 30 - page},
        {SB_HORIZONTAL, SCROLL_LINE_BACK, 0, 29 - page},
        {SB_HORIZONTAL, SCROLL_START, 0, 0},
        {SB_HORIZONTAL, SCROLL_PAGE_ON, 0, page},
        {SB_HORIZONTAL, SCROLL_THUMB_TRACK, 3, 3},
        {SB_HORIZONTAL, SCROLL_THUMB_POSITION, 9, 3},
        {SB_VERTICAL, SCROLL_PAGE_ON, 0, 3},
        {SB_VERTICAL, SCROLL_END, 0, 20 - 3},
    };
    for (const Step& s : steps) {
        w.Track(s.bar, s.track);
        grid.Scroll(s.bar, s.code);
        EXPECT_EQ(s.bar == SB_HORIZONTAL ? grid.firstVisibleChar : grid.firstVisibleRow, s.expected)
            << s.bar << " " << s.code;
    }
}

std::vector<std::string> Filter(const std::vector<std::string>& ops, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& op : ops)
        if (op.rfind(prefix, 0) == 0)
            out.push_back(op);
    return out;
}

TEST(PreviewCtl, RowNumbersContinuePastTheLastRow) {
    // Six row slots: 6 * 21 pixels below a ruler of 21.
    FakeWindow w({0, 0, 200, 7 * 21});
    PreviewCtl grid(&w);
    grid.SetSize(3, 1);
    grid.SetFirstRowNumber(5);
    for (int r = 0; r < 3; ++r)
        grid.SetCellText(r, 0, u"x");
    RecordingPainter p;
    grid.Draw(p);
    const auto texts = Filter(p.ops, "DrawText");
    ASSERT_EQ(texts.size(), 9u);
    EXPECT_EQ(texts[0], "DrawText 33 21 143 42 000824 x");
    EXPECT_EQ(texts[1], "DrawText 0 21 33 42 000825 5");
    EXPECT_EQ(texts.back(), "DrawText 0 126 33 147 000825 10");
}

TEST(PreviewCtl, SeparatorsFollowColumnsOrExplicitBreaks) {
    FakeWindow w({0, 0, 300, 100});
    PreviewCtl grid(&w);
    grid.ShowRuler(false);
    grid.SetSize(1, 2);
    grid.columnWidths = {2, 3};
    RecordingPainter automatic;
    grid.Draw(automatic);
    EXPECT_EQ(Filter(automatic.ops, "MoveTo"),
              (std::vector<std::string>{"MoveTo 55 0", "MoveTo 88 0"}));
    const std::vector<int32_t> breaks = {0, 4, 30, 100};
    grid.SetColumnBreaks(&breaks);
    RecordingPainter explicitBreaks;
    grid.Draw(explicitBreaks);
    // Only breaks strictly inside the data area are drawn: 0 lies on its left edge, 30 and 100
    // beyond its right one.
    EXPECT_EQ(Filter(explicitBreaks.ops, "MoveTo"), (std::vector<std::string>{"MoveTo 77 0"}));
    EXPECT_EQ(Filter(explicitBreaks.ops, "LineTo"), (std::vector<std::string>{"LineTo 77 100"}));
}

TEST(PreviewCtl, DrawsInTheGridsOrder) {
    FakeWindow w({0, 0, 70, 42});
    PreviewCtl grid(&w);
    grid.SetSize(1, 1);
    grid.SetCellText(0, 0, u"a&b");
    grid.AutoFitColumns(-1);
    RecordingPainter p;
    p.NameFont(grid.cellFont, "cell");
    p.NameFont(grid.rowNumberFont, "rownumber");
    p.NameFont(grid.rulerFont, "ruler");
    grid.Draw(p);
    const std::vector<std::string> expected = {
        "FillRect 0 0 70 42 WHITE",
        "SelectFont cell",
        "SetBkMode TRANSPARENT",
        "FillRect 0 0 70 21 BTNFACE",
        "MoveTo 33 21",
        "LineTo 70 21",
        "SelectFont ruler",
        "SetTextAlign 00001E",
        "MoveTo 33 17",
        "LineTo 33 21",
        "MoveTo 32 17",
        "LineTo 32 21",
        "TextOut 33 16 0",
        "MoveTo 44 20",
        "LineTo 44 21",
        "MoveTo 55 20",
        "LineTo 55 21",
        "MoveTo 66 20",
        "LineTo 66 21",
        "SetTextAlign 000000",
        "SelectFont cell",
        "SetTextColor 808080",
        "DrawText 33 21 66 42 000824 a&b",
        "SetTextColor 000000",
        "SelectFont rownumber",
        "DrawFrameControl 0 21 33 42 BUTTONPUSH",
        "DrawText 0 21 33 42 000825 1",
        "SelectFont cell",
        "SetTextColor 808080",
        "MoveTo 66 21",
        "LineTo 66 42",
        "SelectFont none",
    };
    EXPECT_EQ(p.ops, expected);
}

TEST(PreviewCtl, WithoutAWindowItIsAnInternalError) {
    EXPECT_ANY_THROW(PreviewCtl grid(nullptr));
}

TEST(PreviewCtl, DestructionDeletesItsThreeFonts) {
    FakeWindow w({0, 0, 10, 10});
    { PreviewCtl grid(&w); }
    EXPECT_EQ(w.deletedFonts, 3);
}

}  // namespace
}  // namespace dornel::test
