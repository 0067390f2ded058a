#include "debug/DebugText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "resources/GameResources.h"
#include "script/Utf8.h"
#include "script/Variables.h"
#include "script/builtins/BuiltinVariables.h"
#include "world/Instance.h"
#include "world/InstanceCollision.h"
#include "world/World.h"

namespace kestro::debug {

namespace {

// Fixed notation with `decimals` decimals of x rounded to 10 significant digits (and to those
// decimals), half away from zero on the decimal digits.
std::string Fixed(double x, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9e", x);
  const bool neg = buf[0] == '-';
  const char* p = buf + (neg ? 1 : 0);
  std::string digits;
  digits.push_back(p[0]);
  for (const char* q = p + 2; *q && *q != 'e'; ++q) digits.push_back(*q);
  const int exp10 = std::atoi(std::strchr(p, 'e') + 1);
  // The value is 0.digits * 10^(exp10 + 1); keep the digits down to the last decimal.
  const int keep = exp10 + 1 + decimals;
  std::string fixed;  // the digits of round(|x| * 10^decimals)
  if (keep <= 0) {
    fixed = (keep == 0 && digits[0] >= '5') ? "1" : "0";
  } else {
    fixed = digits.substr(0, size_t(keep));
    if (fixed.size() < size_t(keep)) fixed.append(size_t(keep) - fixed.size(), '0');
    if (size_t(keep) < digits.size() && digits[size_t(keep)] >= '5') {
      int k = int(fixed.size()) - 1;
      while (k >= 0 && fixed[size_t(k)] == '9') fixed[size_t(k--)] = '0';
      if (k < 0)
        fixed.insert(fixed.begin(), '1');
      else
        ++fixed[size_t(k)];
    }
  }
  while (fixed.size() < size_t(decimals) + 1) fixed.insert(fixed.begin(), '0');
  const bool zero = fixed.find_first_not_of('0') == std::string::npos;
  std::string out = (neg && !zero) ? "-" : "";
  out += fixed.substr(0, fixed.size() - size_t(decimals));
  if (decimals > 0) {
    out += '.';
    out += fixed.substr(fixed.size() - size_t(decimals));
  }
  return out;
}

bool Whole(double a) { return std::fabs(a - std::round(a)) < 1e-12; }

// A built-in variable read through the table with `self`, array index 0; a name the table does not
// have, or whose routine is not bound, reads 0 (and reports nothing: the window reads it often).
RValue Builtin(CInstance* self, const char* name) {
  RValue v = RValue::Real(0);
  const int32_t id = FindBuiltinVariable(name);
  if (id < 0 || !IsVariableBound(id)) return v;
  GetBuiltinVariable(self, id, 0, v);
  return v;
}

void AddBuiltins(std::string& out, CInstance* self, std::initializer_list<const char*> names) {
  for (const char* name : names) out += InfoLine(name, Builtin(self, name));
}

void AddVariables(std::string& out, const CVariableList& list) {
  for (const RVariable& v : list.Vars()) out += InfoLine(VariableName(v.ind), v.simplevalue);
}

// Right-aligned in `width` characters, never cut.
std::string Right(const std::string& text, size_t width) {
  const size_t n = size_t(Utf8CharCount(text));
  return n >= width ? text : std::string(width - n, ' ') + text;
}

}  // namespace

std::string ValueText(const RValue& v) {
  if (v.IsString()) return v.str.str();
  const double a = v.val;
  if (std::isnan(a)) return "NAN";
  if (std::isinf(a)) return a > 0 ? "INF" : "-INF";
  if (Whole(a)) {
    if (std::fabs(a) < 9.2e18) return std::to_string(static_cast<long long>(std::llround(a)));
    return Fixed(a, 0);
  }
  for (int k : {2, 4, 6, 8})
    if (Whole(a * std::pow(10.0, k))) return Fixed(a, k);
  return Fixed(a, 10);
}

std::string InfoLine(std::string_view name, const RValue& value) {
  std::string line(name);
  line += ':';
  const size_t n = size_t(Utf8CharCount(line));
  if (n < 20) line.append(20 - n, ' ');
  for (char c : ValueText(value))
    if (c != '\0') line += c;
  line += "\r\n";
  return line;
}

std::string SeparatorLine() { return std::string(32, '_') + "\r\n"; }

std::string GlobalVariablesText() {
  CInstance temp;
  temp.Create(0, 0, 0, 0);
  std::string out;
  AddBuiltins(out, &temp,
              {"mouse_x", "mouse_y", "mouse_button", "mouse_lastbutton", "keyboard_key", "keyboard_lastkey",
               "keyboard_lastchar", "keyboard_string"});
  out += SeparatorLine();
  AddBuiltins(out, &temp,
              {"score", "lives", "health", "room", "room_width", "room_height", "room_speed", "room_persistent",
               "cursor_sprite"});
  out += SeparatorLine();
  AddBuiltins(
      out, &temp,
      {"working_directory", "temp_directory", "program_directory", "secure_mode", "error_occurred", "error_last"});
  out += SeparatorLine();
  AddVariables(out, GlobalVariables());
  return out;
}

std::string LocalVariablesText(int id, std::string_view name) {
  CInstance* found = nullptr;
  for (const auto& inst : World().Room().Active()) {
    if (inst->i_marked) continue;
    if (inst->i_id == id || Objects().Name(inst->i_objectindex) == name) {
      found = inst.get();
      break;
    }
  }
  if (!found) return kNoSuchInstance;
  std::string out;
  AddBuiltins(out, found,
              {"x", "y", "direction", "speed", "hspeed", "vspeed", "friction", "gravity", "gravity_direction"});
  out += SeparatorLine();
  AddBuiltins(out, found,
              {"id", "object_index", "sprite_index", "image_index", "image_single", "image_speed", "image_xscale",
               "image_yscale", "mask_index", "solid", "visible", "persistent", "depth"});
  out += SeparatorLine();
  AddBuiltins(out, found, {"path_index", "path_position", "path_orientation", "path_scale"});
  out += SeparatorLine();
  AddVariables(out, found->i_vars);
  return out;
}

std::string InstancesText() {
  std::string out = "   Id     Object Name    Sprite Name\r\n" + std::string(36, '_') + "\r\n";
  for (const auto& inst : World().Room().Active()) {
    if (inst->i_marked) continue;
    char id[32];
    std::snprintf(id, sizeof id, "%6d", inst->i_id);
    out += id;
    out += ' ' + Right(Objects().Name(inst->i_objectindex), 14);
    out += ' ' + Right(Sprites().Name(inst->i_spriteindex), 14);
    out += "\r\n";
  }
  return out;
}

std::string FpsPanel(int fps) { return std::to_string(fps) + " fps"; }
std::string InstancePanel(int count) { return std::to_string(count) + " inst"; }

std::string MousePanel() {
  CInstance temp;
  temp.Create(0, 0, 0, 0);
  const RValue mx = Builtin(&temp, "mouse_x"), my = Builtin(&temp, "mouse_y");
  const double x = mx.IsReal() ? mx.val : 0, y = my.IsReal() ? my.val : 0;
  const CInstance* under = nullptr;
  for (const auto& inst : World().Room().Active())
    if (!inst->i_marked && Collision_Point(*inst, true, x, y)) under = inst.get();
  return under ? "mouse id: " + std::to_string(under->i_id) : std::string("mouse id: ");
}

}  // namespace kestro::debug
