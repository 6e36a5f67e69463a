// Which of a few related pages reads a sample most plausibly.
#include "PagePlausibility.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/brisko/CodePage.h"

namespace brisko {

namespace {

enum Script { kNoScript, kLatin, kGreek, kCyrillic, kHebrew, kArabic, kThai, kEastAsian, kOther };
enum Case { kNoCase, kUpper, kLower };

struct Character {
    Script script = kNoScript;  // kNoScript: not a letter
    Case letterCase = kNoCase;
    int score = 0;
};

// Latin Extended-A pairs capitals and small letters, the capital first, except in three runs
// where the capital comes second.
Case LatinExtendedCase(uint32_t c) {
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return c % 2 == 1 ? kUpper : kLower;
    if (c == 0x138 || c == 0x149 || c == 0x17F)
        return kLower;
    return c % 2 == 0 ? kUpper : kLower;
}

Character Classify(uint32_t c) {
    Character k;
    auto letter = [&](Script s, Case cs = kNoCase, int score = 1) {
        k.script = s, k.letterCase = cs, k.score = score;
        return k;
    };
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            return letter(kLatin, kUpper, 0);
        if (c >= 'a' && c <= 'z')
            return letter(kLatin, kLower, 0);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            k.score = -10;
        return k;
    }
    if (c == 0xFFFD || c <= 0x9F || (c >= 0xE000 && c <= 0xF8FF)) {
        k.score = -10;
        return k;
    }
    if (c < 0x100) {
        switch (c) {
            case 0xA4:
            case 0xA6:
            case 0xA8:
            case 0xB4:
            case 0xB8:
            case 0xBC:
            case 0xBD:
            case 0xBE:
            case 0xAF:
            case 0xAC:
            case 0xB9:
            case 0xB3:
            case 0xB2:
                k.score = -1;
                return k;
            case 0xAA:
            case 0xBA:
            case 0xB5:
                return letter(kLatin);
            case 0xD7:
            case 0xF7:
                return k;
            default:
                break;
        }
        if (c >= 0xC0)
            return letter(kLatin, c <= 0xDE ? kUpper : kLower);
        return k;
    }
    if (c <= 0x17F)
        return letter(kLatin, LatinExtendedCase(c));
    if (c <= 0x24F || (c >= 0x1E00 && c <= 0x1EFF))
        return letter(kLatin);
    if (c >= 0x2B0 && c <= 0x2FF) {
        k.score = -1;  // spacing accents such as ˘ ˛ ˇ ˝, which stand alone in no word
        return k;
    }
    if (c >= 0x300 && c <= 0x36F)
        return letter(kLatin);  // combining accents, as windows-1258 writes Vietnamese
    if (c >= 0x386 && c <= 0x3CE) {
        if (c == 0x387)
            return k;
        return letter(kGreek, c <= 0x3AB ? kUpper : kLower);
    }
    if (c >= 0x400 && c <= 0x45F)
        return letter(kCyrillic, c <= 0x42F ? kUpper : kLower);
    if (c >= 0x460 && c <= 0x52F) {
        if (c >= 0x482 && c <= 0x489)
            return k;
        return letter(kCyrillic, c % 2 == 0 ? kUpper : kLower);
    }
    if (c >= 0x591 && c <= 0x5F4)
        return letter(kHebrew);
    if ((c >= 0x610 && c <= 0x6FF) && !(c >= 0x660 && c <= 0x66D) && c != 0x60C && c != 0x61B &&
        c != 0x61F)
        return letter(kArabic);
    if (c >= 0xE01 && c <= 0xE5B)
        return letter(kThai);
    if (c >= 0x2500 && c <= 0x259F) {
        k.score = -1;  // box drawing, where KOI8 pages differ
        return k;
    }
    if ((c >= 0x3041 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
        (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x3131 && c <= 0x318E))
        return letter(kEastAsian, kNoCase, 2);
    if (c >= 0xFF66 && c <= 0xFF9F)
        return letter(kEastAsian);  // half-width katakana: one byte each
    return k;
}

struct Reading {
    int score = 0;
    int invalid = 0;  // characters that no text holds
};

Reading Score(const WString& text) {
    std::vector<Character> chars;
    std::vector<bool> beyondAscii;
    chars.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        chars.push_back(c >= 0x10000 ? Character{kEastAsian, kNoCase, 2} : Classify(c));
        beyondAscii.push_back(c >= 0x80);
    }
    Reading r;
    const Character none;
    for (size_t i = 0; i < chars.size(); ++i) {
        const Character& k = chars[i];
        const Character& previous = i > 0 ? chars[i - 1] : none;
        const Character& next = i + 1 < chars.size() ? chars[i + 1] : none;
        int score = k.score;
        r.invalid += score <= -10;
        if (k.script != kNoScript && beyondAscii[i] && k.score == 1 &&
            previous.script == kNoScript && next.script == kNoScript)
            score = 0;  // a letter that is a word alone could as well be a sign
        if (k.script != kNoScript && previous.script != kNoScript) {
            const bool beyond = beyondAscii[i] || beyondAscii[i - 1];
            if (k.script != previous.script && beyond)
                score -= 3;
            else if (previous.letterCase == kLower && k.letterCase == kUpper && beyond)
                score -= 2;
        }
        r.score += score;
    }
    return r;
}

/// The lines that hold bytes above 0x7F, up to about 64 KB: only they tell pages apart, and
/// a line feed ends a character in every candidate page.
std::string LinesBeyondAscii(const uint8_t* data, size_t size) {
    constexpr size_t kEnough = 64 * 1024;
    std::string lines;
    size_t start = 0;
    bool high = false;
    for (size_t i = 0; i < size && lines.size() < kEnough; ++i) {
        high = high || data[i] >= 0x80;
        if (data[i] == '\n' || i + 1 == size) {
            if (high)
                lines.append(reinterpret_cast<const char*>(data + start), i + 1 - start);
            start = i + 1;
            high = false;
        }
    }
    return lines;
}

constexpr uint32_t kLatinPages[] = {1252, 28605, 10000, 850,   1250,  28592, 852,  10029,
                                    1254, 28599, 1257,  28603, 28594, 28600, 28606};
constexpr uint32_t kEastAsianPages[] = {932, 20932, 936, 54936, 950, 949};
constexpr uint32_t kCyrillicPages[] = {1251, 20866, 21866, 866, 10007, 28595};
// Each Windows page of a script beside its ISO 8859 twin.
constexpr uint32_t kTwins[][2] = {{1253, 28597}, {1256, 28596}, {1255, 28598}};

template <size_t N>
bool Among(uint32_t page, const uint32_t (&pages)[N]) {
    return std::find(std::begin(pages), std::end(pages), page) != std::end(pages);
}

template <size_t N>
void Add(std::vector<uint32_t>& to, const uint32_t (&pages)[N]) {
    to.insert(to.end(), std::begin(pages), std::end(pages));
}

/// The pages that compete with the answer: see the header. An answer that reads badly is
/// no answer, and every page competes.
std::vector<uint32_t> Relatives(uint32_t answer, bool readsBadly) {
    std::vector<uint32_t> pages;
    const bool latin = Among(answer, kLatinPages);
    const bool eastAsian = Among(answer, kEastAsianPages);
    if (latin || eastAsian || readsBadly)
        Add(pages, kLatinPages);
    if (Among(answer, kCyrillicPages) || readsBadly)
        Add(pages, kCyrillicPages);
    for (const auto& twin : kTwins)
        if (answer == twin[0] || answer == twin[1])
            Add(pages, twin);
    if (latin || eastAsian || readsBadly)
        Add(pages, kEastAsianPages);
    return pages;
}

}  // namespace

uint32_t MostPlausiblePage(uint32_t answer, const uint8_t* sample, size_t size) {
    const std::string lines = LinesBeyondAscii(sample, size);
    if (lines.empty())
        return answer;
    const auto read = [&](uint32_t page, Reading& r) {
        try {
            r = Score(DecodeCodePage(page, lines.data(), lines.size()));
            return true;
        } catch (...) {
            return false;  // a page this system does not convert
        }
    };
    Reading best;
    if (!read(answer, best))
        return answer;
    uint32_t bestPage = answer;
    const std::vector<uint32_t> candidates = Relatives(answer, best.invalid > 0);
    for (uint32_t page : candidates) {
        Reading r;
        if (page != answer && IsCodePageAvailable(page) && read(page, r) && r.score > best.score)
            best = r, bestPage = page;
    }
    return bestPage;
}

}  // namespace brisko
