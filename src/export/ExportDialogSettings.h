// What the export options dialog edits.
#pragma once

#include <cstdint>

namespace dornel {

/// The fields of the export options dialog that the export filter reads back.
struct ExportDialogSettings {
    char delimiterChar = ',';        ///< tab, space, semicolon or comma
    char qualifierChar = '"';        ///< double quote, single quote, or 0 for none
    char decimalChar = '.';          ///< '.' or ','
    bool showDecimalSymbol = false;  ///< the filter's kind is TXT
    uint32_t encodingMethod = 0;     ///< 0 ANSI, 1 UTF-16, 2 UTF-8
    uint32_t codePage = 0;           ///< the ExportCodepage value
};

}  // namespace dornel
