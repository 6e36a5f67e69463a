// The worksheet as an aligned table, as the terminal shows it.
#pragma once

#include <cstddef>
#include <cstdio>

#include "Worksheet.h"

namespace dornel::app {

/// Writes the aligned table view: a header of column letters, a row number before each row,
/// numbers on the right and texts on the left. Memory beyond the worksheet's is a few blocks of
/// lines. A large sheet is made into lines on two threads, and written in order.
void WriteTable(const Worksheet& sheet, std::FILE* out);

/// How the table view splits its rows: into blocks whose rows reach cells cells (an empty row
/// counts one), made into lines on two threads from sharedFrom blocks on. A write per line costs
/// more than making the line, and a second thread more to start than a small sheet saves.
struct TableBlocks {
    size_t cells = 8192;
    size_t sharedFrom = 4;
};
/// WriteTable with blocks of another size: for tests, which reach the places where blocks and
/// threads meet with few cells.
void WriteTable(const Worksheet& sheet, std::FILE* out, TableBlocks blocks);

}  // namespace dornel::app
