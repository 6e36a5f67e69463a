// Fuzz target: a worksheet of numbers, texts and empty cells written as CSV reads back as the
// same cells. The cells are those CSV keeps: numbers of at most 14 significant digits, texts of
// letters (never taken for numbers), empty cells, of which those at the end of a row are not
// written and so are not read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "RecordCheck.h"
#include "export/DatExportFilter.h"
#include "host/brisko/Exception.h"
#include "host/qorvix/Records.h"
#include "import/DatImportFilter.h"

using namespace dornel;
using namespace qorvix;

namespace {

using Cell = fuzz::CheckingManager::Cell;

std::vector<std::vector<Cell>> MakeSheet(fuzz::FuzzInput& in) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<std::vector<Cell>> rows(1 + in.Below(8));
    for (size_t r = 0; r < rows.size(); ++r) {
        const uint32_t columns = in.Below(7);
        for (uint32_t c = 0; c < columns; ++c) {
            Cell cell{static_cast<int32_t>(r), static_cast<int32_t>(c), 'e', 0.0, {}};
            switch (in.Below(3)) {
                case 0:
                    break;
                case 1: {
                    const auto hundredths = static_cast<int16_t>(in.Byte() << 8 | in.Byte());
                    cell.kind = 'n';
                    cell.number = hundredths / 100.0;
                    break;
                }
                default:
                    cell.kind = 't';
                    for (uint32_t n = 1 + in.Below(6); n > 0; --n)
                        cell.text += letters[in.Below(sizeof letters - 1)];
                    break;
            }
            rows[r].push_back(cell);
        }
    }
    return rows;
}

/// Writes the sheet as the host sends a worksheet: a blank row as one empty cell, and every
/// text in one record that takes each text in turn.
bool Export(const std::vector<std::vector<Cell>>& rows, const std::string& path) {
    IoManager manager;
    DatExportFilter filter(manager, KIND_CSV);
    if (filter.BeginExport(brisko::RString(path), false) != EXPORT_DONE)
        std::abort();
    TrInitWksExp init;
    if (filter.ExportObject(init) != EXPORT_DONE)
        std::abort();
    TrCell text(0, 0, brisko::RString());
    for (size_t r = 0; r < rows.size(); ++r) {
        const int32_t row = static_cast<int32_t>(r);
        if (rows[r].empty()) {
            TrCell blank(row, 0);
            filter.ExportObject(blank);
        }
        for (const Cell& c : rows[r]) {
            ExportStatus status;
            if (c.kind == 'n') {
                TrCell cell(row, c.col, c.number);
                status = filter.ExportObject(cell);
            } else if (c.kind == 't') {
                text.row = row;
                text.col = c.col;
                text.text.assign(c.text.data(), c.text.size());
                status = filter.ExportObject(text);
            } else {
                TrCell cell(row, c.col);
                status = filter.ExportObject(cell);
            }
            if (status != EXPORT_DONE)
                std::abort();
        }
    }
    return filter.EndExport() == EXPORT_DONE;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::vector<std::vector<Cell>> rows = MakeSheet(in);
    const std::string path = fuzz::ScratchPath("roundtrip.csv");
    if (!Export(rows, path))
        return 0;  // nothing was written

    fuzz::CheckingManager manager;
    DatImportFilter filter(manager, KIND_CSV);
    manager.CheckFinished(filter.ImportFile(brisko::RString(path), false));

    std::vector<Cell> expected;
    for (const auto& row : rows) {
        size_t end = row.size();
        while (end > 0 && row[end - 1].kind == 'e')
            --end;
        expected.insert(expected.end(), row.begin(), row.begin() + static_cast<long>(end));
    }
    if (manager.cells.size() != expected.size())
        std::abort();
    for (size_t i = 0; i < expected.size(); ++i) {
        const Cell& a = manager.cells[i];
        const Cell& b = expected[i];
        if (a.row != b.row || a.col != b.col || a.kind != b.kind || a.number != b.number ||
            a.text != b.text)
            std::abort();
    }
    return 0;
}
