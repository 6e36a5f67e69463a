// The catalogue of the ANSI code pages a user can choose.
#pragma once

#include <cstdint>
#include <vector>

#include "host/HostApi.h"
#include "host/brisko/RString.h"

namespace brisko {

/// Lists 874, 932, 936, 949, 950, 1250 to 1258 and 65001, each with a name.
/// Order 1 lists them by page number, order 2 by name; any other order is the catalogue's own,
/// which is by page number too.
class BRISKO_API CodePageInfo {
  public:
    explicit CodePageInfo(int order = 1);
    void SetOrder(int order);
    int GetCount() const;
    /// Empty for an index out of range.
    RString GetNameByIndex(int index) const;
    /// 0 for an index out of range.
    uint32_t GetPageNumberByIndex(int index) const;
    /// False for a page not listed; index is then left as it was.
    bool GetIndexFromPageNumber(uint32_t page, int& index) const;

  private:
    std::vector<int> order_;
};

}  // namespace brisko
