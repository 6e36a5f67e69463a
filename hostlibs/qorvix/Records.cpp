// Type identities of the host records.
#include "host/qorvix/Records.h"

namespace qorvix {

TrBase::~TrBase() = default;

#define DORNEL_RECORD_IDENTITY(Record)             \
    const CTypeInfo* Record::GetClassTypeId() {    \
        static const CTypeInfo identity(#Record);  \
        return &identity;                          \
    }                                              \
    const CTypeInfo* Record::GetTypeInfo() const { \
        return GetClassTypeId();                   \
    }

DORNEL_RECORD_IDENTITY(TrBeginWksImp)
DORNEL_RECORD_IDENTITY(TrEndWksImp)
DORNEL_RECORD_IDENTITY(TrCell)
DORNEL_RECORD_IDENTITY(TrCellFmt)
DORNEL_RECORD_IDENTITY(TrInitWksExp)
DORNEL_RECORD_IDENTITY(TrWksCap)
DORNEL_RECORD_IDENTITY(TrPoints)

#undef DORNEL_RECORD_IDENTITY

}  // namespace qorvix
