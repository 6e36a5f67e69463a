// Fixed texts of the import side: the source name of its errors, option names, messages.
#pragma once

namespace dornel {

constexpr const char* kImportSource = "DatImportFilter";
/// The line reported when a file that is not empty reads as empty.
constexpr int kEmptyReaderLine = 721;

constexpr const char* kOptUseFixedWidth = "UseFixedWidth";
constexpr const char* kOptStartRow = "StartRow";
constexpr const char* kOptImportCodePage = "ImportCodePage";
constexpr const char* kOptColumnBreaks = "ColumnBreaks";
constexpr const char* kOptDelimiter = "Delimiter";
constexpr const char* kOptTextQualifier = "TextQualifier";
constexpr const char* kOptDecimalSymbol = "DecimalSymbol";
constexpr const char* kOptEatWhitespace = "EatWhitespace";
constexpr const char* kOptSkipExtraDelimiters = "SkipExtraDelimiters";
constexpr const char* kOptAggressiveConversion = "AggressiveConversion";
constexpr const char* kOptMaxRow = "MaxRow";
constexpr const char* kOptMaxCol = "MaxCol";
constexpr const char* kOptDateTimeSupport = "DateTimeSupport";
constexpr const char* kOptDefaults = "Defaults";
constexpr const char* kOptForgetOptions = "ForgetOptions";
constexpr const char* kOptClipboardTextType = "ClipboardTextType";

constexpr const char* kMsgImportingMemory = "Importing...";
constexpr const char* kMsgImportingFile = "Importing %s";

}  // namespace dornel
