// `show_error` and `show_debug_message`: the two ways game code reaches the error reporting and
// the debug messages itself.
#include "world/ErrorReport.h"
#include "script/Value.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/Bindings.h"

namespace kestro {

namespace {

// show_error(text, abort): an action error with the text; fatal when abort is true.
KESTRO_BUILTIN(ShowError) {
  std::string text = argc > 0 ? DisplayString(a[0]) : std::string();
  ReportActionError(text, argc > 1 && ArgBool(a[1]));
}

// show_debug_message(value): the value's display form.
KESTRO_BUILTIN(ShowDebugMessage) { AddDebugMessage(argc > 0 ? DisplayString(a[0]) : std::string()); }

constexpr RBinding kErrorFunctions[] = {
    {"show_error", ShowError},
    {"show_debug_message", ShowDebugMessage},
};

}  // namespace

RBindingTable ErrorFunctions() { return kErrorFunctions; }

}  // namespace kestro
