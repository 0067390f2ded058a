// The multiplayer model with two or three copies of a game in one process over the in-memory
// network: connecting, creating, finding and joining sessions, the player list, messages to one
// player and to all (guaranteed or not), the shared data in both modes, the queue functions, and
// the session's end: a player leaving, the host leaving or vanishing with and without migration.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "multiplayer/LoopbackLink.h"
#include "multiplayer/Multiplayer.h"
#include "support/Values.h"

namespace kestro {
namespace {

using namespace mplay;
using test::CLoopHub;
using test::CLoopServices;
using test::R;
using test::S;
using test::Show;

constexpr RGuid kGame = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
constexpr RGuid kOtherGame = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};

struct CCopy {
  CCopy(CLoopHub& hub, int n, const RGuid& game = kGame) : services(hub), hub_(hub), n_(n) {
    mp.SetServices(&services);
    mp.SetWaitHook([&hub, n] { hub.PumpOthers(n); });
    mp.SetApplication(game);
    mp.SetTimeouts({.findMs = 0, .connectMs = 200, .rejoinMs = 60000});
    hub.SetPump(n, [this] { mp.Service(); });
  }
  ~CCopy() { hub_.SetPump(n_, nullptr); }
  CCopy(const CCopy&) = delete;
  CCopy& operator=(const CCopy&) = delete;
  bool Connect() { return mp.Init(ParseTcpIpAddress("")); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    const int64_t n = mp.FindPlayers();
    for (int64_t i = 0; i < n; ++i) names.push_back(mp.PlayerName(i));
    return names;
  }
  uint32_t IdOf(const std::string& name) {
    uint32_t id = 0;
    EXPECT_TRUE(mp.ResolvePlayer(S(name), id)) << name;
    return id;
  }
  // The next message from `from` (0: anyone) as "id:value@sender", or "" when there is none.
  std::string Next(uint32_t from = 0) {
    if (!mp.Receive(from)) return "";
    const TMess& m = mp.Current();
    return std::to_string(m.messid) + ":" + Show(m.val) + "@" + mp.CurrentName();
  }
  CLoopServices services;
  CMultiplayer mp;

 private:
  CLoopHub& hub_;
  int n_;
};

class Session : public ::testing::Test {
 protected:
  // A session "room" created by alice, joined by bob (and carol when `three`).
  void Start(bool three, bool migrate = false) {
    a = std::make_unique<CCopy>(hub, 0);
    b = std::make_unique<CCopy>(hub, 1);
    ASSERT_TRUE(a->Connect() && b->Connect());
    a->mp.SetSessionMode(migrate);
    ASSERT_TRUE(a->mp.CreateSession("room", 0, "alice"));
    ASSERT_EQ(b->mp.FindSessions(), 1);
    ASSERT_TRUE(b->mp.JoinSession(0, "bob"));
    if (three) {
      c = std::make_unique<CCopy>(hub, 2);
      ASSERT_TRUE(c->Connect());
      ASSERT_EQ(c->mp.FindSessions(), 1);
      ASSERT_TRUE(c->mp.JoinSession(0, "carol"));
    }
  }
  void PumpAll() {
    for (CCopy* copy : {a.get(), b.get(), c.get()})
      if (copy) copy->mp.Service();
  }

  CLoopHub hub;
  std::unique_ptr<CCopy> a, b, c;
};

TEST(MultiplayerAddress, TcpIpAddressSplitsAtTheFirstColon) {
  struct Case {
    const char* text;
    const char* host;
    uint16_t port;
  };
  const Case cases[] = {
      {"", "", 0},
      {"192.168.1.20", "192.168.1.20", 0},
      {"example.lan:2300", "example.lan", 2300},
      {":2300", "", 2300},
      {"host:", "host", 0},
      {"host:abc", "host", 0},
      {"host:65536", "host", 0},
      {"host:1:2", "host", 0},
      {"host:65535", "host", 65535},
  };
  for (const Case& c : cases) {
    const RConnectAddress a = ParseTcpIpAddress(c.text);
    EXPECT_EQ(a.kind, EConnection::kTcpIp);
    EXPECT_EQ(a.host, c.host) << c.text;
    EXPECT_EQ(a.port, c.port) << c.text;
  }
}

TEST(MultiplayerConnection, ConnectsOnceAndEndsBackToNone) {
  CLoopHub hub;
  CCopy copy(hub, 0);
  CMultiplayer& mp = copy.mp;
  RConnectAddress ipx;
  ipx.kind = EConnection::kIpx;
  EXPECT_FALSE(mp.Init(ipx));  // these services have no IPX
  EXPECT_EQ(mp.ConnectStatus(), EConnection::kNone);
  EXPECT_TRUE(copy.Connect());
  EXPECT_EQ(mp.ConnectStatus(), EConnection::kTcpIp);
  EXPECT_FALSE(copy.Connect()) << "a second connection while one exists";
  mp.End();
  EXPECT_EQ(mp.ConnectStatus(), EConnection::kNone);
  EXPECT_TRUE(copy.Connect());

  CMultiplayer bare;  // no network installed at all
  EXPECT_FALSE(bare.Init(ParseTcpIpAddress("")));
  EXPECT_EQ(bare.IpAddress(), "");
}

TEST(MultiplayerConnection, WithoutConnectionOrSessionTheFunctionsGiveNothing) {
  CLoopHub hub;
  CCopy copy(hub, 0);
  CMultiplayer& mp = copy.mp;
  EXPECT_FALSE(mp.CreateSession("room", 0, "alice"));
  EXPECT_EQ(mp.FindSessions(), 0);
  EXPECT_EQ(mp.SessionName(0), "");
  EXPECT_FALSE(mp.JoinSession(0, "bob"));
  ASSERT_TRUE(copy.Connect());
  // Connected, but in no session.
  EXPECT_EQ(mp.FindPlayers(), 0);
  EXPECT_FALSE(mp.DataWrite(0, R(1)));
  EXPECT_EQ(Show(mp.DataRead(0)), "0");
  EXPECT_FALSE(mp.Send(0, 1, R(1), true));
  EXPECT_FALSE(mp.Receive(0));
  EXPECT_EQ(mp.Count(0), 0);
  EXPECT_EQ(mp.SessionStatus(), 0);
}

TEST_F(Session, CreateFindJoinAndThePlayerLists) {
  Start(false);
  EXPECT_EQ(a->mp.SessionStatus(), 1);
  EXPECT_EQ(b->mp.SessionStatus(), 2);
  EXPECT_EQ(b->mp.SessionName(0), "room");
  EXPECT_EQ(b->mp.SessionName(1), "");
  EXPECT_EQ(b->mp.SessionName(-1), "");
  // Entry 0 is always this copy's own player.
  EXPECT_EQ(a->Names(), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob", "alice"}));
  EXPECT_EQ(a->mp.PlayerId(0), a->mp.OwnId());
  EXPECT_EQ(b->mp.PlayerId(0), b->mp.OwnId());
  EXPECT_NE(a->mp.OwnId(), b->mp.OwnId());
  EXPECT_NE(b->mp.OwnId(), 0u);
  EXPECT_EQ(a->mp.PlayerId(1), b->mp.OwnId());
  EXPECT_EQ(a->mp.PlayerId(2), 0u);
  EXPECT_EQ(a->mp.PlayerName(2), "");
  // No second session while in one; no joining out of the found list.
  EXPECT_FALSE(a->mp.CreateSession("again", 0, "alice"));
  EXPECT_FALSE(b->mp.JoinSession(0, "bob"));
  CCopy d(hub, 3);
  ASSERT_TRUE(d.Connect());
  EXPECT_FALSE(d.mp.JoinSession(0, "dan")) << "nothing found yet";
  ASSERT_EQ(d.mp.FindSessions(), 1);
  EXPECT_FALSE(d.mp.JoinSession(1, "dan"));
  EXPECT_TRUE(d.mp.JoinSession(0, "dan"));
  EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob", "alice", "dan"}));
}

TEST_F(Session, FindingListsOnlyThisGamesSessionsAndFullSessionsKeepPlayersOut) {
  CCopy other(hub, 5, kOtherGame);
  ASSERT_TRUE(other.Connect());
  ASSERT_TRUE(other.mp.CreateSession("elsewhere", 0, "zed"));
  a = std::make_unique<CCopy>(hub, 0);
  b = std::make_unique<CCopy>(hub, 1);
  c = std::make_unique<CCopy>(hub, 2);
  ASSERT_TRUE(a->Connect() && b->Connect() && c->Connect());
  ASSERT_TRUE(a->mp.CreateSession("pair", 2, "alice"));
  ASSERT_EQ(b->mp.FindSessions(), 1);
  EXPECT_EQ(b->mp.SessionName(0), "pair");
  EXPECT_TRUE(b->mp.JoinSession(0, "bob"));
  ASSERT_EQ(c->mp.FindSessions(), 1);
  EXPECT_FALSE(c->mp.JoinSession(0, "carol")) << "two players at most";
  EXPECT_EQ(c->mp.SessionStatus(), 0);
  EXPECT_EQ(a->Names().size(), 2u);
}

TEST_F(Session, MessagesToOnePlayerAndToAllAreRelayedByTheHost) {
  Start(true);
  const uint32_t alice = a->mp.OwnId(), bob = b->mp.OwnId(), carol = c->mp.OwnId();
  EXPECT_TRUE(b->mp.Send(carol, 1, S("b to c"), true));  // player to player, through the host
  EXPECT_TRUE(c->mp.Send(0, 2, R(2.5), true));           // to all: not to itself
  EXPECT_TRUE(a->mp.Send(bob, 3, R(-3), false));
  EXPECT_TRUE(a->mp.Send(alice, 4, S("self"), true));  // to itself, explicitly
  EXPECT_FALSE(a->mp.Send(999, 5, R(0), true)) << "no such player";

  EXPECT_EQ(a->Next(), "2:2.5@carol");
  EXPECT_EQ(a->Next(), "4:\"self\"@alice");
  EXPECT_EQ(a->Next(), "");
  // Arrival order, whoever sent.
  EXPECT_EQ(b->Next(), "2:2.5@carol");
  EXPECT_EQ(b->Next(), "3:-3@alice");
  EXPECT_EQ(b->Next(), "");
  EXPECT_EQ(c->Next(), "1:\"b to c\"@bob");
  EXPECT_EQ(c->Next(), "");
  EXPECT_EQ(c->mp.Current().player, bob);
}

TEST_F(Session, OnlyGuaranteedMessagesSurviveALossyNetwork) {
  Start(false);
  hub.loseUnreliable = true;
  const uint32_t bob = b->mp.OwnId();
  EXPECT_TRUE(a->mp.Send(bob, 1, R(1), false));  // sent, and lost on the way
  EXPECT_TRUE(a->mp.Send(bob, 2, R(2), true));
  EXPECT_EQ(b->Next(), "2:2@alice");
  EXPECT_EQ(b->Next(), "");
}

TEST_F(Session, ALongStringArrivesAsItsFirst32000Bytes) {
  Start(false);
  std::string text(40000, 'x');
  text[31999] = 'y';
  ASSERT_TRUE(a->mp.Send(0, 9, S(text), true));
  ASSERT_TRUE(b->mp.Receive(0));
  const RValue& v = b->mp.Current().val;
  ASSERT_TRUE(v.IsString());
  EXPECT_EQ(v.str.size(), 32000u);
  EXPECT_EQ(v.str.view().back(), 'y');
  // A shared value keeps what the others received, here as there.
  ASSERT_TRUE(b->mp.DataWrite(3, S(text)));
  EXPECT_EQ(b->mp.DataRead(3).str.size(), 32000u);
  EXPECT_EQ(a->mp.DataRead(3).str.size(), 32000u);
}

TEST_F(Session, ReceivingCountingAndClearingBySender) {
  Start(true);
  const uint32_t bob = b->mp.OwnId(), carol = c->mp.OwnId();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(b->mp.Send(0, 10 + i, R(i), true));
    ASSERT_TRUE(c->mp.Send(0, 20 + i, R(i), true));
  }
  EXPECT_EQ(a->mp.Count(0), 6);
  EXPECT_EQ(a->mp.Count(bob), 3);
  EXPECT_EQ(a->mp.Count(12345), 0);
  EXPECT_EQ(a->Next(carol), "20:0@carol");  // the first from carol, past bob's
  EXPECT_EQ(a->Next(0), "10:0@bob");
  EXPECT_EQ(a->mp.Count(0), 4);
  a->mp.Clear(bob);
  EXPECT_EQ(a->mp.Count(bob), 0);
  EXPECT_EQ(a->mp.Count(carol), 2);
  EXPECT_EQ(a->Next(bob), "");
  EXPECT_EQ(a->Next(0), "21:1@carol");
  a->mp.Clear(0);
  EXPECT_EQ(a->mp.Count(0), 0);
  EXPECT_EQ(a->mp.QueueSize(), 0u);
}

TEST_F(Session, SharedDataInBothModes) {
  Start(true);
  EXPECT_TRUE(b->mp.DataWrite(5, S("five")));
  EXPECT_EQ(Show(b->mp.DataRead(5)), "\"five\"");  // kept here too
  EXPECT_EQ(Show(a->mp.DataRead(5)), "\"five\"");
  EXPECT_EQ(Show(c->mp.DataRead(5)), "\"five\"");
  EXPECT_EQ(Show(c->mp.DataRead(4)), "0") << "entries never written are 0";

  // Bounds: nothing is sent for an index outside 0..1000000.
  const size_t sent = hub.sent;
  EXPECT_FALSE(a->mp.DataWrite(-1, R(5)));
  EXPECT_FALSE(a->mp.DataWrite(1000001, R(5)));
  EXPECT_EQ(hub.sent, sent);
  EXPECT_EQ(Show(a->mp.DataRead(1000001)), "0");
  EXPECT_TRUE(a->mp.DataWrite(1000000, R(7)));
  EXPECT_EQ(Show(c->mp.DataRead(1000000)), "7");
  // Shared-data updates never show up as messages.
  EXPECT_EQ(c->mp.Count(0), 0);

  // Not guaranteed: on a lossy network the others may miss it; the writer keeps it.
  hub.loseUnreliable = true;
  a->mp.SetDataMode(false);
  EXPECT_TRUE(a->mp.DataWrite(6, R(6)));
  EXPECT_EQ(Show(a->mp.DataRead(6)), "6");
  EXPECT_EQ(Show(b->mp.DataRead(6)), "0");
  a->mp.SetDataMode(true);
  EXPECT_TRUE(a->mp.DataWrite(6, R(66)));
  EXPECT_EQ(Show(b->mp.DataRead(6)), "66");
}

TEST_F(Session, APlayerLeavingIsGoneFromTheListsAndUnknownAsASender) {
  Start(true);
  ASSERT_TRUE(c->mp.Send(0, 1, R(1), true));
  c->mp.EndSession();
  EXPECT_EQ(c->mp.SessionStatus(), 0);
  EXPECT_EQ(c->mp.ConnectStatus(), EConnection::kTcpIp) << "still connected";
  EXPECT_EQ(a->Names(), (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob", "alice"}));
  EXPECT_EQ(b->Next(), "1:1@(unknown)");
  EXPECT_EQ(c->mp.FindPlayers(), 0);
}

TEST_F(Session, WithoutMigrationTheHostLeavingEndsTheSession) {
  Start(true, false);
  ASSERT_TRUE(a->mp.Send(0, 1, S("bye"), true));
  a->mp.EndSession();
  EXPECT_EQ(a->mp.SessionStatus(), 0);
  PumpAll();
  EXPECT_EQ(b->mp.SessionStatus(), 0);
  EXPECT_EQ(c->mp.SessionStatus(), 0);
  EXPECT_EQ(b->mp.FindPlayers(), 0);
  EXPECT_FALSE(b->mp.Send(0, 2, R(0), true));
  EXPECT_FALSE(b->mp.Receive(0));
  // What arrived before the end waits for the next session: the queue lives for the whole run.
  ASSERT_TRUE(b->mp.CreateSession("next", 0, "bob"));
  EXPECT_EQ(b->Next(), "1:\"bye\"@(unknown)");
}

// The host goes (leaving or vanishing) from a session with migration: the remaining player with
// the lowest id hosts, the others come to it and keep their ids, and messages flow again.
TEST_F(Session, WithMigrationTheSessionMovesToTheNextPlayer) {
  for (bool crash : {false, true}) {
    SCOPED_TRACE(crash ? "host vanishes" : "host leaves");
    a.reset();
    b.reset();
    c.reset();
    Start(true, true);
    const uint32_t bob = b->mp.OwnId(), carol = c->mp.OwnId();
    if (crash) {
      b->services.last->Inject(0, {});  // noise on the way: dropped, counted
      a->services.last->Crash();
    } else {
      a->mp.EndSession();
    }
    // Carol notices first: she comes to bob, who takes over when he sees the host gone.
    c->mp.Service();
    b->mp.Service();
    EXPECT_TRUE(b->mp.IsHost());
    EXPECT_EQ(b->mp.SessionStatus(), 2);
    EXPECT_EQ(c->mp.SessionStatus(), 2);
    EXPECT_EQ(b->mp.OwnId(), bob);
    EXPECT_EQ(c->mp.OwnId(), carol);
    EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob", "carol"}));
    EXPECT_EQ(c->Names(), (std::vector<std::string>{"carol", "bob"}));
    EXPECT_TRUE(c->mp.Send(bob, 7, S("still here"), true));
    EXPECT_EQ(b->Next(), "7:\"still here\"@carol");
    EXPECT_EQ(b->mp.Dropped(), crash ? 1u : 0u);
    // New players find the session where it is now.
    CCopy d(hub, 3);
    ASSERT_TRUE(d.Connect());
    ASSERT_EQ(d.mp.FindSessions(), 1);
    ASSERT_TRUE(d.mp.JoinSession(0, "dan"));
    EXPECT_GT(d.mp.OwnId(), carol) << "no id is given twice";
    EXPECT_EQ(c->Names(), (std::vector<std::string>{"carol", "bob", "dan"}));
  }
}

// A player may see the host go before the one taking over does: its join waits there until the
// session has moved (here carol's join reaches bob while alice still hosts).
TEST_F(Session, AJoinThatComesBeforeTheHostHasGoneWaitsForIt) {
  Start(true, true);
  RAnnouncement session;
  ASSERT_TRUE(DecodeAnnouncement(a->services.last->announcement(), session));
  test::CLoopLink* carolLink = c->services.last;
  const PeerHandle early = carolLink->Connect("loop", b->services.last->port());
  ASSERT_NE(early, 0u);
  RFrame join;
  join.kind = EFrame::kJoin;
  join.app = kGame;
  join.session = session.session;
  join.rejoinId = c->mp.OwnId();
  join.name = "carol";
  ASSERT_TRUE(carolLink->Send(early, EncodeFrame(join), true));
  b->mp.SetTimeouts({.findMs = 0, .connectMs = 200, .rejoinMs = 0});  // no grace: only who is back counts
  b->mp.Service();
  EXPECT_FALSE(b->mp.IsHost());
  a->services.last->Crash();
  b->mp.Service();
  ASSERT_TRUE(b->mp.IsHost());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob", "carol"}));
  EXPECT_EQ(b->mp.Dropped(), 0u);
}

TEST_F(Session, ANewHostDropsPlayersThatDoNotComeBack) {
  Start(true, true);
  b->mp.SetTimeouts({.findMs = 0, .connectMs = 200, .rejoinMs = 0});
  a->services.last->Crash();
  b->mp.Service();  // bob hosts; carol has not noticed yet
  ASSERT_TRUE(b->mp.IsHost());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(b->Names(), (std::vector<std::string>{"bob"}));
}

TEST_F(Session, UntrustedPacketsAreDroppedAndSendersCannotBeForged) {
  Start(true);
  test::CLoopLink* hostLink = a->services.last;
  const uint32_t bob = b->mp.OwnId(), carol = c->mp.OwnId();
  // Garbage from an unknown connection, and a join for another session.
  CCopy stranger(hub, 9);
  ASSERT_TRUE(stranger.Connect());
  INetLink* raw = stranger.services.last;
  const PeerHandle peer = raw->Connect("loop", hostLink->port());
  ASSERT_NE(peer, 0u);
  raw->Send(peer, std::vector<uint8_t>{0xff, 1, 2}, true);
  RFrame data;
  data.kind = EFrame::kData;
  data.from = bob;
  data.to = 0;
  data.record = EncodeRecord(TMess{0, true, 1, R(1)});
  raw->Send(peer, EncodeFrame(data), true);  // not a player of the session
  a->mp.Service();
  EXPECT_EQ(a->mp.Dropped(), 2u);
  EXPECT_EQ(a->mp.Count(0), 0);

  // Carol claims to be bob: the host knows her connection.
  data.from = bob;
  data.to = 0;
  test::CLoopLink* carolLink = c->services.last;
  carolLink->Send(1, EncodeFrame(data), true);  // her first connection is to the host
  EXPECT_EQ(a->Next(), "1:1@carol");
  EXPECT_EQ(b->Next(), "1:1@carol");
  EXPECT_EQ(b->mp.Current().player, carol);
}

}  // namespace
}  // namespace kestro
