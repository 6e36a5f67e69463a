// The option vocabulary: every option's name and every keyword of the character options,
// written once, and what turns keywords into characters and back.
#pragma once

#include "host/brisko/RString.h"
#include "host/qorvix/IoManager.h"

namespace dornel {

using brisko::RString;

// Options of both filters.
constexpr const char* kOptDelimiter = "Delimiter";
constexpr const char* kOptTextQualifier = "TextQualifier";
constexpr const char* kOptDecimalSymbol = "DecimalSymbol";
constexpr const char* kOptDefaults = "Defaults";
constexpr const char* kOptForgetOptions = "ForgetOptions";
constexpr const char* kOptClipboardTextType = "ClipboardTextType";
// Import options.
constexpr const char* kOptUseFixedWidth = "UseFixedWidth";
constexpr const char* kOptStartRow = "StartRow";
constexpr const char* kOptImportCodePage = "ImportCodePage";
constexpr const char* kOptColumnBreaks = "ColumnBreaks";
constexpr const char* kOptEatWhitespace = "EatWhitespace";
constexpr const char* kOptSkipExtraDelimiters = "SkipExtraDelimiters";
constexpr const char* kOptAggressiveConversion = "AggressiveConversion";
constexpr const char* kOptMaxRow = "MaxRow";
constexpr const char* kOptMaxCol = "MaxCol";
constexpr const char* kOptDateTimeSupport = "DateTimeSupport";
// Export options.
constexpr const char* kOptExportEncodingMethod = "ExportEncodingMethod";
constexpr const char* kOptExportCodepage = "ExportCodepage";

/// A keyword that stands for a character in an option's value, and the word the listing uses
/// for that character (none: the character itself).
struct CharacterKeyword {
    const char* word;
    char character;
    const char* listedAs;
};

constexpr CharacterKeyword kDelimiterKeywords[] = {
    {"tab", '\t', "tab"},     {"space", ' ', "space"},
    {"comma", ',', "comma"},  {"semicolon", ';', "semicolon"},
    {"equals", '=', nullptr},
};
// The listing names the single quote "quote".
constexpr CharacterKeyword kQualifierKeywords[] = {
    {"doublequote", '"', "doublequote"},
    {"singlequote", '\'', "quote"},
};
/// No qualifier at all.
constexpr const char* kNoQualifierKeyword = "none";
constexpr CharacterKeyword kDecimalKeywords[] = {
    {"period", '.', nullptr},
    {"comma", ',', nullptr},
};

/// Rewrites a Delimiter, TextQualifier or DecimalSymbol value (names compared without regard to
/// case) from its keyword form into the literal characters; values without keywords and other
/// names stay as they are.
void NormalizeOptionValue(const char* optionName, RString& value);

/// The manager's current options as "Name=value;Name=value", the character options written back
/// as keywords.
RString FormatOptionsListing(qorvix::IoManager& manager);

/// ClipboardTextType as the host set it (0 8-bit text, 1 UTF-16); -1 when it is absent.
/// found, when given, tells whether the host set it at all.
int ReadClipboardTextType(qorvix::IoManager& manager, bool* found = nullptr);

}  // namespace dornel
