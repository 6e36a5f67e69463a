// The JSON Lines trace.
#include "Trace.h"

#include <cmath>

#include "Output.h"
#include "host/brisko/CodePage.h"

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

}  // namespace dornel::app
