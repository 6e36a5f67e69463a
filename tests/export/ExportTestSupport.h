// Helpers of the export tests: a filter exporting records the test makes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "export/DatExportFilter.h"
#include "host/qorvix/Records.h"
#include "support/TestSupport.h"

namespace dornel::test {

inline std::unique_ptr<qorvix::TrBase> Text(int row, int col, const char* text) {
    return std::make_unique<qorvix::TrCell>(row, col, brisko::RString(text));
}
inline std::unique_ptr<qorvix::TrBase> Number(int row, int col, double value) {
    return std::make_unique<qorvix::TrCell>(row, col, value);
}
inline std::unique_ptr<qorvix::TrBase> Empty(int row, int col) {
    return std::make_unique<qorvix::TrCell>(row, col);
}
inline std::unique_ptr<qorvix::TrBase> DateFormat(int row, int col, const char* format) {
    auto f = std::make_unique<qorvix::TrCellFmt>(row, col, 0);
    f->mask = 0x120;
    f->category = 6;
    f->format = brisko::RString(format);
    return f;
}

using RecordList = std::vector<std::unique_ptr<qorvix::TrBase>>;

/// An export of one kind into a folder of its own.
struct Export {
    explicit Export(FileKind kind) : filter(manager, kind) {}
    /// Begins, sends every record (stopping at a status other than 0), ends; the file's bytes.
    std::string Run(RecordList records, int* endStatus = nullptr) {
        path = dir.Path("out.txt");
        EXPECT_EQ(filter.BeginExport(brisko::RString(path), false), qorvix::EXPORT_DONE);
        for (auto& r : records)
            if (filter.ExportObject(*r) != qorvix::EXPORT_DONE)
                break;
        const int status = filter.EndExport();
        if (endStatus)
            *endStatus = status;
        return ReadBytes(path);
    }
    TempDir dir;
    RecordingManager manager;
    DatExportFilter filter;
    std::string path;
};

template <class... T>
RecordList Records(T&&... records) {
    RecordList list;
    (list.push_back(std::forward<T>(records)), ...);
    return list;
}

}  // namespace dornel::test
