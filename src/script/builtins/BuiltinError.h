// How built-in functions report errors. The error reporting of the game (action header, error
// window, log file) installs itself here once it exists; until then, and in tools that have no
// game, messages go to standard error. Reporting never stops the calling code: the function
// returns its neutral result and the game goes on, unless the error is fatal.
#pragma once

#include <functional>
#include <string_view>

namespace kestro {

using BuiltinErrorHandler = std::function<void(std::string_view message, bool fatal)>;

// Installs the handler for every later report; an empty handler restores standard error.
void SetBuiltinErrorHandler(BuiltinErrorHandler handler);
// Hands a message (without header) to the installed handler.
void ReportBuiltinError(std::string_view message, bool fatal = false);

}  // namespace kestro
