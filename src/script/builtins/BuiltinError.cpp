#include "script/builtins/BuiltinError.h"

#include <cstdio>
#include <utility>

namespace kestro {

namespace {
BuiltinErrorHandler& Handler() {
  static BuiltinErrorHandler handler;
  return handler;
}
}  // namespace

void SetBuiltinErrorHandler(BuiltinErrorHandler handler) { Handler() = std::move(handler); }

void ReportBuiltinError(std::string_view message, bool fatal) {
  if (Handler()) {
    Handler()(message, fatal);
    return;
  }
  std::fprintf(stderr, "%s%.*s\n", fatal ? "FATAL ERROR: " : "ERROR: ", static_cast<int>(message.size()),
               message.data());
}

}  // namespace kestro
