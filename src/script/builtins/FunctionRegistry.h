// The registry of built-in functions: name, routine and argument count, addressed by id (the
// position of registration). The run's registry holds the whole vocabulary of the function
// tables in table order; families whose routines are not built yet keep a placeholder routine
// that reports the function as not available yet, so every game's code compiles and no call
// silently yields 0.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/NameLookup.h"
#include "script/Value.h"

namespace kestro {

class CInstance;

// Every built-in routine: the self and other instances, the number of arguments given, the
// result (real 0 on entry; a routine that sets nothing returns 0) and the 16 argument slots, of
// which the first `argc` are given.
using BuiltinRoutine = void (*)(CInstance* self, CInstance* other, int32_t argc, RValue& result,
                                const RValue* args);

inline constexpr int32_t kMaxBuiltinNameLength = 64;

struct RFunction {
  std::string f_name;
  BuiltinRoutine f_routine = nullptr;
  int32_t f_argnumb = 0;  // fixed count, or -1 for 0 to 16
};

class CFunctionRegistry {
 public:
  // Appends an entry and returns its id.
  int32_t Register(std::string_view name, BuiltinRoutine routine, int32_t argnumb);
  // The id of the first entry with exactly that name.
  std::optional<int32_t> Find(std::string_view name) const;
  // The entry's argument count; kUnknownFunction for an id outside the registry.
  int32_t ArgCount(int32_t id) const;
  const RFunction* Get(int32_t id) const;
  // Runs entry `id` with a fresh real-0 result; `args` holds 16 slots, `argc` is cut to 0 .. 16.
  // False (and nothing run) for an id outside the registry.
  bool Call(int32_t id, CInstance* self, CInstance* other, int32_t argc, const RValue* args,
            RValue& result) const;
  int32_t Count() const { return static_cast<int32_t>(f_entries.size()); }

  // Gives a registered name its routine (see Bind). False when no entry has that name.
  bool Implement(std::string_view name, BuiltinRoutine routine);
  // False while the entry holds the placeholder of its table position.
  bool IsImplemented(int32_t id) const;

 private:
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<RFunction> f_entries;
  std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> f_byName;
};

// A binding: a built-in function's name and its routine. Each binding file lists its family's
// routines in one table (script/builtins/BuiltinArgs.h has what they share).
struct RBinding {
  const char* name;
  BuiltinRoutine routine;
};
using RBindingTable = std::span<const RBinding>;

// Gives each name of the table its routine. Returns the names no entry has (a misspelt name would
// otherwise stay a placeholder unnoticed).
std::vector<std::string> Bind(CFunctionRegistry& registry, RBindingTable table);

// The binding tables the program is made of, installed where it is composed (the language core
// itself installs none). Every registry CreateBuiltinRegistry fills gets them, and setting them
// refills BuiltinRegistry(). Names no entry has are reported on standard error.
void SetBuiltinBindings(std::vector<RBindingTable> tables);

// Empties the registry and fills it with the whole vocabulary in table order (placeholders), then
// binds the installed tables.
void CreateBuiltinRegistry(CFunctionRegistry& registry);
// The run's registry, filled on first use.
CFunctionRegistry& BuiltinRegistry();

// The placeholder routine of a table position (for tests and for telling placeholders apart).
BuiltinRoutine NotAvailableRoutine(int32_t id);

// How far each family is implemented (for `kestro info --builtins`).
struct RBuiltinFamilyStatus {
  std::string family;
  int32_t total = 0;
  int32_t implemented = 0;
  std::vector<std::string> missing;  // names still without a routine, in table order
};
std::vector<RBuiltinFamilyStatus> BuiltinFamilyStatus(const CFunctionRegistry& registry);
// The same as text: a line "FAMILY: N of M implemented" per family, the missing names wrapped
// below it, and a total line.
std::string BuiltinStatusReport(const CFunctionRegistry& registry);

}  // namespace kestro
