// Column breaks of fixed-width text: the option's text form and the list the reader uses.
#pragma once

#include <cstdint>
#include <vector>

#include "host/brisko/RString.h"

namespace dornel {

/// No limit on rows or columns, and the last column break.
constexpr int32_t kNoLimit = 2147483647;

/// The numbers in a text of breaks, whatever separates them: each clamped to kNoLimit, sorted,
/// duplicates dropped. "16 6,26" gives 6 16 26.
std::vector<int32_t> ColumnBreakNumbers(const char* text);
/// The reader's list: 0, the numbers, kNoLimit, sorted and unique.
std::vector<int32_t> ParseColumnBreaks(const char* text);
/// The option's text of a reader's list: the breaks between the first and the last, separated
/// by single spaces; empty for a list of fewer than two.
brisko::RString FormatColumnBreaks(const std::vector<int32_t>& breaks);

}  // namespace dornel
