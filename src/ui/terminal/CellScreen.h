// A screen of character cells: what the terminal dialogs draw into before the terminal shows it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dornel {

/// How a cell is shown. Only attributes, no colours: a monochrome terminal shows them all.
enum CellAttr : uint8_t {
    kAttrNone = 0,
    kAttrDim = 1,        ///< grey text
    kAttrReverse = 2,    ///< the focused item, a button face
    kAttrBold = 4,       ///< the label of the focused field
    kAttrUnderline = 8,  ///< a mnemonic letter, an edit field, a line under a band
};

struct Cell {
    char32_t ch = U' ';
    uint8_t attr = kAttrNone;
    bool operator==(const Cell&) const = default;
};

/// A rectangle of cells: columns left ... right - 1, rows top ... bottom - 1.
struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int col, int row) const {
        return col >= left && col < right && row >= top && row < bottom;
    }
};

class CellScreen {
  public:
    CellScreen(int width, int height);
    int Width() const { return width_; }
    int Height() const { return height_; }
    const Cell& At(int col, int row) const { return cells_[Index(col, row)]; }
    /// Writes one cell; cells outside the screen are dropped.
    void Put(int col, int row, char32_t ch, uint8_t attr);
    /// Adds attributes to one cell, keeping its character.
    void AddAttr(int col, int row, uint8_t attr);
    /// Writes text from col on, one cell per character, up to the column limit.
    void PutText(int col, int row, std::u32string_view text, uint8_t attr, int limit);
    /// The screen as text, one line per row, trailing spaces dropped: what a test compares.
    std::string ToText() const;

  private:
    size_t Index(int col, int row) const { return static_cast<size_t>(row) * width_ + col; }
    int width_;
    int height_;
    std::vector<Cell> cells_;
};

/// UTF-8 text as characters; a malformed byte becomes U+FFFD.
std::u32string Utf8ToChars(std::string_view text);
/// Characters as UTF-8.
std::string CharsToUtf8(std::u32string_view text);

}  // namespace dornel
