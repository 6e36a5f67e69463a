// The catalogue of ANSI code pages.
#include "host/brisko/CodePageInfo.h"

#include <algorithm>
#include <cstring>

namespace brisko {

namespace {

struct PageRow {
    uint32_t page;
    const char* name;
};

constexpr PageRow kPages[] = {
    {874, "Thai"},
    {932, "Japanese (Shift-JIS)"},
    {936, "Chinese Simplified (GBK)"},
    {949, "Korean"},
    {950, "Chinese Traditional (Big5)"},
    {1250, "Central European"},
    {1251, "Cyrillic"},
    {1252, "Western European"},
    {1253, "Greek"},
    {1254, "Turkish"},
    {1255, "Hebrew"},
    {1256, "Arabic"},
    {1257, "Baltic"},
    {1258, "Vietnamese"},
    {65001, "Unicode (UTF-8)"},
};
constexpr int kPageCount = static_cast<int>(sizeof kPages / sizeof kPages[0]);

}  // namespace

CodePageInfo::CodePageInfo(int order) {
    SetOrder(order);
}

void CodePageInfo::SetOrder(int order) {
    order_.resize(kPageCount);
    for (int i = 0; i < kPageCount; ++i)
        order_[i] = i;
    if (order == 2)
        std::sort(order_.begin(), order_.end(),
                  [](int a, int b) { return std::strcmp(kPages[a].name, kPages[b].name) < 0; });
}

int CodePageInfo::GetCount() const {
    return kPageCount;
}

RString CodePageInfo::GetNameByIndex(int index) const {
    if (index < 0 || index >= kPageCount)
        return RString();
    return RString(kPages[order_[index]].name);
}

uint32_t CodePageInfo::GetPageNumberByIndex(int index) const {
    if (index < 0 || index >= kPageCount)
        return 0;
    return kPages[order_[index]].page;
}

bool CodePageInfo::GetIndexFromPageNumber(uint32_t page, int& index) const {
    for (int i = 0; i < kPageCount; ++i) {
        if (kPages[order_[i]].page == page) {
            index = i;
            return true;
        }
    }
    return false;
}

}  // namespace brisko
