// Fuzz target: column-break texts. The list is sorted, unique, begins with 0 and ends with the
// largest position, and its text form reads back to the same list.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "import/DatImportFilter.h"

using namespace dornel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static qorvix::IoManager manager;
    static DatImportFilter filter(manager, KIND_TXT);
    const std::string text(reinterpret_cast<const char*>(data), size);
    filter.ParseColumnBreaks(text.c_str());
    const std::vector<int32_t> breaks = filter.columnBreaks;
    if (breaks.size() < 2 || breaks.front() != 0 || breaks.back() != kNoLimit)
        std::abort();
    for (size_t i = 1; i < breaks.size(); ++i)
        if (breaks[i - 1] >= breaks[i])
            std::abort();
    const brisko::RString formatted = filter.FormatColumnBreaks();
    filter.ParseColumnBreaks(formatted.c_str());
    if (filter.columnBreaks != breaks)
        std::abort();
    return 0;
}
