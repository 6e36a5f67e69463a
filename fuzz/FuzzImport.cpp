// Fuzz target: the reader and the converter over arbitrary bytes under every option a fuzzer
// byte can choose, from a file or a memory block, with the preview now and then. Every record
// handed to the host is checked as it arrives (RecordCheck.h).
#include <cstdint>

#include "FuzzInput.h"
#include "RecordCheck.h"
#include "host/brisko/Exception.h"
#include "import/DatImportFilter.h"

using namespace dornel;

namespace {

const char* const kDelimiterSets[] = {",", "\t", ";", " ", ",\t; ", "|", "=", ", ", "\r", "\"", ""};
const char* const kQualifierSets[] = {"\"", "'", "\"'", "", ",", "\n"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Small blocks put block edges inside most inputs.
    brisko::CEncodedBufferedFile::SetDefaultBlockSize(61);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const auto kind = static_cast<FileKind>(in.Below(5));
    const uint8_t flags = in.Byte();
    const int textType = static_cast<int>(in.Below(4)) - 1;  // -1 absent, 0, 1, 2
    const char* delimiters = kDelimiterSets[in.Below(std::size(kDelimiterSets))];
    const char* qualifiers = kQualifierSets[in.Below(std::size(kQualifierSets))];
    const std::string breaks = in.Text(12);
    const int startRow = static_cast<int>(in.Below(4));
    const int maxRow = static_cast<int>(in.Below(8)) - 1;
    const int maxCol = static_cast<int>(in.Below(8)) - 1;
    const std::string body = in.Rest();

    fuzz::CheckingManager manager;
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
    DatImportFilter filter(manager, kind);
    try {
        if (flags & 32) {
            manager.CheckFinished(
                filter.ImportFromMemory(body.data(), static_cast<uint32_t>(body.size()), false));
        } else {
            const std::string path = fuzz::WriteScratch("import.txt", body);
            if (flags & 64) {
                ImportDialogSettings s;
                s.delimited = (flags & 1) == 0;
                s.delimiterText = brisko::RString(delimiters);
                s.qualifierText = brisko::RString(qualifiers);
                s.columnBreaksText = brisko::RString(breaks);
                s.startRow = startRow;
                s.skipLeadingSpaces = (flags & 2) != 0;
                s.consecutiveAsOne = (flags & 4) != 0;
                s.commaDecimal = (flags & 128) != 0;
                s.fileIsUnicode = textType == 1;
                s.encodingChoice = (flags & 8) ? 2 : 0;
                filter.reader = std::make_unique<brisko::CEncodedBufferedFile>(
                    brisko::RString(path), "r", 3, 0, 0, false, false);
                std::vector<PreviewCell> cells;
                filter.BuildPreview(s, cells, 50);
                filter.reader.reset();
            } else {
                manager.CheckFinished(filter.ImportFile(brisko::RString(path), false));
            }
        }
    } catch (const brisko::Exception&) {
        // A file that reads as empty is a reported error, not a fault.
    }
    return 0;
}
