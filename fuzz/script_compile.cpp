// Compiles arbitrary text as script code: it must compile or give a compile error, never crash,
// hang or run out of stack. The first byte picks program or expression form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/Code.h"
#include "script/CodeError.h"
#include "script/NameLookup.h"
#include "script/Variables.h"

namespace {

using namespace kestro;

class FuzzNames final : public IScriptNames {
 public:
  std::optional<int32_t> FindFunction(std::string_view name) const override {
    if (name == "f") return 0;
    if (name == "g2") return 1;
    if (name == "scr") return kScriptIdBase;
    return std::nullopt;
  }
  int32_t FunctionArgCount(int32_t id) const override { return id == 1 ? 2 : id == 0 || id == kScriptIdBase ? -1 : kUnknownFunction; }
  std::optional<RValue> FindConstant(std::string_view name) const override {
    if (name == "other") return RValue::Real(-2);
    if (name == "s") return RValue::String("str");
    if (name == "obj") return RValue::Real(3);
    return std::nullopt;
  }
  std::string FunctionName(int32_t id) const override { return id == 0 ? "f" : id == 1 ? "g2" : ""; }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzNames names;
  static bool once = [] {
    RegisterBuiltinVariable("x");
    return true;
  }();
  (void)once;
  if (size == 0) return 0;
  const bool expression = data[0] & 1;
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  CCode code(text, expression);
  ClearCodeError();
  if (code.Compile(&names)) {
    Check(code.i_compiled);
    for (size_t i = 0; i < code.NodeCount(); ++i) {
      const RToken& n = code.Node(static_cast<uint32_t>(i));
      for (int32_t k = 0; k < n.itemnumb; ++k) Check(code.Child(n, k) < code.NodeCount());
    }
    std::string dump = DumpTree(code, &names);
    std::string compact = DumpTreeCompact(code, &names);
    Check(!compact.empty());
  } else {
    Check(CodeErrorPending());
    Check(!code.CompileError().empty());
  }
  ClearCodeError();
  // The display form of any eight bytes read as a real.
  if (size >= 9) {
    double v;
    std::memcpy(&v, data + 1, sizeof v);
    std::string out;
    DisplayString(RValue::Real(v), out);
  }
  return 0;
}
