// Checking a detector's answer against the pages it is known to confuse. Internal to brisko.
#pragma once

#include <cstddef>
#include <cstdint>

namespace brisko {

/// The page among the detector's answer and its close relatives whose text reads most
/// plausibly; the answer itself unless another one reads better.
///
/// The relatives: of a Latin answer, every Latin page (windows-1252, ISO-8859-15, Mac Roman,
/// DOS 850, the Central European pages with DOS 852 and Mac Central European, the Turkish and
/// Baltic pages, their ISO 8859 twins, and ISO 8859-4, -10 and -16) and the
/// East Asian pages (Shift-JIS, EUC-JP, GBK, GB18030, Big5, UHC), which a detector sometimes
/// takes for Latin text, and the other way round; of a Cyrillic answer, the Cyrillic pages
/// (windows-1251, KOI8-R, KOI8-U, DOS 866, Mac Cyrillic, ISO-8859-5); of a Greek, Arabic or
/// Hebrew one, its twin. Pairs of Cyrillic, Greek or Arabic letters are valid characters in the
/// East Asian pages too, so those compete with such an answer only where it reads badly. An
/// answer that reads badly (holds a byte not valid in it, or a control character) is no
/// answer: then all of these pages compete.
///
/// The rule: the lines of the sample that hold bytes above 0x7F (up to 64 KB of them) are
/// decoded in each candidate and scored, character by character:
/// - a letter of any script scores 1, a letter of two bytes (ideographs, kana, Hangul) 2, a
///   letter beyond ASCII that stands alone between signs 0 (it could as well be a sign);
/// - a byte that is not valid in the page, a control character or a private-use character
///   scores -10: real text holds none;
/// - a rare sign that stands where a relative has a letter (¤ ¦ ¨ ´ ¸ ¼ ½ ¾, box drawing)
///   scores -1;
/// - a letter next to a letter of another script, as in a word, scores -3, and an upper-case
///   letter after a lower-case one, one of them beyond ASCII, -2: words are written in one
///   script and capitals start them.
/// The highest score wins; on a tie the detector's answer stays.
uint32_t MostPlausiblePage(uint32_t answer, const uint8_t* sample, size_t size);

}  // namespace brisko
