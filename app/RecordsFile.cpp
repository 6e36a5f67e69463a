// Export records read from a JSON Lines file.
#include "RecordsFile.h"

#include <cmath>
#include <type_traits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <fstream>
#include <stdexcept>

#include "Trace.h"
#include "host/brisko/PrimData.h"

namespace dornel::app {

using namespace qorvix;

namespace {

std::string NumberText(const Json& v) {
    return v.dump();
}

/// A field that must be there and be of its type; the error names it and what it holds.
const Json& Require(const Json& j, const char* name, bool (Json::*isType)() const,
                    const char* typeName) {
    if (!j.contains(name))
        throw std::runtime_error(std::string("\"") + name + "\" is missing: a " +
                                 j.value("record", std::string("record")) + " needs it here");
    const Json& v = j.at(name);
    if (!(v.*isType)())
        throw std::runtime_error(std::string("\"") + name + "\" must be " + typeName + ", not " +
                                 NumberText(v));
    return v;
}

double RequireNumber(const Json& j, const char* name) {
    return Require(j, name, &Json::is_number, "a number").get<double>();
}

std::string RequireText(const Json& j, const char* name) {
    return Require(j, name, &Json::is_string, "a text").get<std::string>();
}

template <class T>
T Field(const Json& j, const char* name, T fallback) {
    if (!j.contains(name))
        return fallback;
    if constexpr (std::is_same_v<T, std::string>)
        return RequireText(j, name);
    else
        return Require(j, name, &Json::is_number, "a number").get<T>();
}

/// A JSON number as a whole number within [low, high]; anything else is an error that names
/// the field and says what was wrong, instead of a value that silently wraps or is cut.
int64_t WholeNumber(const Json& v, const std::string& what, int64_t low, int64_t high) {
    if (!v.is_number())
        throw std::runtime_error(what + " must be a number, not " + NumberText(v));
    bool inRange;
    int64_t number = 0;
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        inRange = u <= static_cast<uint64_t>(high);
        number = inRange ? static_cast<int64_t>(u) : 0;
    } else if (v.is_number_integer()) {
        number = v.get<int64_t>();
        inRange = number >= low && number <= high;
    } else {
        const double d = v.get<double>();
        if (!std::isfinite(d) || std::floor(d) != d)
            throw std::runtime_error(what + " " + NumberText(v) + " is not a whole number");
        inRange = d >= static_cast<double>(low) && d <= static_cast<double>(high);
        number = inRange ? static_cast<int64_t>(d) : 0;
    }
    if (!inRange)
        throw std::runtime_error(what + " " + NumberText(v) + " is outside " + std::to_string(low) +
                                 " to " + std::to_string(high));
    return number;
}

template <class T>
T Whole(const Json& j, const char* name, T fallback) {
    if (!j.contains(name))
        return fallback;
    return static_cast<T>(WholeNumber(j.at(name), name, std::numeric_limits<T>::min(),
                                      std::numeric_limits<T>::max()));
}

template <class T>
void PutBytes(T v, unsigned char* bytes) {
    std::memcpy(bytes, &v, sizeof v);
}

/// One element of a point or attribute array, checked against its element type.
void StoreElement(brisko::CPrimType type, const Json& element, std::vector<unsigned char>& out) {
    if (!element.is_number())
        throw std::runtime_error("an element must be a number, not " + NumberText(element));
    const char* name = brisko::CPrimTypeInfo::TypeName(type);
    const std::string what = std::string("the ") + (name ? name : "") + " element";
    unsigned char bytes[8];
    switch (type) {
        case brisko::CPrimType::Int8:
            PutBytes(static_cast<int8_t>(WholeNumber(element, what, INT8_MIN, INT8_MAX)), bytes);
            break;
        case brisko::CPrimType::UInt8:
            PutBytes(static_cast<uint8_t>(WholeNumber(element, what, 0, UINT8_MAX)), bytes);
            break;
        case brisko::CPrimType::Int16:
            PutBytes(static_cast<int16_t>(WholeNumber(element, what, INT16_MIN, INT16_MAX)), bytes);
            break;
        case brisko::CPrimType::UInt16:
            PutBytes(static_cast<uint16_t>(WholeNumber(element, what, 0, UINT16_MAX)), bytes);
            break;
        case brisko::CPrimType::Int32:
            PutBytes(static_cast<int32_t>(WholeNumber(element, what, INT32_MIN, INT32_MAX)), bytes);
            break;
        case brisko::CPrimType::UInt32:
            PutBytes(static_cast<uint32_t>(WholeNumber(element, what, 0, UINT32_MAX)), bytes);
            break;
        case brisko::CPrimType::Float: {
            const double d = element.get<double>();
            if (std::fabs(d) > std::numeric_limits<float>::max())
                throw std::runtime_error(what + " " + NumberText(element) +
                                         " is outside the range of a float");
            PutBytes(static_cast<float>(d), bytes);
            break;
        }
        case brisko::CPrimType::Double:
            PutBytes(element.get<double>(), bytes);
            break;
    }
    out.insert(out.end(), bytes, bytes + brisko::CPrimTypeInfo::TypeSize(type));
}

brisko::CPrimType PrimType(const Json& j, const char* name) {
    brisko::CPrimType type = brisko::CPrimType::Double;
    const std::string text = Field<std::string>(j, name, "double");
    if (!brisko::CPrimTypeInfo::FromName(text.c_str(), type))
        throw std::runtime_error(std::string(name) + " '" + text + "' is no element type");
    return type;
}

/// Rows of numbers into an element array; the number of rows and of elements per row.
void FillArray(const Json& rows, brisko::CPrimType type, std::vector<unsigned char>& out,
               int32_t& count, int32_t& per) {
    count = 0;
    per = -1;
    for (const Json& row : rows) {
        if (!row.is_array())
            throw std::runtime_error("a point or attribute row must be an array");
        if (per >= 0 && static_cast<int32_t>(row.size()) != per)
            throw std::runtime_error("all rows of an array must have the same length");
        per = static_cast<int32_t>(row.size());
        for (const Json& v : row)
            StoreElement(type, v, out);
        ++count;
    }
    if (per < 0)
        per = 0;
}

}  // namespace

OwnedRecord ParseRecord(const std::string& line) {
    Json j;
    try {
        j = Json::parse(line);
    } catch (const Json::parse_error& e) {
        throw std::runtime_error("not one JSON object (at byte " + std::to_string(e.byte) +
                                 "); each line holds a record such as "
                                 "{\"record\":\"TrCell\",\"row\":0,\"col\":0,\"kind\":\"number\","
                                 "\"value\":1}");
    }
    if (!j.is_object() || !j.contains("record"))
        throw std::runtime_error("a line must be an object with a \"record\"");
    const std::string type = RequireText(j, "record");
    OwnedRecord owned;
    if (type == "TrInitWksExp") {
        owned.record = std::make_unique<TrInitWksExp>();
    } else if (type == "TrWksCap") {
        auto r = std::make_unique<TrWksCap>();
        r->flags = Whole<uint16_t>(j, "flags", 0);
        owned.record = std::move(r);
    } else if (type == "TrCell") {
        const int32_t row = Whole<int32_t>(j, "row", 0);
        const int32_t col = Whole<int32_t>(j, "col", 0);
        const std::string kind = Field<std::string>(j, "kind", "");
        std::unique_ptr<TrCell> cell;
        if (kind == "number")
            cell = std::make_unique<TrCell>(row, col, RequireNumber(j, "value"));
        else if (kind == "text")
            cell = std::make_unique<TrCell>(row, col,
                                            brisko::RString(Utf8ToAcp(RequireText(j, "text"))));
        else if (kind == "empty" || kind.empty())
            cell = std::make_unique<TrCell>(row, col);
        else
            throw std::runtime_error("unknown cell kind '" + kind + "'");
        if (j.contains("cellKind"))
            cell->kind = Whole<int32_t>(j, "cellKind", 0);
        if (j.contains("value") && kind != "number")
            cell->number = RequireNumber(j, "value");
        if (j.contains("text") && kind != "text")
            cell->text = brisko::RString(Utf8ToAcp(RequireText(j, "text")));
        owned.record = std::move(cell);
    } else if (type == "TrCellFmt") {
        auto r = std::make_unique<TrCellFmt>(Whole<int32_t>(j, "row", 0),
                                             Whole<int32_t>(j, "col", 0), 0);
        r->mask = Whole<uint16_t>(j, "mask", 0);
        r->category = Whole<uint8_t>(j, "category", 0);
        r->format = brisko::RString(Utf8ToAcp(Field<std::string>(j, "format", "")));
        owned.record = std::move(r);
    } else if (type == "TrPoints") {
        auto r = std::make_unique<TrPoints>();
        r->coordType = PrimType(j, "coordType");
        r->attrType = PrimType(j, "attrType");
        int32_t per = 0;
        FillArray(j.value("points", Json::array()), r->coordType, owned.coords, r->pointCount, per);
        if (r->pointCount > 0 && per != 3)
            throw std::runtime_error("a point has three coordinates");
        int32_t attrRows = 0;
        FillArray(j.value("attributes", Json::array()), r->attrType, owned.attrs, attrRows,
                  r->attrCount);
        if (attrRows != 0 && attrRows != r->pointCount)
            throw std::runtime_error("attributes need one row per point");
        r->coords = owned.coords.empty() ? nullptr : owned.coords.data();
        r->attrs = owned.attrs.empty() ? nullptr : owned.attrs.data();
        owned.record = std::move(r);
    } else {
        throw std::runtime_error("unknown record '" + type + "'");
    }
    return owned;
}

std::vector<OwnedRecord> ReadRecordsFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read the records file '" + path + "'");
    std::vector<OwnedRecord> records;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        try {
            records.push_back(ParseRecord(line));
        } catch (const std::exception& e) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + e.what());
        }
    }
    return records;
}

}  // namespace dornel::app
