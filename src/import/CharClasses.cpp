// The character class table: one byte per UTF-16 code unit, so that the reader classifies each
// character with a single lookup.
//   0 ordinary, 1 delimiter, 2 qualifier, 3 line end (LF and CR).
// A character that is both a delimiter and a qualifier is a qualifier; a delimiter or qualifier
// equal to CR or LF takes that class instead of line end. Delimiters and qualifiers are taken
// byte by byte, as unsigned 8-bit values.
#include "import/DatImportFilter.h"

namespace dornel {

void DatImportFilter::BuildCharClasses() {
    charClass.fill(CLASS_ORDINARY);
    charClass[10] = CLASS_LINE_END;
    charClass[13] = CLASS_LINE_END;
    for (size_t i = 0; i < delimiters.size(); ++i)
        charClass[static_cast<unsigned char>(delimiters[i])] = CLASS_DELIMITER;
    for (size_t i = 0; i < qualifiers.size(); ++i)
        charClass[static_cast<unsigned char>(qualifiers[i])] = CLASS_QUALIFIER;
}

}  // namespace dornel
