// The registry functions of game code: values in the game's own key, and under any key of the
// root chosen with registry_set_root (the _ext functions). Strings are stored as text values,
// reals as 8-byte binary values holding the double in little-endian order.
#include <bit>
#include <cstring>
#include <string>

#include "files/Bindings.h"
#include "files/GameNames.h"
#include "files/RegistryStore.h"
#include "io/RunState.h"
#include "script/builtins/BuiltinArgs.h"

namespace kestro {

namespace {

using files::ERegistryRoot;
using files::Registry;
using files::RRegistryValue;

ERegistryRoot g_root = ERegistryRoot::kCurrentUser;

std::string Text(const RValue& v) { return v.str.str(); }

std::string GameKey() { return "Software\\Kestro\\" + std::to_string(RunState().gameId); }

RRegistryValue StringValue(const std::string& s) { return {files::kRegString, s}; }

RRegistryValue RealValue(double x) {
  static_assert(std::endian::native == std::endian::little);
  std::string bytes(sizeof x, '\0');
  std::memcpy(bytes.data(), &x, sizeof x);
  return {files::kRegBinary, bytes};
}

// Readers never create the key: a missing key reads as "" or 0.
std::string ReadString(ERegistryRoot root, const std::string& key, const std::string& name) {
  if (!Registry().KeyExists(root, key)) return {};
  auto v = Registry().Read(root, key, name);
  if (!v || (v->type != files::kRegString && v->type != files::kRegExpandString)) return {};
  // A text value ends at its first zero byte, as on the games' system.
  return v->data.substr(0, v->data.find('\0'));
}

double ReadReal(ERegistryRoot root, const std::string& key, const std::string& name) {
  if (!Registry().KeyExists(root, key)) return 0;
  auto v = Registry().Read(root, key, name);
  if (!v || v->type != files::kRegBinary || v->data.size() != sizeof(double)) return 0;
  double x = 0;
  std::memcpy(&x, v->data.data(), sizeof x);
  return x;
}

// The exists functions create the key when it is missing, then look for the value.
bool Exists(ERegistryRoot root, const std::string& key, const std::string& name) {
  Registry().CreateKey(root, key);
  return Registry().Read(root, key, name).has_value();
}

KESTRO_BUILTIN(RegistryWriteString) {
  Registry().Write(ERegistryRoot::kCurrentUser, GameKey(), Text(a[0]), StringValue(Text(a[1])));
}
KESTRO_BUILTIN(RegistryWriteReal) {
  Registry().Write(ERegistryRoot::kCurrentUser, GameKey(), Text(a[0]), RealValue(a[1].val));
}
KESTRO_BUILTIN(RegistryReadString) { SetText(r, ReadString(ERegistryRoot::kCurrentUser, GameKey(), Text(a[0]))); }
KESTRO_BUILTIN(RegistryReadReal) { r = RValue::Real(ReadReal(ERegistryRoot::kCurrentUser, GameKey(), Text(a[0]))); }
KESTRO_BUILTIN(RegistryExists) { r = RValue::Real(Exists(ERegistryRoot::kCurrentUser, GameKey(), Text(a[0])) ? 1 : 0); }

// In secure mode the _ext writers write nothing anywhere.
bool RefusedInSecureMode(const std::string& key) {
  if (!files::SecureMode()) return false;
  ReportBuiltinError("In Secure mode you cannot write registry entries in " + key);
  return true;
}

KESTRO_BUILTIN(RegistryWriteStringExt) {
  const std::string key = Text(a[0]);
  if (RefusedInSecureMode(key)) return;
  Registry().Write(g_root, key, Text(a[1]), StringValue(Text(a[2])));
}
KESTRO_BUILTIN(RegistryWriteRealExt) {
  const std::string key = Text(a[0]);
  if (RefusedInSecureMode(key)) return;
  Registry().Write(g_root, key, Text(a[1]), RealValue(a[2].val));
}
KESTRO_BUILTIN(RegistryReadStringExt) { SetText(r, ReadString(g_root, Text(a[0]), Text(a[1]))); }
KESTRO_BUILTIN(RegistryReadRealExt) { r = RValue::Real(ReadReal(g_root, Text(a[0]), Text(a[1]))); }
KESTRO_BUILTIN(RegistryExistsExt) { r = RValue::Real(Exists(g_root, Text(a[0]), Text(a[1])) ? 1 : 0); }

KESTRO_BUILTIN(RegistrySetRoot) {
  switch (ArgInt(a[0])) {
    case 1: g_root = ERegistryRoot::kLocalMachine; break;
    case 2: g_root = ERegistryRoot::kClassesRoot; break;
    case 3: g_root = ERegistryRoot::kUsers; break;
    default: g_root = ERegistryRoot::kCurrentUser; break;
  }
}

constexpr RBinding kRegistryFunctions[] = {
    {"registry_write_string", RegistryWriteString},
    {"registry_write_real", RegistryWriteReal},
    {"registry_read_string", RegistryReadString},
    {"registry_read_real", RegistryReadReal},
    {"registry_exists", RegistryExists},
    {"registry_write_string_ext", RegistryWriteStringExt},
    {"registry_write_real_ext", RegistryWriteRealExt},
    {"registry_read_string_ext", RegistryReadStringExt},
    {"registry_read_real_ext", RegistryReadRealExt},
    {"registry_exists_ext", RegistryExistsExt},
    {"registry_set_root", RegistrySetRoot},
};

}  // namespace

RBindingTable RegistryFunctions() { return kRegistryFunctions; }

}  // namespace kestro
