// Fuzz target: the reader and the converter over arbitrary bytes under every option a fuzzer
// byte can choose, from a file or a memory block, with the preview now and then. Every record
// handed to the host is checked as it arrives (RecordCheck.h).
#include <cstdint>

#include "FuzzInput.h"
#include "ImportChoices.h"
#include "RecordCheck.h"
#include "host/brisko/Exception.h"
#include "import/DatImportFilter.h"

using namespace dornel;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Small blocks put block edges inside most inputs.
    brisko::CEncodedBufferedFile::SetDefaultBlockSize(61);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const fuzz::ImportChoices c(in);
    const std::string body = in.Rest();

    fuzz::CheckingManager manager;
    c.Apply(manager);
    DatImportFilter filter(manager, c.kind);
    try {
        if (c.flags & 32) {
            manager.CheckFinished(
                filter.ImportFromMemory(body.data(), static_cast<uint32_t>(body.size()), false));
        } else {
            const std::string path = fuzz::WriteScratch("import.txt", body);
            if (c.flags & 64) {
                ImportDialogSettings s;
                s.delimited = (c.flags & 1) == 0;
                s.delimiterText = brisko::RString(c.delimiters);
                s.qualifierText = brisko::RString(c.qualifiers);
                s.columnBreaksText = brisko::RString(c.breaks);
                s.startRow = c.startRow;
                s.skipLeadingSpaces = (c.flags & 2) != 0;
                s.consecutiveAsOne = (c.flags & 4) != 0;
                s.commaDecimal = (c.flags & 128) != 0;
                s.fileIsUnicode = c.textType == 1;
                s.encodingChoice = (c.flags & 8) ? 2 : 0;
                filter.reading.reader = std::make_unique<brisko::CEncodedBufferedFile>(
                    brisko::RString(path), "r", 3, 0, 0, false, false);
                std::vector<PreviewCell> cells;
                filter.BuildPreview(s, cells, 50);
                filter.reading.reader.reset();
            } else {
                manager.CheckFinished(filter.ImportFile(brisko::RString(path), false));
            }
        }
    } catch (const brisko::Exception&) {
        // A file that reads as empty is a reported error, not a fault.
    }
    return 0;
}
