// Import options: per-kind defaults, the option store, host option strings, column breaks.
#include <algorithm>
#include <string>

#include "common/OptionVocabulary.h"
#include "import/DatImportFilter.h"
#include "import/ImportTexts.h"

namespace dornel {

namespace {

constexpr const char* kAllDelimiters = ",\t; ";
constexpr const char* kBothQuotes = "\"'";

}  // namespace

void DatImportFilter::ResetImportDefaults() {
    useFixedWidth = skipExtraDelimiters = aggressiveConversion = eatWhitespace = false;
    delimiterGiven = qualifierGiven = decimalGiven = textTypeFixed = false;
    importCodePage = 0;
    startRow = 0;
    maxRow = maxCol = kNoLimit;
    columnBreaks.clear();
    decimalSymbol = RString(".");

    switch (kind) {
        case KIND_CSV:
            delimiters = RString(",");
            qualifiers = RString("\"");
            break;
        case KIND_TXT:
            if (reader && reader->IsOpen() && fromMemory) {
                // Clipboard text: cells separated by tabs or commas, numbers read permissively.
                delimiters = RString(",\t");
                qualifiers = RString("");
                aggressiveConversion = true;
            } else {
                delimiters = RString(kAllDelimiters);
                qualifiers = RString(kBothQuotes);
                eatWhitespace = true;
            }
            break;
        default:
            delimiters = RString(kAllDelimiters);
            qualifiers = RString(kBothQuotes);
            eatWhitespace = true;
            break;
    }
    // CSV, BNA and BLN get their classes from the driver's fixed rules.
    if (kind == KIND_TXT || kind == KIND_DAT)
        BuildCharClasses();
}

void DatImportFilter::LoadImportOptions(bool persistent) {
    // DAT options live only for the session.
    const bool p = kind == KIND_DAT ? false : persistent;
    qorvix::IoManager& m = m_manager;
    m.GetOption(kOptUseFixedWidth, useFixedWidth, p);
    m.GetOption(kOptStartRow, startRow, p);
    m.GetOption(kOptImportCodePage, importCodePage, p);
    columnBreaks.clear();
    RString breaks;
    if (m.GetOption(kOptColumnBreaks, breaks, p))
        ParseColumnBreaks(breaks.c_str());
    m.GetOption(kOptDelimiter, delimiters, p);
    NormalizeOptionValue(kOptDelimiter, delimiters);
    m.GetOption(kOptTextQualifier, qualifiers, p);
    NormalizeOptionValue(kOptTextQualifier, qualifiers);
    m.GetOption(kOptEatWhitespace, eatWhitespace, p);
    m.GetOption(kOptSkipExtraDelimiters, skipExtraDelimiters, p);
    m.GetOption(kOptAggressiveConversion, aggressiveConversion, false);
    m.GetOption(kOptMaxRow, maxRow, false);
    m.GetOption(kOptMaxCol, maxCol, false);
    m.GetOption(kOptDateTimeSupport, dateTimeSupport, false);
}

void DatImportFilter::SaveImportOptions(bool persistent) {
    const bool p = kind == KIND_DAT ? false : persistent;
    qorvix::IoManager& m = m_manager;
    m.SetOption(kOptUseFixedWidth, useFixedWidth, p);
    m.SetOption(kOptStartRow, static_cast<int>(startRow), p);
    m.SetOption(kOptColumnBreaks, FormatColumnBreaks(), p);
    m.SetOption(kOptDelimiter, delimiters, p);
    m.SetOption(kOptDecimalSymbol, decimalSymbol, p);
    m.SetOption(kOptEatWhitespace, eatWhitespace, p);
    m.SetOption(kOptSkipExtraDelimiters, skipExtraDelimiters, p);
    m.SetOption(kOptImportCodePage, static_cast<unsigned int>(importCodePage), p);
    m.SetOption(kOptAggressiveConversion, aggressiveConversion, false);
    m.SetOption(kOptMaxRow, static_cast<int>(maxRow), false);
    m.SetOption(kOptMaxCol, static_cast<int>(maxCol), false);
}

void DatImportFilter::ApplyStringOptions(const RString& options) {
    qorvix::IoManager& m = m_manager;
    bool defaults = true, forget = false;
    m.GetStringOption(options, kOptDefaults, defaults);
    m.GetStringOption(options, kOptForgetOptions, forget);
    if (defaults)
        ResetImportDefaults();
    else
        LoadImportOptions(true);

    m.GetStringOption(options, kOptUseFixedWidth, useFixedWidth);
    m.GetStringOption(options, kOptStartRow, startRow);
    m.GetStringOption(options, kOptImportCodePage, importCodePage);

    // A string without ColumnBreaks leaves the list empty, whatever was loaded.
    columnBreaks.clear();
    RString breaks;
    if (m.GetStringOption(options, kOptColumnBreaks, breaks))
        ParseColumnBreaks(breaks.c_str());

    delimiterGiven = m.GetStringOption(options, kOptDelimiter, delimiters);
    NormalizeOptionValue(kOptDelimiter, delimiters);
    qualifierGiven = m.GetStringOption(options, kOptTextQualifier, qualifiers);
    NormalizeOptionValue(kOptTextQualifier, qualifiers);
    if (kind == KIND_TXT) {
        decimalGiven = m.GetStringOption(options, kOptDecimalSymbol, decimalSymbol);
        NormalizeOptionValue(kOptDecimalSymbol, decimalSymbol);
    }

    m.GetStringOption(options, kOptEatWhitespace, eatWhitespace);
    m.GetStringOption(options, kOptSkipExtraDelimiters, skipExtraDelimiters);
    m.GetStringOption(options, kOptAggressiveConversion, aggressiveConversion);
    m.GetStringOption(options, kOptMaxRow, maxRow);
    m.GetStringOption(options, kOptMaxCol, maxCol);

    SaveImportOptions(!forget);
    BuildCharClasses();
}

void DatImportFilter::ParseColumnBreaks(const char* text) {
    columnBreaks.clear();
    columnBreaks.push_back(0);
    const char* p = text ? text : "";
    while (*p) {
        if (*p >= '0' && *p <= '9') {
            int64_t value = 0;
            while (*p >= '0' && *p <= '9') {
                value = std::min<int64_t>(value * 10 + (*p - '0'), kNoLimit);
                ++p;
            }
            columnBreaks.push_back(static_cast<int32_t>(value));
        } else {
            ++p;
            // A text ending in a separator adds a 0, which merges with the leading one.
            if (*p == 0)
                columnBreaks.push_back(0);
        }
    }
    columnBreaks.push_back(kNoLimit);
    std::sort(columnBreaks.begin(), columnBreaks.end());
    columnBreaks.erase(std::unique(columnBreaks.begin(), columnBreaks.end()), columnBreaks.end());
}

RString DatImportFilter::FormatColumnBreaks() const {
    std::string text;
    if (columnBreaks.size() < 2)
        return RString();
    for (size_t i = 1; i + 1 < columnBreaks.size(); ++i) {
        if (i > 1)
            text += ' ';
        text += std::to_string(columnBreaks[i]);
    }
    return RString(text);
}

}  // namespace dornel
