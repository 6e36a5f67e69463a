// A painter that lists the drawing operations as text, one per line, for tests and goldens.
#pragma once

#include <string>
#include <vector>

#include "ui/Painter.h"

namespace dornel {

/// Fonts appear by the names given to their handles; colours as hexadecimal RGB.
class RecordingPainter : public Painter {
  public:
    /// Names the fonts that the operations select.
    void NameFont(FontHandle font, const std::string& name);

    void FillRect(const Rect& rect, Brush brush) override;
    FontHandle SelectFont(FontHandle font) override;
    void SetTransparentBackground() override;
    uint32_t SetTextColor(uint32_t rgb) override;
    uint32_t SetTextAlign(uint32_t align) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void DrawTextW(const char16_t* text, const Rect& rect, uint32_t flags) override;
    void DrawTextA(const char* text, const Rect& rect, uint32_t flags) override;
    void TextOutA(int32_t x, int32_t y, const char* text) override;
    void DrawFrameControl(const Rect& rect) override;

    std::vector<std::string> ops;

  private:
    std::string FontName(FontHandle font) const;

    std::vector<std::pair<FontHandle, std::string>> names_;
    FontHandle font_ = nullptr;
    uint32_t color_ = 0;
    uint32_t align_ = 0;
};

}  // namespace dornel
