// Fixed texts and numbers of the export side.
#pragma once

namespace dornel {

constexpr const char* kExportSource = "DatExportFilter";

constexpr int kLineMultipleObjects = 610;
constexpr int kLineNotOpen = 706;
constexpr int kLineNoLength = 735;
constexpr int kLineNoMemory = 773;
constexpr int kLineNothingRead = 798;

constexpr const char* kExpOptDelimiter = "Delimiter";
constexpr const char* kExpOptDecimalSymbol = "DecimalSymbol";
constexpr const char* kExpOptTextQualifier = "TextQualifier";
constexpr const char* kExpOptEncodingMethod = "ExportEncodingMethod";
constexpr const char* kExpOptCodepage = "ExportCodepage";
constexpr const char* kExpOptDefaults = "Defaults";
constexpr const char* kExpOptForgetOptions = "ForgetOptions";
constexpr const char* kExpOptClipboardTextType = "ClipboardTextType";

constexpr const char* kMsgExportingMemory = "Exporting to memory block";
constexpr const char* kMsgExportingFile = "Exporting data file %s";

}  // namespace dornel
