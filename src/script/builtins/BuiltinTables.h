// The fixed vocabulary the run-time gives to scripts before any game data is read: the built-in
// functions (name and argument count, grouped by the family that implements them) and the
// built-in constants. Ids follow from the order of these tables, so entries are never reordered.
#pragma once

#include <cstdint>
#include <span>

namespace kestro {

// Argument count of a function that takes any number of arguments, 0 to 16.
inline constexpr int32_t kArgsAny = -1;

struct RBuiltinName {
  const char* name;
  int32_t argnumb;  // fixed count, or kArgsAny
};

struct RBuiltinFamily {
  const char* name;  // "Function_Math", ...
  std::span<const RBuiltinName> functions;
};

struct RBuiltinConstant {
  const char* name;
  double value;
};

// Families in registration order; a function's id is its position across all of them.
std::span<const RBuiltinFamily> BuiltinFamilies();
// Constants in registration order.
std::span<const RBuiltinConstant> BuiltinConstants();

}  // namespace kestro
