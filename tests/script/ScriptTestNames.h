// A small function and constant table standing in for the run's registry in compiler tests.
#pragma once

#include <map>
#include <string>

#include "script/NameLookup.h"
#include "script/Variables.h"

namespace kestro::test {

class TestNames : public IScriptNames {
 public:
  TestNames() {
    functions_ = {{"f", {0, kAnyArgCount}},       {"g2", {1, 2}},          {"abs", {2, 1}},
                  {"h", {3, kAnyArgCount}},       {"scr_a", {kScriptIdBase, kAnyArgCount}},
                  {"show", {4, kAnyArgCount}},    {"fail", {5, 0}},        {"again", {6, 0}}};
    constants_ = {{"true", RValue::Real(1)},    {"false", RValue::Real(0)},  {"self", RValue::Real(-1)},
                  {"other", RValue::Real(-2)},  {"all", RValue::Real(-3)},   {"noone", RValue::Real(-4)},
                  {"global", RValue::Real(-5)}, {"local", RValue::Real(-7)}, {"obj_wall", RValue::Real(3)},
                  {"c_red", RValue::Real(255)}, {"greeting", RValue::String("hi")}};
    // Built-in variables of the test run (the real table registers hundreds).
    for (const char* name : {"x", "y", "id", "argument", "argument0", "argument1", "argument3", "argument15"})
      if (FindBuiltinVariable(name) < 0) RegisterBuiltinVariable(name);
  }
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    auto it = functions_.find(std::string(name));
    if (it == functions_.end()) return std::nullopt;
    return it->second.first;
  }
  int32_t FunctionArgCount(int32_t id) const override {
    for (const auto& [n, f] : functions_)
      if (f.first == id) return f.second;
    return kUnknownFunction;
  }
  std::optional<RValue> FindConstant(std::string_view name) const override {
    auto it = constants_.find(std::string(name));
    if (it == constants_.end()) return std::nullopt;
    return it->second;
  }
  std::string FunctionName(int32_t id) const override {
    for (const auto& [n, f] : functions_)
      if (f.first == id) return n;
    return "";
  }

 private:
  std::map<std::string, std::pair<int32_t, int32_t>> functions_;
  std::map<std::string, RValue> constants_;
};

}  // namespace kestro::test
