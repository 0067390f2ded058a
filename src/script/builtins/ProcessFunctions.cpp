// The clipboard, the application's title, the program's priority and the window handle, through
// the installed desktop (Desktop.h). None of them reports an error.
#include "io/RunState.h"
#include "script/builtins/Bindings.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/Desktop.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {
IDesktop* g_desktop = nullptr;
}  // namespace

CProcessDesktop& ProcessDesktop() {
  static CProcessDesktop desktop;
  return desktop;
}
IDesktop& Desktop() { return g_desktop ? *g_desktop : ProcessDesktop(); }
void SetDesktop(IDesktop* desktop) { g_desktop = desktop; }

namespace {

KESTRO_BUILTIN(F_clipboard_has_text) { r.SetReal(Desktop().ClipboardHasText() ? 1 : 0); }
KESTRO_BUILTIN(F_clipboard_get_text) { SetText(r, Desktop().ClipboardText()); }
KESTRO_BUILTIN(F_clipboard_set_text) { Desktop().SetClipboardText(ArgText(a[0])); }

KESTRO_BUILTIN(F_set_application_title) {
  if (!a[0].IsString()) return;  // a real is ignored
  const std::string title(a[0].str.view());
  Desktop().SetApplicationTitle(title);
  RunState().title = title;
}

KESTRO_BUILTIN(F_set_program_priority) {
  const int64_t p = ArgInt(a[0]);
  Desktop().SetProgramPriority(p >= -3 && p <= 3 ? int(p) : 0);
}

KESTRO_BUILTIN(F_window_handle) { r.SetReal(Desktop().WindowHandle()); }

constexpr RBinding kProcessFunctions[] = {
    {"clipboard_has_text", F_clipboard_has_text},     {"clipboard_get_text", F_clipboard_get_text},
    {"clipboard_set_text", F_clipboard_set_text},     {"set_application_title", F_set_application_title},
    {"set_program_priority", F_set_program_priority}, {"window_handle", F_window_handle},
};

}  // namespace

RBindingTable ProcessFunctions() { return kProcessFunctions; }

}  // namespace kestro
