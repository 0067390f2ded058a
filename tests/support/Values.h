// Short forms for the tables of built-in function tests: a real, a string, and a value shown
// exactly (reals with 17 digits, strings quoted) in failure messages.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "script/Value.h"

namespace kestro::test {

inline RValue R(double v) { return RValue::Real(v); }
inline RValue S(std::string_view s) { return RValue::String(RString(s)); }

inline std::string Show(const RValue& v) {
  if (v.IsString()) return "\"" + v.str.str() + "\"";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v.val);
  return buf;
}

}  // namespace kestro::test
