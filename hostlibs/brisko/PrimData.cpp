// Primitive element types and reading one element as a double.
#include "host/brisko/PrimData.h"

#include <cstdint>
#include <cstring>

namespace brisko {

namespace {

struct TypeRow {
    CPrimType type;
    size_t size;
    const char* name;
};

constexpr TypeRow kTypes[] = {
    {CPrimType::Int8, 1, "int8"},   {CPrimType::UInt8, 1, "uint8"},
    {CPrimType::Int16, 2, "int16"}, {CPrimType::UInt16, 2, "uint16"},
    {CPrimType::Int32, 4, "int32"}, {CPrimType::UInt32, 4, "uint32"},
    {CPrimType::Float, 4, "float"}, {CPrimType::Double, 8, "double"},
};

const TypeRow* Find(CPrimType type) {
    for (const TypeRow& row : kTypes)
        if (row.type == type)
            return &row;
    return nullptr;
}

template <class T>
double Load(const void* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return static_cast<double>(value);
}

}  // namespace

size_t CPrimTypeInfo::TypeSize(CPrimType type) {
    const TypeRow* row = Find(type);
    return row ? row->size : 0;
}

const char* CPrimTypeInfo::TypeName(CPrimType type) {
    const TypeRow* row = Find(type);
    return row ? row->name : nullptr;
}

bool CPrimTypeInfo::FromName(const char* name, CPrimType& type) {
    for (const TypeRow& row : kTypes) {
        if (std::strcmp(row.name, name) == 0) {
            type = row.type;
            return true;
        }
    }
    return false;
}

double CPrimData::GetWideReal(CPrimType type, const void* element) {
    switch (type) {
        case CPrimType::Int8:
            return Load<int8_t>(element);
        case CPrimType::UInt8:
            return Load<uint8_t>(element);
        case CPrimType::Int16:
            return Load<int16_t>(element);
        case CPrimType::UInt16:
            return Load<uint16_t>(element);
        case CPrimType::Int32:
            return Load<int32_t>(element);
        case CPrimType::UInt32:
            return Load<uint32_t>(element);
        case CPrimType::Float:
            return Load<float>(element);
        case CPrimType::Double:
            return Load<double>(element);
    }
    return 0.0;
}

}  // namespace brisko
