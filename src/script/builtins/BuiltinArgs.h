// What every binding file of built-in functions shares: the routine signature as a definition
// macro, and the argument and result helpers. A binding file defines its routines with
// KESTRO_BUILTIN and lists them in one table of name -> routine (RBinding, FunctionRegistry.h).
//
// Arguments are read without kind checks: a routine that wants a number reads the real field and
// one that wants text reads the string field, whatever the value's kind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/Value.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {

class CInstance;

// Defines a routine `fn`: self, other, argc, the result `r` (real 0 on entry) and the 16 argument
// slots `a`, of which the first argc are given.
#define KESTRO_BUILTIN(fn)                                                                                   \
  void fn([[maybe_unused]] CInstance* self, [[maybe_unused]] CInstance* other, [[maybe_unused]] int32_t argc, \
          [[maybe_unused]] RValue& r, [[maybe_unused]] const RValue* a)

// An argument as an integer: rounded, halves to even.
inline int64_t ArgInt(const RValue& v) { return RoundToInt64(v.val); }
// An argument as a truth value: 0.5 or more.
inline bool ArgBool(const RValue& v) { return IsTrue(v); }
// An argument as text: a string as it is, a real in its display form.
inline std::string ArgText(const RValue& v) { return v.IsString() ? std::string(v.str.view()) : DisplayString(v); }

inline void SetText(RValue& r, std::string_view s) { r.SetString(RString(s)); }

// The generic failure of a function: "Error in function NAME()." as a non-fatal error.
inline void FunctionError(const char* name) {
  std::string message = "Error in function ";
  message += name;
  message += "().";
  ReportBuiltinError(message);
}

}  // namespace kestro
