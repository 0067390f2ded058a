#include "script/BuiltinNames.h"

#include <string>
#include <unordered_map>

#include "script/builtins/BuiltinTables.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

class CBuiltinScriptNames final : public IScriptNames {
 public:
  CBuiltinScriptNames() {
    // Later entries hide earlier ones, as the constant table is searched from its newest end.
    for (const RBuiltinConstant& c : BuiltinConstants()) constants_[c.name] = c.value;
  }
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    return BuiltinRegistry().Find(name);
  }
  int32_t FunctionArgCount(int32_t id) const override { return BuiltinRegistry().ArgCount(id); }
  std::optional<RValue> FindConstant(std::string_view name) const override {
    auto it = constants_.find(std::string(name));
    if (it == constants_.end()) return std::nullopt;
    return RValue::Real(it->second);
  }
  std::string FunctionName(int32_t id) const override {
    const RFunction* f = BuiltinRegistry().Get(id);
    return f ? f->f_name : "";
  }

 private:
  std::unordered_map<std::string, double> constants_;
};

}  // namespace

const IScriptNames& BuiltinScriptNames() {
  static const CBuiltinScriptNames names;
  return names;
}

}  // namespace kestro
