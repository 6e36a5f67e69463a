// Column breaks in text and as a list.
#include "common/ColumnBreaks.h"

#include <algorithm>
#include <string>

namespace dornel {

std::vector<int32_t> ColumnBreakNumbers(const char* text) {
    std::vector<int32_t> list;
    const char* p = text ? text : "";
    while (*p) {
        if (*p < '0' || *p > '9') {
            ++p;
            continue;
        }
        int64_t value = 0;
        for (; *p >= '0' && *p <= '9'; ++p)
            value = std::min<int64_t>(value * 10 + (*p - '0'), kNoLimit);
        list.push_back(static_cast<int32_t>(value));
    }
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

std::vector<int32_t> ParseColumnBreaks(const char* text) {
    std::vector<int32_t> list = ColumnBreakNumbers(text);
    if (list.empty() || list.front() != 0)
        list.insert(list.begin(), 0);
    if (list.back() != kNoLimit)
        list.push_back(kNoLimit);
    return list;
}

brisko::RString FormatColumnBreaks(const std::vector<int32_t>& breaks) {
    std::string text;
    if (breaks.size() < 2)
        return brisko::RString();
    for (size_t i = 1; i + 1 < breaks.size(); ++i) {
        if (i > 1)
            text += ' ';
        text += std::to_string(breaks[i]);
    }
    return brisko::RString(text);
}

}  // namespace dornel
