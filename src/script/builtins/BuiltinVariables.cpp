#include "script/builtins/BuiltinVariables.h"

#include <cstdio>
#include <vector>

#include "script/Scripts.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinError.h"

namespace kestro {

namespace {

// The vocabulary in registration order: the instance variables, then the game-wide variables. A
// variable's id is its place here (x is 0), unless a name was registered before the table.
constexpr const char* kInstanceVariables[] = {
    "x", "y", "xprevious", "yprevious", "xstart", "ystart", "hspeed", "vspeed", "direction", "speed",
    "friction", "gravity", "gravity_direction", "object_index", "id", "alarm", "solid", "visible",
    "persistent", "depth", "bbox_left", "bbox_right", "bbox_top", "bbox_bottom", "sprite_index",
    "image_index", "image_single", "image_number", "sprite_width", "sprite_height", "sprite_xoffset",
    "sprite_yoffset", "image_xscale", "image_yscale", "image_angle", "image_alpha", "image_blend",
    "image_speed", "mask_index", "path_index", "path_position", "path_positionprevious", "path_speed",
    "path_scale", "path_orientation", "path_endaction", "timeline_index", "timeline_position",
    "timeline_speed", "timeline_running", "timeline_loop",
};
constexpr const char* kGameVariables[] = {
    "argument_relative", "argument0", "argument1", "argument2", "argument3", "argument4", "argument5",
    "argument6", "argument7", "argument8", "argument9", "argument10", "argument11", "argument12",
    "argument13", "argument14", "argument15", "argument", "argument_count", "room", "room_first",
    "room_last", "transition_kind", "transition_steps", "score", "lives", "health", "game_id",
    "working_directory", "temp_directory", "program_directory", "instance_count", "instance_id",
    "room_width", "room_height", "room_caption", "room_speed", "room_persistent", "background_color",
    "background_showcolor", "background_visible", "background_foreground", "background_index",
    "background_x", "background_y", "background_width", "background_height", "background_htiled",
    "background_vtiled", "background_xscale", "background_yscale", "background_hspeed", "background_vspeed",
    "background_blend", "background_alpha", "view_enabled", "view_current", "view_visible", "view_xview",
    "view_yview", "view_wview", "view_hview", "view_xport", "view_yport", "view_wport", "view_hport",
    "view_angle", "view_hborder", "view_vborder", "view_hspeed", "view_vspeed", "view_object", "mouse_x",
    "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key", "keyboard_lastkey", "keyboard_lastchar",
    "keyboard_string", "cursor_sprite", "show_score", "show_lives", "show_health", "caption_score",
    "caption_lives", "caption_health", "fps", "current_time", "current_year", "current_month", "current_day",
    "current_weekday", "current_hour", "current_minute", "current_second", "event_type", "event_number",
    "event_object", "event_action", "secure_mode", "debug_mode", "error_occurred", "error_last",
    "kestro_version", "os_type", "os_device", "display_aa",
};

struct REntry {
  VariableGetter get = nullptr;
  VariableSetter set = nullptr;
};

std::vector<REntry>& Entries() {
  static std::vector<REntry> entries;
  return entries;
}

std::vector<RVariableBindingTable>& InstalledTables() {
  static std::vector<RVariableBindingTable> tables;
  return tables;
}

}  // namespace

int32_t BuiltinInstanceVariableCount() { return int32_t(std::size(kInstanceVariables)); }
int32_t BuiltinGameVariableCount() { return int32_t(std::size(kGameVariables)); }

void RegisterBuiltinVariables() {
  for (const char* name : kInstanceVariables)
    if (FindBuiltinVariable(name) < 0) RegisterBuiltinVariable(name);
  for (const char* name : kGameVariables)
    if (FindBuiltinVariable(name) < 0) RegisterBuiltinVariable(name);
}

std::vector<std::string> BindVariables(RVariableBindingTable table) {
  std::vector<std::string> unknown;
  std::vector<REntry>& entries = Entries();
  for (const RVariableBinding& b : table) {
    const int32_t id = FindBuiltinVariable(b.name);
    if (id < 0) {
      unknown.emplace_back(b.name);
      continue;
    }
    if (size_t(id) >= entries.size()) entries.resize(size_t(id) + 1);
    entries[size_t(id)] = {b.get, b.set};
  }
  return unknown;
}

void SetVariableBindings(std::vector<RVariableBindingTable> tables) {
  RegisterBuiltinVariables();
  Entries().clear();
  InstalledTables() = std::move(tables);
  for (RVariableBindingTable table : InstalledTables())
    for (const std::string& name : BindVariables(table))
      std::fprintf(stderr, "Internal error: no built-in variable is named %s.\n", name.c_str());
}

bool IsVariableBound(int32_t id) {
  return id >= 0 && size_t(id) < Entries().size() && Entries()[size_t(id)].get != nullptr;
}

bool GetBuiltinVariable(CInstance* inst, int32_t id, int32_t flat, RValue& out) {
  if (auto arg = GetArgumentVariable(id, flat, out)) return *arg;
  if (!IsVariableBound(id)) {
    ReportBuiltinError("Variable " + VariableName(id) + " is not available yet.");
    out = RValue();
    return true;
  }
  return Entries()[size_t(id)].get(inst, flat, out);
}

bool SetBuiltinVariable(CInstance* inst, int32_t id, int32_t flat, const RValue& value) {
  if (auto arg = SetArgumentVariable(id, flat, value)) return *arg;
  if (!IsVariableBound(id)) {
    ReportBuiltinError("Variable " + VariableName(id) + " is not available yet.");
    return false;
  }
  VariableSetter set = Entries()[size_t(id)].set;
  return set != nullptr && set(inst, flat, value);
}

bool IsInstanceVariable(int32_t id) {
  static std::vector<char> instance;
  if (id < 0) return false;
  if (size_t(id) >= instance.size()) {
    // Filled on demand: registration order may differ when names were registered early.
    instance.assign(size_t(BuiltinVariableCount()), 0);
    for (const char* name : kInstanceVariables)
      if (const int32_t k = FindBuiltinVariable(name); k >= 0 && size_t(k) < instance.size()) instance[size_t(k)] = 1;
  }
  return size_t(id) < instance.size() && instance[size_t(id)] != 0;
}

bool IsVariableWritable(int32_t id) {
  if (ArgumentVariableSlot(id) >= 0) return true;
  return IsVariableBound(id) && Entries()[size_t(id)].set != nullptr;
}

}  // namespace kestro
