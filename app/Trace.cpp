// The JSON Lines trace.
#include "Trace.h"

#include <cmath>

#include "Output.h"
#include "host/brisko/CodePage.h"
#include "host/brisko/PrimData.h"
#include "host/qorvix/Records.h"

namespace dornel::app {

void Trace::Write(const Json& event) {
    std::string line = event.dump(-1, ' ', false, Json::error_handler_t::replace);
    line += '\n';
    WriteOutput(out_, line);
}

std::string AcpToUtf8(std::string_view text) {
    if (brisko::GetSystemCodePage() == brisko::kCodePageUtf8)
        return std::string(text);
    return brisko::ToUtf8(brisko::DecodeCodePage(0, text.data(), text.size()));
}

std::string Utf8ToAcp(std::string_view text) {
    if (brisko::GetSystemCodePage() == brisko::kCodePageUtf8)
        return std::string(text);
    const brisko::WString wide = brisko::FromUtf8(std::string(text));
    return brisko::EncodeCodePage(0, wide.data(), wide.size());
}

Json NumberJson(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    return value;
}

namespace {

Json PrimArray(brisko::CPrimType type, const void* data, int32_t count, int32_t per) {
    Json rows = Json::array();
    const size_t size = brisko::CPrimTypeInfo::TypeSize(type);
    const auto* p = static_cast<const unsigned char*>(data);
    for (int32_t i = 0; data && size && i < count; ++i) {
        Json row = Json::array();
        for (int32_t k = 0; k < per; ++k, p += size)
            row.push_back(NumberJson(brisko::CPrimData::GetWideReal(type, p)));
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

Json RecordJson(const qorvix::TrBase& record) {
    Json j;
    const qorvix::CTypeInfo* type = record.GetTypeInfo();
    j["record"] = type->GetName();
    if (type == qorvix::TrCell::GetClassTypeId()) {
        const auto& c = static_cast<const qorvix::TrCell&>(record);
        j["row"] = c.row;
        j["col"] = c.col;
        switch (c.kind) {
            case qorvix::CELL_EMPTY:
                j["kind"] = "empty";
                break;
            case qorvix::CELL_TEXT:
                j["kind"] = "text";
                j["text"] = AcpToUtf8(c.text.str());
                break;
            case qorvix::CELL_NUMBER:
            case qorvix::CELL_NUMBER_ALT:
                j["kind"] = "number";
                j["value"] = NumberJson(c.number);
                break;
            default:
                j["cellKind"] = c.kind;
                break;
        }
    } else if (type == qorvix::TrCellFmt::GetClassTypeId()) {
        const auto& f = static_cast<const qorvix::TrCellFmt&>(record);
        j["row"] = f.row;
        j["col"] = f.col;
        j["mask"] = f.mask;
        j["category"] = f.category;
        j["format"] = AcpToUtf8(f.format.str());
    } else if (type == qorvix::TrWksCap::GetClassTypeId()) {
        j["flags"] = static_cast<const qorvix::TrWksCap&>(record).flags;
    } else if (type == qorvix::TrPoints::GetClassTypeId()) {
        const auto& p = static_cast<const qorvix::TrPoints&>(record);
        const char* ct = brisko::CPrimTypeInfo::TypeName(p.coordType);
        const char* at = brisko::CPrimTypeInfo::TypeName(p.attrType);
        j["coordType"] = ct ? ct : "unknown";
        j["attrType"] = at ? at : "unknown";
        j["points"] = PrimArray(p.coordType, p.coords, p.pointCount, 3);
        j["attributes"] =
            PrimArray(p.attrType, p.attrs, p.attrCount > 0 ? p.pointCount : 0, p.attrCount);
    }
    return j;
}

}  // namespace dornel::app
