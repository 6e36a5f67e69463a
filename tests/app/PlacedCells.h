// Cells handed to a record sink as an import hands them, for the tests of worksheets and views.
#pragma once

#include <cstdint>

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

}  // namespace dornel::app
