// Instance designators: the value before the dot of `d.name` (and of `with (d)`, and an action's
// "applies to") says where a variable lives. Non-negative values below kFirstInstanceId are
// object indices (every instance of the object), values from kFirstInstanceId on are instance
// ids. Shared by the compiler, the executor, the constant table and the world.
#pragma once

#include <cstdint>

#include "script/Numeric.h"

namespace kestro {

inline constexpr int32_t kDesignatorSelf = -1;
inline constexpr int32_t kDesignatorOther = -2;
inline constexpr int32_t kDesignatorAll = -3;
inline constexpr int32_t kDesignatorNoone = -4;
inline constexpr int32_t kDesignatorGlobal = -5;
inline constexpr int32_t kDesignatorUnspecified = -6;  // a plain name: self, or global if declared
inline constexpr int32_t kDesignatorLocal = -7;
inline constexpr int32_t kFirstInstanceId = 100000;

// The designator a real names: rounded; values beyond 32 bits name nothing and are kept out of
// the designator ranges.
inline int32_t DesignatorOf(double v) {
  const int64_t d = RoundToInt64(v);
  return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? -100 : static_cast<int32_t>(d);
}

}  // namespace kestro
