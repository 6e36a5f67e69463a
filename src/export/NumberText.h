// Number text as the Windows runtime writes "%.14lG".
#pragma once

#include <cstddef>

namespace dornel {

/// Writes value as "%.14lG" does on Windows: at most 14 significant digits, no trailing zeros,
/// exponent form with a capital E when the decimal exponent is below -4 or at least 14, the
/// exponent with its sign and at least three digits (1E+020, 1E-005). Infinities and NaN are
/// "INF", "-INF" and "NAN". The same on every build. Returns the length; out must hold 32 units.
size_t FormatNumber14G(double value, char16_t* out);
/// The same text in bytes, for an output where ASCII is written as it is; out must hold 32 bytes.
size_t FormatNumber14G(double value, char* out);

}  // namespace dornel
