// The texts the debug window shows: values as the watch grid and the information windows write
// them, information lines, and the contents of the global, local and instances windows.
#pragma once

#include <string>
#include <string_view>

#include "script/Value.h"

namespace kestro {
class CInstance;
}

namespace kestro::debug {

// A string unchanged. A real that is an integer (within 1e-12) as that integer; otherwise with
// the first of 2, 4, 6 and 8 decimals that holds it (within 1e-12), else 10 decimals; rounded to
// 10 significant digits and padded with zeros: 3, 0.50, 0.1250, 0.3333333333.
std::string ValueText(const RValue& v);

// "name:" padded with spaces to 20 characters, the value's text without NUL characters, CR LF.
std::string InfoLine(std::string_view name, const RValue& value);
// 32 underscores and CR LF.
std::string SeparatorLine();

// The global window: mouse, keyboard, room, folders and errors read through the built-in
// variable table, then every global variable.
std::string GlobalVariablesText();
// The local window of the first unmarked instance (room order) whose id is `id` or whose object
// is named `name`; "NO SUCH INSTANCE EXISTS" when there is none.
std::string LocalVariablesText(int id, std::string_view name);
inline constexpr const char* kNoSuchInstance = "NO SUCH INSTANCE EXISTS";
// The instances window: a header, then "%6d %14s %14s" (id, object name, sprite name) for every
// unmarked instance of the room.
std::string InstancesText();

// The panels of the status bar.
std::string FpsPanel(int fps);         // "30 fps"
std::string InstancePanel(int count);  // "4 inst"
// "mouse id: " and the id of the last unmarked instance (room order) whose mask holds the mouse
// position in the room, or nothing after it.
std::string MousePanel();

}  // namespace kestro::debug
