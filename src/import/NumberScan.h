// One pass over a field that tells a plain number from a text and converts the number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/DecimalText.h"

namespace dornel {

/// What one pass over a field could decide.
enum class ScannedField : uint8_t {
    Number,     ///< one number and nothing else: the value is set
    Text,       ///< no number at its start: the number test says no
    Unsure,     ///< white space in it, or a form the pass does not settle: take the plain path
    Unscanned,  ///< not looked at yet
};

/// Decides, in one pass and with the same answers, what the plain path decides in three: the
/// number test (white space, a sign, digits with an optional '.', an optional exponent, then the
/// end or white space), that the field holds one token only, and WideToDouble's value. The
/// decimal point is '.'. The value is ExactDecimalValue's where that applies, as in
/// WideToDouble, and WideToDouble's otherwise. The field holds length units and a zero after
/// them; a zero before its end still ends it.
inline ScannedField ScanNumberField(const char16_t* field, size_t length, double& value) {
    if (IsSpace16(*field))
        return ScannedField::Unsure;
    const DecimalText d = ReadDecimalText(field, field + length);
    if (d.digits == 0)
        return ScannedField::Text;
    if (*d.end != 0)
        return IsSpace16(*d.end) ? ScannedField::Unsure : ScannedField::Text;
    if (!ExactDecimalValue(d, value))
        value = WideToDouble(field);
    return ScannedField::Number;
}

}  // namespace dornel
