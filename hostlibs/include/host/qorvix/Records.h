// The records that pass between the host and a filter, each with its type identity.
#pragma once

#include <cstdint>

#include "host/HostApi.h"
#include "host/brisko/PrimData.h"
#include "host/brisko/RString.h"
#include "host/brisko/TypeInfo.h"
#include "host/qorvix/GlobalMemory.h"

namespace qorvix {

using brisko::CTypeInfo;

/// Base of every record. Rows and columns are zero-based.
class QORVIX_API TrBase {
  public:
    virtual ~TrBase();
    virtual const CTypeInfo* GetTypeInfo() const = 0;
};

/// A worksheet import begins.
class QORVIX_API TrBeginWksImp : public TrBase {
  public:
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;
};

/// A worksheet import ends.
class QORVIX_API TrEndWksImp : public TrBase {
  public:
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;
};

/// Cell kinds of a TrCell.
enum CellKind : int32_t {
    CELL_EMPTY = 0,
    CELL_TEXT = 1,
    CELL_NUMBER = 2,
    CELL_NUMBER_ALT = 3,  ///< also numeric
};

/// One cell: empty, a number or a text.
class QORVIX_API TrCell : public TrBase {
  public:
    TrCell(int32_t row, int32_t col) : row(row), col(col), kind(CELL_EMPTY) {}
    TrCell(int32_t row, int32_t col, double value)
        : row(row), col(col), kind(CELL_NUMBER), number(value) {}
    TrCell(int32_t row, int32_t col, const brisko::RString& text)
        : row(row), col(col), kind(CELL_TEXT), text(text) {}
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;

    int32_t row;
    int32_t col;
    int32_t kind;
    double number = 0.0;
    brisko::RString text;
};

/// The number format of one cell. Mask bit 0x20 marks the format text as set; category 6 is
/// dates and times.
constexpr uint16_t CELLFMT_FORMAT_TEXT = 0x20;
/// The mask an import gives a date or time format.
constexpr uint16_t CELLFMT_DATE_MASK = 0x120;
constexpr uint8_t CELLFMT_CATEGORY_DATE = 6;

class QORVIX_API TrCellFmt : public TrBase {
  public:
    TrCellFmt(int32_t row, int32_t col, int32_t target) : row(row), col(col), target(target) {}
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;

    int32_t row;
    int32_t col;
    int32_t target;
    uint16_t mask = 0;
    uint8_t category = 0;
    brisko::RString format;
};

/// A worksheet export begins; for an export to a memory block it carries where the block's
/// handle and size go. A null handle destination means an export to a file.
class QORVIX_API TrInitWksExp : public TrBase {
  public:
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;

    HGLOBAL* handleDest = nullptr;
    uint32_t* sizeDest = nullptr;
};

/// Worksheet capabilities that the following records need.
class QORVIX_API TrWksCap : public TrBase {
  public:
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;

    uint16_t flags = 0;
};

/// A point set: three coordinates per point, then attrCount attributes per point.
class QORVIX_API TrPoints : public TrBase {
  public:
    static const CTypeInfo* GetClassTypeId();
    const CTypeInfo* GetTypeInfo() const override;

    brisko::CPrimType coordType = brisko::CPrimType::Double;
    brisko::CPrimType attrType = brisko::CPrimType::Double;
    int32_t pointCount = 0;
    int32_t attrCount = 0;
    const void* coords = nullptr;
    const void* attrs = nullptr;
};

}  // namespace qorvix
