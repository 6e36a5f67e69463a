// Export records read from a JSON Lines file.
#include "RecordsFile.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "Trace.h"
#include "host/brisko/PrimData.h"

namespace dornel::app {

using namespace qorvix;

namespace {

template <class T>
T Field(const Json& j, const char* name, T fallback) {
    if (!j.contains(name))
        return fallback;
    return j.at(name).get<T>();
}

void StoreElement(brisko::CPrimType type, double value, std::vector<unsigned char>& out) {
    unsigned char bytes[8];
    switch (type) {
        case brisko::CPrimType::Int8: {
            auto v = static_cast<int8_t>(value);
            std::memcpy(bytes, &v, 1);
            break;
        }
        case brisko::CPrimType::UInt8: {
            auto v = static_cast<uint8_t>(value);
            std::memcpy(bytes, &v, 1);
            break;
        }
        case brisko::CPrimType::Int16: {
            auto v = static_cast<int16_t>(value);
            std::memcpy(bytes, &v, 2);
            break;
        }
        case brisko::CPrimType::UInt16: {
            auto v = static_cast<uint16_t>(value);
            std::memcpy(bytes, &v, 2);
            break;
        }
        case brisko::CPrimType::Int32: {
            auto v = static_cast<int32_t>(value);
            std::memcpy(bytes, &v, 4);
            break;
        }
        case brisko::CPrimType::UInt32: {
            auto v = static_cast<uint32_t>(value);
            std::memcpy(bytes, &v, 4);
            break;
        }
        case brisko::CPrimType::Float: {
            auto v = static_cast<float>(value);
            std::memcpy(bytes, &v, 4);
            break;
        }
        case brisko::CPrimType::Double:
            std::memcpy(bytes, &value, 8);
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
            StoreElement(type, v.get<double>(), out);
        ++count;
    }
    if (per < 0)
        per = 0;
}

}  // namespace

OwnedRecord ParseRecord(const std::string& line) {
    const Json j = Json::parse(line);
    if (!j.is_object() || !j.contains("record"))
        throw std::runtime_error("a line must be an object with a \"record\"");
    const std::string type = j.at("record").get<std::string>();
    OwnedRecord owned;
    if (type == "TrInitWksExp") {
        owned.record = std::make_unique<TrInitWksExp>();
    } else if (type == "TrWksCap") {
        auto r = std::make_unique<TrWksCap>();
        r->flags = Field<uint16_t>(j, "flags", 0);
        owned.record = std::move(r);
    } else if (type == "TrCell") {
        const int32_t row = Field<int32_t>(j, "row", 0);
        const int32_t col = Field<int32_t>(j, "col", 0);
        const std::string kind = Field<std::string>(j, "kind", "");
        std::unique_ptr<TrCell> cell;
        if (kind == "number")
            cell = std::make_unique<TrCell>(row, col, j.at("value").get<double>());
        else if (kind == "text")
            cell = std::make_unique<TrCell>(
                row, col, brisko::RString(Utf8ToAcp(j.at("text").get<std::string>())));
        else if (kind == "empty" || kind.empty())
            cell = std::make_unique<TrCell>(row, col);
        else
            throw std::runtime_error("unknown cell kind '" + kind + "'");
        if (j.contains("cellKind"))
            cell->kind = j.at("cellKind").get<int32_t>();
        if (j.contains("value") && kind != "number")
            cell->number = j.at("value").get<double>();
        if (j.contains("text") && kind != "text")
            cell->text = brisko::RString(Utf8ToAcp(j.at("text").get<std::string>()));
        owned.record = std::move(cell);
    } else if (type == "TrCellFmt") {
        auto r = std::make_unique<TrCellFmt>(Field<int32_t>(j, "row", 0),
                                             Field<int32_t>(j, "col", 0), 0);
        r->mask = Field<uint16_t>(j, "mask", 0);
        r->category = Field<uint8_t>(j, "category", 0);
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
