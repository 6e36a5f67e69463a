// Cells handed to a record sink as an import hands them, and what a view wrote, for the tests
// of worksheets and views.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "RecordSink.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

struct Placed {
    int32_t row;
    int32_t col;
    const char* text = nullptr;  // null: the number row * 10 + col
};

/// Hands the cell a Placed describes to a sink.
inline void Feed(RecordSink& sink, const Placed& p) {
    if (p.text) {
        qorvix::TrCell cell(p.row, p.col, brisko::RString(p.text));
        sink.Take(cell);
    } else {
        qorvix::TrCell cell(p.row, p.col, p.row * 10.0 + p.col);
        sink.Take(cell);
    }
}

/// What a view wrote to a file, read back.
template <class Write>
std::string Captured(Write write) {
    std::FILE* f = std::tmpfile();
    write(f);
    std::rewind(f);
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    std::fclose(f);
    return out;
}

}  // namespace dornel::app
