// The worksheet as an aligned table, as the terminal shows it.
#pragma once

#include <cstdio>

#include "Worksheet.h"

namespace dornel::app {

/// Writes the aligned table view: a header of column letters, a row number before each row,
/// numbers on the right and texts on the left. Memory beyond the worksheet's is one line.
void WriteTable(const Worksheet& sheet, std::FILE* out);

}  // namespace dornel::app
