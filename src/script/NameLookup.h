// How the compiler resolves names it does not own: functions and scripts (to function ids and
// argument counts) and constants (to values). The registry of built-in functions, the script
// table and the constant table install one lookup for the whole run; a compile may also be given
// its own (tools and tests).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "script/Value.h"

namespace kestro {

// Function id ranges.
inline constexpr int32_t kScriptIdBase = 100000;
inline constexpr int32_t kExtensionIdBase = 500000;
// Argument count of an id that names a function taking any number (0 to 16) of arguments, and of
// an id outside every table.
inline constexpr int32_t kAnyArgCount = -1;
inline constexpr int32_t kUnknownFunction = -100;
inline constexpr int32_t kMaxArguments = 16;

class IScriptNames {
 public:
  virtual ~IScriptNames() = default;
  // Scripts first, then extension functions, then built-in functions.
  virtual std::optional<int32_t> FindFunction(std::string_view name) const = 0;
  virtual int32_t FunctionArgCount(int32_t id) const = 0;
  // Resource names first, then trigger constants, then the constant table (newest first).
  virtual std::optional<RValue> FindConstant(std::string_view name) const = 0;
  // For dumps and messages; "" when the id is unknown.
  virtual std::string FunctionName(int32_t id) const = 0;
};

// The lookup compilations use when none is given; never null (an empty lookup by default).
const IScriptNames& ScriptNames();
// Installs the run's lookup; nullptr restores the empty one. The object must outlive its use.
void SetScriptNames(const IScriptNames* names);

}  // namespace kestro
