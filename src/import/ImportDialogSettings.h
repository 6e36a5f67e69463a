// What the import options dialog edits: the settings a preview and an import are built from.
#pragma once

#include <cstdint>

#include "host/brisko/RString.h"

namespace dornel {

/// The fields of the import options dialog that the import filter reads back.
struct ImportDialogSettings {
    brisko::RString delimiterText;     ///< one character per delimiter
    brisko::RString qualifierText;     ///< one character per qualifier
    brisko::RString columnBreaksText;  ///< text of the column-break edit
    bool skipLeadingSpaces = false;    ///< EatWhitespace
    bool consecutiveAsOne = false;     ///< SkipExtraDelimiters
    bool commaDecimal = false;         ///< DecimalSymbol is ',' when set
    bool delimited = false;            ///< UseFixedWidth is its negation
    int32_t startRow = 0;              ///< lines skipped before the data
    int32_t codePage = 0;              ///< ImportCodePage
    int32_t fileEncoding = 0;          ///< the encoding the import's reader opened the file with
    int32_t fileIsUnicode = 0;         ///< non-zero when the file was found to be 16-bit text
    int32_t encodingChoice = 0;        ///< 2 for UTF-16, 0 for 8-bit text through codePage
};

}  // namespace dornel
