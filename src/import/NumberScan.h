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

/// ScanNumberField for any field: the reading of the decimal text, and the general reader where
/// ExactDecimalValue does not apply.
inline ScannedField ScanNumberFieldInGeneral(const char16_t* field, size_t length, double& value) {
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

/// Decides, in one pass and with the same answers, what the plain path decides in three: the
/// number test (white space, a sign, digits with an optional '.', an optional exponent, then the
/// end or white space), that the field holds one token only, and WideToDouble's value. The
/// decimal point is '.'. The value is ExactDecimalValue's where that applies, as in
/// WideToDouble; Unscanned, deciding nothing, where the general reader must give it.
///
/// The field is length units, at least one; a zero before its end still ends it. The unit after it
/// must be none a number is made of (a zero, or a delimiter that is no digit, point, 'e' or sign),
/// so that the field can be scanned where it was read, before its delimiter.
///
/// Most numbers in data have a few digits on either side of the point and a short exponent if
/// any: those take one plain loop per run of digits, a few instructions a digit, and one
/// multiplication or division.
[[gnu::always_inline]] inline ScannedField ScanPlainNumber(const char16_t* field, size_t length,
                                                           double& value) {
    const char16_t* p = field;
    const bool negative = *p == u'-';
    p += *p == u'-' || *p == u'+';
    // The digit's value as unsigned: anything below '0' wraps past 9.
    const auto digit = [](char16_t c) { return static_cast<unsigned>(c) - u'0'; };
    uint64_t mantissa = 0;
    const char16_t* const intStart = p;
    for (unsigned v; (v = digit(*p)) <= 9; ++p)
        mantissa = mantissa * 10 + v;
    const auto intDigits = static_cast<int>(p - intStart);
    int fracDigits = 0;
    if (*p == u'.') {
        const char16_t* const fracStart = ++p;
        for (unsigned v; (v = digit(*p)) <= 9; ++p)
            mantissa = mantissa * 10 + v;
        fracDigits = static_cast<int>(p - fracStart);
    }
    int exponent = 0;
    if ((*p | 0x20) == u'e') {
        const char16_t* r = p + 1;
        const bool expNegative = *r == u'-';
        r += *r == u'-' || *r == u'+';
        const char16_t* const expStart = r;
        // Held below ten thousand: a longer exponent is the general reader's anyway.
        for (unsigned v; (v = digit(*r)) <= 9; ++r)
            exponent = exponent < 1000 ? exponent * 10 + static_cast<int>(v) : exponent;
        // Without digits, the exponent is no part of the number; long ones are the general
        // reader's, as are their leading zeros.
        if (r != expStart) {
            if (r - expStart > 3)
                return ScannedField::Unscanned;
            exponent = expNegative ? -exponent : exponent;
            p = r;
        }
    }
    if (IsSpace16(*field))
        return ScannedField::Unsure;
    if (intDigits + fracDigits == 0)
        return ScannedField::Text;
    if (p != field + length && *p != 0)
        return IsSpace16(*p) ? ScannedField::Unsure : ScannedField::Text;
    // A mantissa that may not be exact, or a power of ten that is not, is the general reader's.
    const int scale = exponent - fracDigits;
    if (intDigits + fracDigits > 15 || scale < -22 || scale > 22)
        return ScannedField::Unscanned;
    value = ExactScaled(mantissa, scale, negative);
    return ScannedField::Number;
}

/// ScanPlainNumber, and the general reader where it decides nothing. The field holds length
/// units and a zero after them.
[[gnu::always_inline]] inline ScannedField ScanNumberField(const char16_t* field, size_t length,
                                                           double& value) {
    const ScannedField verdict = ScanPlainNumber(field, length, value);
    return verdict != ScannedField::Unscanned ? verdict
                                              : ScanNumberFieldInGeneral(field, length, value);
}

}  // namespace dornel
