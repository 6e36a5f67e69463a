// Keyword values of the character options, and the option listing of both filters.
#pragma once

#include "host/brisko/RString.h"
#include "host/qorvix/IoManager.h"

namespace dornel {

using brisko::RString;

/// Rewrites a Delimiter, TextQualifier or DecimalSymbol value (names compared without regard to
/// case) from its keyword form into the literal characters; values without keywords and other
/// names stay as they are.
void NormalizeOptionValue(const char* optionName, RString& value);

/// The manager's current options as "Name=value;Name=value", the character options written back
/// as keywords.
RString FormatOptionsListing(qorvix::IoManager& manager);

}  // namespace dornel
