// The drawing operations the preview grid paints with: GDI on Windows, a recorder in tests.
#pragma once

#include <cstdint>

namespace dornel {

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

using FontHandle = void*;

enum class Brush { White, ButtonFace };

constexpr uint32_t kGrey = 0x808080;  // RGB(128, 128, 128)
constexpr uint32_t kBlack = 0x000000;
/// Text flags: one line, vertically centred, no prefix processing; with kCenter also centred.
constexpr uint32_t kCellTextFlags = 0x824;
constexpr uint32_t kRowNumberFlags = 0x825;
/// Text alignment: baseline and horizontal centre.
constexpr uint32_t kBaselineCentre = 0x1E;

/// Primitive drawing operations, in the platform's terms. A line's end point is not drawn.
class Painter {
  public:
    virtual ~Painter() = default;
    virtual void FillRect(const Rect& rect, Brush brush) = 0;
    /// Returns the font that was selected before.
    virtual FontHandle SelectFont(FontHandle font) = 0;
    virtual void SetTransparentBackground() = 0;
    /// Returns the previous colour.
    virtual uint32_t SetTextColor(uint32_t rgb) = 0;
    /// Returns the previous alignment.
    virtual uint32_t SetTextAlign(uint32_t align) = 0;
    virtual void MoveTo(int32_t x, int32_t y) = 0;
    virtual void LineTo(int32_t x, int32_t y) = 0;
    virtual void DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) = 0;
    virtual void DrawTextA(const char* text, const Rect& rect, uint32_t flags) = 0;
    virtual void TextOutA(int32_t x, int32_t y, const char* text) = 0;
    /// The face of a push button.
    virtual void DrawFrameControl(const Rect& rect) = 0;
};

}  // namespace dornel
