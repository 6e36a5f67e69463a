// Fuzz target: column-break texts. The list is sorted, unique, begins with 0 and ends with the
// largest position, and its text form reads back to the same list.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/ColumnBreaks.h"

using namespace dornel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<int32_t> breaks = ParseColumnBreaks(text.c_str());
    if (breaks.size() < 2 || breaks.front() != 0 || breaks.back() != kNoLimit)
        std::abort();
    for (size_t i = 1; i < breaks.size(); ++i)
        if (breaks[i - 1] >= breaks[i])
            std::abort();
    const brisko::RString formatted = FormatColumnBreaks(breaks);
    if (ParseColumnBreaks(formatted.c_str()) != breaks)
        std::abort();
    return 0;
}
