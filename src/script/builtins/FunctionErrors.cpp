// `show_error` and `show_debug_message`: the two ways game code reaches the error reporting and
// the debug messages itself.
#include "script/ErrorReport.h"
#include "script/Value.h"
#include "script/builtins/BuiltinInstall.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

// show_error(text, abort): an action error with the text; fatal when abort is true.
void ShowError(CInstance*, CInstance*, int32_t argc, RValue&, const RValue* args) {
  std::string text = argc > 0 ? DisplayString(args[0]) : std::string();
  ReportActionError(text, argc > 1 && IsTrue(args[1]));
}

// show_debug_message(value): the value's display form.
void ShowDebugMessage(CInstance*, CInstance*, int32_t argc, RValue&, const RValue* args) {
  AddDebugMessage(argc > 0 ? DisplayString(args[0]) : std::string());
}

}  // namespace

void InstallErrorFunctions(CFunctionRegistry& registry) {
  registry.Implement("show_error", ShowError);
  registry.Implement("show_debug_message", ShowDebugMessage);
}

}  // namespace kestro
