// Import options: per-kind defaults, the option store, host option strings.

#include "common/OptionTable.h"
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
            if (reading.reader && reading.reader->IsOpen() && fromMemory) {
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
        reading.BuildCharClasses();
}

namespace {

using Row = OptionRow<DatImportFilter>;
using F = DatImportFilter;
constexpr auto kSession = OptionLife::Session;

// The import options and their places in loading, saving and option strings. ImportCodePage is
// saved after the white-space switches although it is read before them; DecimalSymbol is saved
// and taken from TXT option strings but never loaded; TextQualifier is loaded and never saved.
constexpr Row kImportOptions[] = {
    {.name = kOptUseFixedWidth, .flag = &F::useFixedWidth, .loadAt = 0, .saveAt = 0, .stringAt = 0},
    {.name = kOptStartRow, .int32 = &F::startRow, .loadAt = 1, .saveAt = 1, .stringAt = 1},
    {.name = kOptImportCodePage,
     .uint32 = &F::importCodePage,
     .loadAt = 2,
     .saveAt = 7,
     .stringAt = 2},
    {.name = kOptColumnBreaks, .breaks = &F::columnBreaks, .loadAt = 3, .saveAt = 2, .stringAt = 3},
    {.name = kOptDelimiter,
     .text = &F::delimiters,
     .loadAt = 4,
     .saveAt = 3,
     .stringAt = 4,
     .given = &F::delimiterGiven},
    {.name = kOptTextQualifier,
     .text = &F::qualifiers,
     .loadAt = 5,
     .stringAt = 5,
     .given = &F::qualifierGiven},
    {.name = kOptDecimalSymbol,
     .text = &F::decimalSymbol,
     .saveAt = 4,
     .stringAt = 6,
     .given = &F::decimalGiven,
     .textKindOnly = true},
    {.name = kOptEatWhitespace, .flag = &F::eatWhitespace, .loadAt = 6, .saveAt = 5, .stringAt = 7},
    {.name = kOptSkipExtraDelimiters,
     .flag = &F::skipExtraDelimiters,
     .loadAt = 7,
     .saveAt = 6,
     .stringAt = 8},
    {.name = kOptAggressiveConversion,
     .flag = &F::aggressiveConversion,
     .life = kSession,
     .loadAt = 8,
     .saveAt = 8,
     .stringAt = 9},
    {.name = kOptMaxRow,
     .int32 = &F::maxRow,
     .life = kSession,
     .loadAt = 9,
     .saveAt = 9,
     .stringAt = 10},
    {.name = kOptMaxCol,
     .int32 = &F::maxCol,
     .life = kSession,
     .loadAt = 10,
     .saveAt = 10,
     .stringAt = 11},
    {.name = kOptDateTimeSupport, .flag = &F::dateTimeSupport, .life = kSession, .loadAt = 11},
};

}  // namespace

void DatImportFilter::LoadImportOptions(bool persistent) {
    // DAT options live only for the session.
    const bool p = kind == KIND_DAT ? false : persistent;
    InOrder<F>(kImportOptions, &Row::loadAt,
               [&](const Row& row) { ReadOption(m_manager, row, *this, p); });
}

void DatImportFilter::SaveImportOptions(bool persistent) {
    const bool p = kind == KIND_DAT ? false : persistent;
    InOrder<F>(kImportOptions, &Row::saveAt,
               [&](const Row& row) { WriteOption(m_manager, row, *this, p); });
}

void DatImportFilter::ApplyStringOptions(const RString& options) {
    // Without a word on it, an option string starts from the defaults.
    const bool forget = TakeOptionString<F>(
        m_manager, options, kImportOptions, *this, true, kind == KIND_TXT,
        [this] { ResetImportDefaults(); }, [this] { LoadImportOptions(true); });
    SaveImportOptions(!forget);
    reading.BuildCharClasses();
}

}  // namespace dornel
