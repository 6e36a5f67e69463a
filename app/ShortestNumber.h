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
std::string ShortestNumber(double value);

}  // namespace dornel::app
