// Short forms for the tables of built-in function tests: a real, a string, a value shown exactly
// (reals with 17 digits, strings quoted) in failure messages, and a call of a built-in function by
// name.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "script/Value.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro::test {

inline RValue R(double v) { return RValue::Real(v); }
inline RValue S(std::string_view s) { return RValue::String(RString(s)); }

inline std::string Show(const RValue& v) {
  if (v.IsString()) return "\"" + v.str.str() + "\"";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v.val);
  return buf;
}

// Calls the run's built-in function `fn` with `args`, as game code would: it must exist, be built
// and take that many arguments (any number where its count is variable); the result starts as
// `initial`. With `mustRun`, a call that fails its statement is a test failure.
inline RValue CallBuiltin(const char* fn, const std::vector<RValue>& args, bool mustRun = true,
                          const RValue& initial = {}) {
  const CFunctionRegistry& reg = BuiltinRegistry();
  const auto id = reg.Find(fn);
  if (!id) {
    ADD_FAILURE() << "no function " << fn;
    return {};
  }
  EXPECT_TRUE(reg.IsImplemented(*id)) << fn;
  if (const int32_t n = reg.ArgCount(*id); n >= 0) {
    EXPECT_EQ(size_t(n), args.size()) << fn;
  }
  RValue slots[16];
  for (size_t i = 0; i < args.size() && i < 16; ++i) slots[i] = args[i];
  RValue result = initial;
  const bool ran = reg.Call(*id, nullptr, nullptr, int32_t(args.size()), slots, result);
  if (mustRun) {
    EXPECT_TRUE(ran) << fn;
  }
  return result;
}

}  // namespace kestro::test
