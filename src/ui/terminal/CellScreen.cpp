// A screen of character cells, and the UTF-8 conversions its texts go through.
#include "ui/terminal/CellScreen.h"

#include <algorithm>

namespace dornel {

CellScreen::CellScreen(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      cells_(static_cast<size_t>(width_) * height_) {}

void CellScreen::Put(int col, int row, char32_t ch, uint8_t attr) {
    if (col < 0 || row < 0 || col >= width_ || row >= height_)
        return;
    cells_[Index(col, row)] = Cell{ch, attr};
}

void CellScreen::AddAttr(int col, int row, uint8_t attr) {
    if (col < 0 || row < 0 || col >= width_ || row >= height_)
        return;
    cells_[Index(col, row)].attr |= attr;
}

void CellScreen::PutText(int col, int row, std::u32string_view text, uint8_t attr, int limit) {
    for (char32_t ch : text) {
        if (col >= limit)
            break;
        Put(col++, row, ch, attr);
    }
}

std::string CellScreen::ToText() const {
    std::string out;
    for (int row = 0; row < height_; ++row) {
        std::u32string line;
        for (int col = 0; col < width_; ++col)
            line += At(col, row).ch;
        line.erase(line.find_last_not_of(U' ') + 1);
        out += CharsToUtf8(line);
        out += '\n';
    }
    return out;
}

std::u32string Utf8ToChars(std::string_view text) {
    std::u32string out;
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int length = b < 0x80         ? 1
                           : (b >> 5) == 6  ? 2
                           : (b >> 4) == 14 ? 3
                           : (b >> 3) == 30 ? 4
                                            : 0;
        char32_t ch = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool ok = length > 0 && i + length <= text.size();
        for (int k = 1; ok && k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            ok = (c & 0xC0) == 0x80;
            ch = (ch << 6) | (c & 0x3F);
        }
        if (!ok) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        out += ch;
        i += static_cast<size_t>(length);
    }
    return out;
}

std::string CharsToUtf8(std::u32string_view text) {
    std::string out;
    for (char32_t ch : text) {
        if (ch < 0x80) {
            out += static_cast<char>(ch);
        } else if (ch < 0x800) {
            out += static_cast<char>(0xC0 | (ch >> 6));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        } else if (ch < 0x10000) {
            out += static_cast<char>(0xE0 | (ch >> 12));
            out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (ch >> 18));
            out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (ch & 0x3F));
        }
    }
    return out;
}

}  // namespace dornel
