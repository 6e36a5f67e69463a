// Fixed texts and numbers of the export side.
#pragma once

namespace dornel {

constexpr const char* kExportSource = "DatExportFilter";

constexpr int kLineMultipleObjects = 610;
constexpr int kLineNotOpen = 706;
constexpr int kLineNoLength = 735;
constexpr int kLineNoMemory = 773;
constexpr int kLineNothingRead = 798;

constexpr const char* kMsgExportingMemory = "Exporting to memory block";
constexpr const char* kMsgExportingFile = "Exporting data file %s";

}  // namespace dornel
