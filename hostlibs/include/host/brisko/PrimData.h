// Primitive element types of point arrays, and reading one element as a double.
#pragma once

#include <cstddef>

#include "host/HostApi.h"

namespace brisko {

enum class CPrimType : int {
    Int8 = 0,
    UInt8 = 1,
    Int16 = 2,
    UInt16 = 3,
    Int32 = 4,
    UInt32 = 5,
    Float = 6,
    Double = 7,
};

class BRISKO_API CPrimTypeInfo {
  public:
    /// Size in bytes of one element; 0 for a code outside the list.
    static size_t TypeSize(CPrimType type);
    /// The type's name ("int8" ... "uint32", "float", "double"); nullptr for an unknown code.
    static const char* TypeName(CPrimType type);
    /// The code of a name; false when the name is none of them.
    static bool FromName(const char* name, CPrimType& type);
};

class BRISKO_API CPrimData {
  public:
    /// The element at element (which need not be aligned) read as a double; 0 for an unknown type.
    static double GetWideReal(CPrimType type, const void* element);
};

}  // namespace brisko
