// Fixed texts of the export side.
#pragma once

namespace dornel {

constexpr const char* kExportSource = "DatExportFilter";

}  // namespace dornel
