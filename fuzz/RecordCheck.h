// What every import must hand its host, checked record by record: a begin record first, an end
// record last and once, rows that never go back, cells of a row at columns 0, 1, 2, ... in
// order, and a cell format only just before the cell it formats. A breach aborts, so that the
// fuzzer keeps the input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/qorvix/IoManager.h"
#include "host/qorvix/Records.h"

namespace dornel::fuzz {

class CheckingManager : public qorvix::IoManager {
  public:
    bool ImportObject(const qorvix::TrBase& record) override;
    /// After the import returned status: a finished import with a begin has its end too.
    void CheckFinished(int status) const;

    /// The cells as they arrived: kind 'e' empty, 'n' number, 't' text, with the value's text.
    struct Cell {
        int32_t row;
        int32_t col;
        char kind;
        double number;
        std::string text;
    };
    std::vector<Cell> cells;

  private:
    bool begun_ = false;
    bool ended_ = false;
    int32_t row_ = -1;
    int32_t nextCol_ = 0;
    bool formatPending_ = false;
    int32_t formatRow_ = 0;
    int32_t formatCol_ = 0;
};

}  // namespace dornel::fuzz
