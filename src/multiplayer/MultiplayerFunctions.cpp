// The mplay_* functions over the run's multiplayer state. Numbers are rounded; a player argument of
// the send and receive functions is an id or a name.
#include <limits>

#include "io/RunState.h"
#include "multiplayer/Bindings.h"
#include "multiplayer/Multiplayer.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/FunctionRegistry.h"

namespace kestro {

namespace {

using namespace mplay;

void SetBool(RValue& r, bool b) { r.SetReal(b ? 1 : 0); }

bool Connect(const RConnectAddress& address) {
  Multiplayer().SetApplication(RunState().guid);
  return Multiplayer().Init(address);
}

// A player id argument of the count and clear functions; one no player can have matches nothing.
bool IdArg(const RValue& v, uint32_t& id) {
  const int64_t n = ArgInt(v);
  if (n < 0 || n > std::numeric_limits<uint32_t>::max()) return false;
  id = static_cast<uint32_t>(n);
  return true;
}

KESTRO_BUILTIN(F_mplay_init_ipx) {
  RConnectAddress address;
  address.kind = EConnection::kIpx;
  SetBool(r, Connect(address));
}

KESTRO_BUILTIN(F_mplay_init_tcpip) { SetBool(r, Connect(ParseTcpIpAddress(ArgText(a[0])))); }

KESTRO_BUILTIN(F_mplay_init_modem) {
  RConnectAddress address;
  address.kind = EConnection::kModem;
  address.modem = ArgText(a[0]);
  address.phone = ArgText(a[1]);
  SetBool(r, Connect(address));
}

KESTRO_BUILTIN(F_mplay_init_serial) {
  RConnectAddress address;
  address.kind = EConnection::kSerial;
  address.comPort = static_cast<int32_t>(ArgInt(a[0]));
  address.baud = static_cast<int32_t>(ArgInt(a[1]));
  address.stopBits = static_cast<int32_t>(ArgInt(a[2]));
  address.parity = static_cast<int32_t>(ArgInt(a[3]));
  address.flow = static_cast<int32_t>(ArgInt(a[4]));
  SetBool(r, Connect(address));
}

KESTRO_BUILTIN(F_mplay_connect_status) { r.SetReal(static_cast<double>(Multiplayer().ConnectStatus())); }
KESTRO_BUILTIN(F_mplay_end) { Multiplayer().End(); }

KESTRO_BUILTIN(F_mplay_session_mode) { Multiplayer().SetSessionMode(ArgBool(a[0])); }
KESTRO_BUILTIN(F_mplay_session_create) {
  SetBool(r, Multiplayer().CreateSession(ArgText(a[0]), ArgInt(a[1]), ArgText(a[2])));
}
KESTRO_BUILTIN(F_mplay_session_find) { r.SetReal(static_cast<double>(Multiplayer().FindSessions())); }
KESTRO_BUILTIN(F_mplay_session_name) { SetText(r, Multiplayer().SessionName(ArgInt(a[0]))); }
KESTRO_BUILTIN(F_mplay_session_join) { SetBool(r, Multiplayer().JoinSession(ArgInt(a[0]), ArgText(a[1]))); }
KESTRO_BUILTIN(F_mplay_session_status) { r.SetReal(Multiplayer().SessionStatus()); }
KESTRO_BUILTIN(F_mplay_session_end) { Multiplayer().EndSession(); }

KESTRO_BUILTIN(F_mplay_player_find) { r.SetReal(static_cast<double>(Multiplayer().FindPlayers())); }
KESTRO_BUILTIN(F_mplay_player_name) { SetText(r, Multiplayer().PlayerName(ArgInt(a[0]))); }
KESTRO_BUILTIN(F_mplay_player_id) { r.SetReal(Multiplayer().PlayerId(ArgInt(a[0]))); }

KESTRO_BUILTIN(F_mplay_data_write) { SetBool(r, Multiplayer().DataWrite(ArgInt(a[0]), a[1])); }
KESTRO_BUILTIN(F_mplay_data_read) { r = Multiplayer().DataRead(ArgInt(a[0])); }
KESTRO_BUILTIN(F_mplay_data_mode) { Multiplayer().SetDataMode(ArgBool(a[0])); }

void SendMessage(RValue& r, const RValue* a, bool guaranteed) {
  uint32_t to = 0;
  SetBool(r, Multiplayer().ResolvePlayer(a[0], to) &&
                 Multiplayer().Send(to, static_cast<int32_t>(ArgInt(a[1])), a[2], guaranteed));
}
KESTRO_BUILTIN(F_mplay_message_send) { SendMessage(r, a, false); }
KESTRO_BUILTIN(F_mplay_message_send_guaranteed) { SendMessage(r, a, true); }
KESTRO_BUILTIN(F_mplay_message_receive) {
  uint32_t from = 0;
  SetBool(r, Multiplayer().ResolvePlayer(a[0], from) && Multiplayer().Receive(from));
}
KESTRO_BUILTIN(F_mplay_message_id) { r.SetReal(Multiplayer().Current().messid); }
KESTRO_BUILTIN(F_mplay_message_value) { r = Multiplayer().Current().val; }
KESTRO_BUILTIN(F_mplay_message_player) { r.SetReal(Multiplayer().Current().player); }
KESTRO_BUILTIN(F_mplay_message_name) { SetText(r, Multiplayer().CurrentName()); }
KESTRO_BUILTIN(F_mplay_message_count) {
  uint32_t from = 0;
  if (IdArg(a[0], from)) r.SetReal(static_cast<double>(Multiplayer().Count(from)));
}
KESTRO_BUILTIN(F_mplay_message_clear) {
  uint32_t from = 0;
  if (IdArg(a[0], from)) Multiplayer().Clear(from);
}

KESTRO_BUILTIN(F_mplay_ipaddress) { SetText(r, Multiplayer().IpAddress()); }

constexpr RBinding kMultiplayerFunctions[] = {
    {"mplay_init_ipx", F_mplay_init_ipx},
    {"mplay_init_tcpip", F_mplay_init_tcpip},
    {"mplay_init_modem", F_mplay_init_modem},
    {"mplay_init_serial", F_mplay_init_serial},
    {"mplay_connect_status", F_mplay_connect_status},
    {"mplay_end", F_mplay_end},
    {"mplay_session_mode", F_mplay_session_mode},
    {"mplay_session_create", F_mplay_session_create},
    {"mplay_session_find", F_mplay_session_find},
    {"mplay_session_name", F_mplay_session_name},
    {"mplay_session_join", F_mplay_session_join},
    {"mplay_session_status", F_mplay_session_status},
    {"mplay_session_end", F_mplay_session_end},
    {"mplay_player_find", F_mplay_player_find},
    {"mplay_player_name", F_mplay_player_name},
    {"mplay_player_id", F_mplay_player_id},
    {"mplay_data_write", F_mplay_data_write},
    {"mplay_data_read", F_mplay_data_read},
    {"mplay_data_mode", F_mplay_data_mode},
    {"mplay_message_send", F_mplay_message_send},
    {"mplay_message_send_guaranteed", F_mplay_message_send_guaranteed},
    {"mplay_message_receive", F_mplay_message_receive},
    {"mplay_message_id", F_mplay_message_id},
    {"mplay_message_value", F_mplay_message_value},
    {"mplay_message_player", F_mplay_message_player},
    {"mplay_message_name", F_mplay_message_name},
    {"mplay_message_count", F_mplay_message_count},
    {"mplay_message_clear", F_mplay_message_clear},
    {"mplay_ipaddress", F_mplay_ipaddress},
};

}  // namespace

RBindingTable MultiplayerFunctions() { return kMultiplayerFunctions; }

}  // namespace kestro
