// The mplay_* functions called through the registry as game code calls them, this copy being the
// run's multiplayer state and the other copy a model beside it on the in-memory network: players
// named by name or id, the bounds of the shared data, the current message, the status values.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "io/RunState.h"
#include "multiplayer/LoopbackLink.h"
#include "multiplayer/Multiplayer.h"
#include "script/builtins/FunctionRegistry.h"
#include "support/Values.h"

namespace kestro {
namespace {

using namespace mplay;
using test::R;
using test::S;
using test::Show;

struct Step {
  const char* fn;
  std::vector<RValue> args;
  std::optional<RValue> want = std::nullopt;
};

class MultiplayerFunctions_ : public ::testing::Test {
 protected:
  void SetUp() override {
    RunState().guid = {7, 7, 7};
    Multiplayer().Reset();
    Multiplayer().SetServices(&mine);
    Multiplayer().SetTimeouts({.findMs = 0, .connectMs = 200, .rejoinMs = 60000});
    Multiplayer().SetWaitHook([this] { hub.PumpOthers(0); });
    other.SetWaitHook([this] { hub.PumpOthers(1); });
    other.SetServices(&theirs);
    other.SetApplication(RunState().guid);
    other.SetTimeouts({.findMs = 0, .connectMs = 200, .rejoinMs = 60000});
    hub.SetPump(0, [] { Multiplayer().Service(); });
    hub.SetPump(1, [this] { other.Service(); });
  }
  void TearDown() override {
    hub.SetPump(0, nullptr);
    hub.SetPump(1, nullptr);
    Multiplayer().Reset();
    Multiplayer().SetServices(nullptr);
    Multiplayer().SetWaitHook(nullptr);
    other.End();
    RunState().guid = {};
  }
  RValue Call(const char* fn, const std::vector<RValue>& args) { return test::CallBuiltin(fn, args); }
  void Run(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
      const RValue got = Call(steps[i].fn, steps[i].args);
      if (steps[i].want) {
        EXPECT_EQ(Show(got), Show(*steps[i].want)) << "step " << i << ": " << steps[i].fn;
      }
    }
  }

  test::CLoopHub hub;
  test::CLoopServices mine{hub}, theirs{hub};
  CMultiplayer other;
};

TEST_F(MultiplayerFunctions_, UnavailableKindsAndTheConnectionStatus) {
  Run({
      {"mplay_connect_status", {}, R(0)},
      {"mplay_init_ipx", {}, R(0)},
      {"mplay_init_modem", {S(""), S("555")}, R(0)},
      {"mplay_init_serial", {R(1), R(9600), R(0), R(0), R(0)}, R(0)},
      {"mplay_connect_status", {}, R(0)},
      {"mplay_session_find", {}, R(0)},
      {"mplay_session_create", {S("room"), R(0), S("me")}, R(0)},
      {"mplay_session_name", {R(0)}, S("")},
      {"mplay_player_find", {}, R(0)},
      {"mplay_data_read", {R(0)}, R(0)},
      {"mplay_message_count", {R(0)}, R(0)},
      {"mplay_message_name", {}, S("(unknown)")},
      {"mplay_ipaddress", {}, S("192.0.2.7")},
      {"mplay_init_tcpip", {S("loop")}, R(1)},
      {"mplay_connect_status", {}, R(2)},
      {"mplay_init_tcpip", {S("loop")}, R(0)},
      {"mplay_end", {}},
      {"mplay_connect_status", {}, R(0)},
  });
}

TEST_F(MultiplayerFunctions_, ASessionPlayedThroughTheFunctions) {
  ASSERT_TRUE(other.Init(ParseTcpIpAddress("")));
  other.SetSessionMode(true);
  ASSERT_TRUE(other.CreateSession("arena", 4, "host"));
  Run({
      {"mplay_init_tcpip", {S("loop")}, R(1)},
      {"mplay_session_find", {}, R(1)},
      {"mplay_session_name", {R(0)}, S("arena")},
      {"mplay_session_name", {R(0.6)}, S("")},  // rounded to 1
      {"mplay_session_join", {R(0), S("me")}, R(1)},
      {"mplay_session_status", {}, R(2)},
      {"mplay_player_find", {}, R(2)},
      {"mplay_player_name", {R(0)}, S("me")},
      {"mplay_player_name", {R(1)}, S("host")},
      {"mplay_player_id", {R(1)}, R(other.OwnId())},
      {"mplay_player_id", {R(5)}, R(0)},
      // Targets by name (exact) or id.
      {"mplay_message_send", {S("host"), R(3), S("by name")}, R(1)},
      {"mplay_message_send_guaranteed", {R(other.OwnId()), R(4), R(4.5)}, R(1)},
      {"mplay_message_send", {S("Host"), R(5), R(0)}, R(0)},
      {"mplay_data_write", {R(-1), R(5)}, R(0)},
      {"mplay_data_write", {R(1000001), R(5)}, R(0)},
      {"mplay_data_read", {R(1000001)}, R(0)},
      {"mplay_data_mode", {R(0.4)}},  // not guaranteed
      {"mplay_data_write", {R(2), S("two")}, R(1)},
  });
  ASSERT_TRUE(other.Receive(0));
  EXPECT_EQ(Show(other.Current().val), "\"by name\"");
  ASSERT_TRUE(other.Receive(0));
  EXPECT_EQ(other.Current().messid, 4);
  EXPECT_EQ(Show(other.DataRead(2)), "\"two\"");

  ASSERT_TRUE(other.Send(0, 8, S("to all"), true));
  ASSERT_TRUE(other.Send(0, 9, R(9), true));
  Run({
      {"mplay_message_count", {R(0)}, R(2)},
      {"mplay_message_receive", {S("nobody")}, R(0)},
      {"mplay_message_receive", {S("host")}, R(1)},
      {"mplay_message_id", {}, R(8)},
      {"mplay_message_value", {}, S("to all")},
      {"mplay_message_player", {}, R(other.OwnId())},
      {"mplay_message_name", {}, S("host")},
      {"mplay_message_clear", {R(0)}},
      {"mplay_message_count", {R(0)}, R(0)},
  });
  // The host goes: with migration this copy is the only one left and hosts; the sender of the
  // current message is no longer in the list.
  other.EndSession();
  Run({
      {"mplay_player_find", {}, R(1)},
      {"mplay_session_status", {}, R(2)},
      {"mplay_message_name", {}, S("(unknown)")},
      {"mplay_message_id", {}, R(8)},
      {"mplay_session_end", {}},
      {"mplay_session_status", {}, R(0)},
      {"mplay_connect_status", {}, R(2)},
      {"mplay_end", {}},
      {"mplay_connect_status", {}, R(0)},
  });
}

}  // namespace
}  // namespace kestro
