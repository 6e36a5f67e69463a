// Numbers as the shortest text that reads back to the same double, as the views show them.
#pragma once

#include <cstddef>
#include <string>

namespace dornel::app {

/// Room for a number's text, a date's or a time's, and for the pieces of sixteen bytes a number's
/// digits are copied in.
constexpr size_t kNumberRoom = 64;

/// Writes the shortest text that reads back to value at out (kNumberRoom bytes) and returns its
/// end.
char* WriteShortestNumber(char* out, double value);
/// The length of what WriteShortestNumber writes, most often without writing it: for a view that
/// measures its columns before it writes them.
size_t ShortestNumberLength(double value);
std::string ShortestNumber(double value);
/// Writes value as the JSON view shows it at out (kNumberRoom bytes) and returns its end: the
/// digits the JSON library of the trace gives, always with a point or an exponent (so 3 is
/// "3.0"), the exponent form below 1e-4 and from 1e15 on; NaN and the infinities, which JSON
/// cannot hold, as the strings "NaN", "Infinity" and "-Infinity". The usual numbers are written
/// here directly, the rest by that library.
char* WriteJsonNumber(char* out, double value);

}  // namespace dornel::app
