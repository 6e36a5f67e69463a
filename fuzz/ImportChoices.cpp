// Import options from fuzzer bytes.
#include "ImportChoices.h"

#include <iterator>

namespace dornel::fuzz {

namespace {

// The set "-" and the last two hold units that numbers are made of; the last holds more than
// eight units that are not ordinary, which the reader searches for one at a time.
const char* const kDelimiterSets[] = {",",  "\t", ";",  " ", ",\t; ", "|",   "=",
                                      ", ", "\r", "\"", "",  "-",     "e5.", ",;|\t =:/!+"};
const char* const kQualifierSets[] = {"\"", "'", "\"'", "", ",", "\n", "."};

}  // namespace

ImportChoices::ImportChoices(FuzzInput& in)
    : kind(static_cast<FileKind>(in.Below(5))),
      flags(in.Byte()),
      textType(static_cast<int>(in.Below(4)) - 1),
      delimiters(kDelimiterSets[in.Below(std::size(kDelimiterSets))]),
      qualifiers(kQualifierSets[in.Below(std::size(kQualifierSets))]),
      breaks(in.Text(12)),
      startRow(static_cast<int>(in.Below(4))),
      maxRow(static_cast<int>(in.Below(8)) - 1),
      maxCol(static_cast<int>(in.Below(8)) - 1) {}

void ImportChoices::Apply(qorvix::IoManager& manager) const {
    if (textType >= 0)
        manager.SetOption("ClipboardTextType", textType, false);
    manager.SetOption("UseFixedWidth", (flags & 1) != 0, false);
    manager.SetOption("EatWhitespace", (flags & 2) != 0, false);
    manager.SetOption("SkipExtraDelimiters", (flags & 4) != 0, false);
    manager.SetOption("AggressiveConversion", (flags & 8) != 0, false);
    manager.SetOption("DateTimeSupport", (flags & 16) != 0, false);
    manager.SetOption("Delimiter", delimiters, false);
    manager.SetOption("TextQualifier", qualifiers, false);
    manager.SetOption("ColumnBreaks", breaks.c_str(), false);
    manager.SetOption("StartRow", startRow, false);
    manager.SetOption("MaxRow", maxRow, false);
    manager.SetOption("MaxCol", maxCol, false);
}

}  // namespace dornel::fuzz
