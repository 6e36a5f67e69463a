// Fuzz target: option values and option strings: NormalizeOptionValue, the listing, and
// ApplyStringOptions of both filters.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"
#include "export/DatExportFilter.h"
#include "common/OptionVocabulary.h"
#include "import/DatImportFilter.h"

using namespace dornel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    const auto kind = static_cast<FileKind>(in.Below(5));
    const std::string text = in.Rest();
    static const char* const names[] = {"Delimiter", "TextQualifier", "DecimalSymbol", "delimiter",
                                        "Other"};
    qorvix::IoManager manager;
    switch (mode % 4) {
        case 0: {
            brisko::RString value(text);
            NormalizeOptionValue(names[(mode >> 2) % 5], value);
            manager.SetOption(names[(mode >> 2) % 5], value, false);
            manager.SetOption("TextQualifier", text.c_str(), false);
            FormatOptionsListing(manager);
            break;
        }
        case 1: {
            DatImportFilter filter(manager, kind);
            filter.ApplyStringOptions(brisko::RString(text));
            filter.GetOptionsString();
            // A second string on top of the saved result.
            filter.ApplyStringOptions(brisko::RString("Defaults=false;" + text));
            break;
        }
        default: {
            DatExportFilter filter(manager, kind);
            filter.ApplyStringOptions(brisko::RString(text));
            filter.ApplyStringOptions(brisko::RString("Defaults=false"));
            filter.GetOptionsString();
            break;
        }
    }
    return 0;
}
