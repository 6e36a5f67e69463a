// The file kinds of the ten factories.
#pragma once

#include <cstdint>

namespace dornel {

/// The code each factory stores in its filter. The numeric order is CSV, TXT, DAT, BNA, BLN.
enum FileKind : int32_t {
    KIND_CSV = 0,
    KIND_TXT = 1,
    KIND_DAT = 2,
    KIND_BNA = 3,
    KIND_BLN = 4,
};
// Filters keep these numbers; a host that stored one reads the same kind back.
static_assert(KIND_CSV == 0 && KIND_TXT == 1 && KIND_DAT == 2 && KIND_BNA == 3 && KIND_BLN == 4);

}  // namespace dornel
