// Arguments of the resource functions: indices, sizes and colours are the rounded real (halves to
// even); a value beyond the range of an int is no index at all and a clamped size, never a
// wrapped one.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

#include "script/builtins/BuiltinArgs.h"

namespace kestro {

// -1 (no resource) for a value outside the int range.
inline int ArgIndex(const RValue& v) {
  const int64_t i = ArgInt(v);
  return i >= std::numeric_limits<int>::min() && i <= std::numeric_limits<int>::max() ? int(i) : -1;
}
inline int ArgInt32(const RValue& v) {
  return int(std::clamp<int64_t>(ArgInt(v), std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
// A flag that is true only above 0.5 (0.5 itself is false).
inline bool ArgAboveHalf(const RValue& v) { return v.val > 0.5; }

}  // namespace kestro
