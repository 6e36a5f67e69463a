// Export records made of worksheet rows.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "Worksheet.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

/// Called for each record in order until it answers false.
using RecordVisitor = std::function<bool(qorvix::TrBase&)>;

/// Export records made of rows, one at a time: rows in order, empty cells as records of their
/// own, a row without cells (and each row skipped) as one empty cell, and a date format before
/// each dated number whose format differs from the last one's.
class RowRecords {
  public:
    explicit RowRecords(const RecordVisitor& visit);
    bool Begin() {
        qorvix::TrInitWksExp init;
        return visit_(init);
    }
    /// One row; texts holds its text cells' texts. False when a record was refused.
    bool Row(int32_t row, std::span<const Cell> cells, std::string_view texts);

  private:
    const RecordVisitor& visit_;
    int32_t nextRow_ = 0;
    int date_ = 0, time_ = 0;
    // One text record serves every text cell, so that its buffer is allocated once.
    qorvix::TrCell text_{0, 0, brisko::RString()};
    const bool acpIsUtf8_;  // worksheet texts are then already in the system page
};

/// The worksheet as export records.
void VisitWorksheet(const Worksheet& sheet, const RecordVisitor& visit);

}  // namespace dornel::app
