// The character class table: one byte per UTF-16 code unit, so that the reader classifies each
// character with a single lookup.
//   0 ordinary, 1 delimiter, 2 qualifier, 3 line end (LF and CR).
// A character that is both a delimiter and a qualifier is a qualifier; a delimiter or qualifier
// equal to CR or LF takes that class instead of line end. Delimiters and qualifiers are taken
// byte by byte, as unsigned 8-bit values.
#include "import/FieldReader.h"

#include <algorithm>

namespace dornel {

void FieldReader::BuildCharClasses() {
    // Only the first 256 units are ever set to another class (see ListSpecialUnits), and the
    // table starts ordinary: rebuilding it for every import touches those alone.
    std::fill_n(charClass.begin(), 256, CLASS_ORDINARY);
    charClass[10] = CLASS_LINE_END;
    charClass[13] = CLASS_LINE_END;
    for (size_t i = 0; i < rules_.delimiters.size(); ++i)
        charClass[static_cast<unsigned char>(rules_.delimiters[i])] = CLASS_DELIMITER;
    for (size_t i = 0; i < rules_.qualifiers.size(); ++i)
        charClass[static_cast<unsigned char>(rules_.qualifiers[i])] = CLASS_QUALIFIER;
    ListSpecialUnits();
}

void FieldReader::ListSpecialUnits() {
    // Delimiters, qualifiers and line ends are all below 256: the table is only ever set byte
    // by byte (above, and where the delimiter is detected), the rest stays ordinary.
    std::array<char16_t, 8> units{};
    int count = 0;
    for (unsigned u = 0; u < 256; ++u) {
        if (charClass[u] == CLASS_ORDINARY)
            continue;
        if (count == static_cast<int>(units.size())) {
            specials.count = -1;
            return;
        }
        units[static_cast<size_t>(count++)] = static_cast<char16_t>(u);
    }
    specials.count = count;
    for (size_t k = 0; k < units.size(); ++k)
        for (char16_t& lane : specials.lanes[k])
            lane = units[static_cast<int>(k) < count ? k : 0];
}

}  // namespace dornel
