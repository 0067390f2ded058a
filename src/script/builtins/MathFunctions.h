// Numbers, random numbers, strings and vectors for scripts: the conversions the math family's
// routines (MathFunctions.cpp, table in Bindings.h) share with other code that reads or writes
// numbers as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/Value.h"

namespace kestro {

// Longest string a string function builds (the language's limit for every string value); longer
// results are refused with the function's error, so a script cannot ask for unbounded memory.
inline constexpr size_t kMaxStringBytes = kMaxStringLength;

// Reads text as a decimal number ("." separator, optional sign, fraction and exponent) after
// trimming blanks and control characters; empty text reads as 0. False for anything else.
bool ParseReal(std::string_view text, double& out);

// Fixed-point text with `dec` digits after "." (0 to 18), at most 18 significant digits; false
// (and "ERROR") when the value cannot be written.
bool FormatFixed(double value, int32_t dec, std::string& out);

}  // namespace kestro
