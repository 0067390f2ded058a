// Two and three copies of a game in this process over real ENet connections on 127.0.0.1: finding
// the session at its own port and on the finding port, joining, messages both ways, the player
// list, the host ending the session. Ports are picked free; a sandbox without a network skips.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "multiplayer/Multiplayer.h"
#include "platform/net/EnetLink.h"
#include "support/Values.h"

namespace kestro {
namespace {

using namespace mplay;
using test::R;
using test::S;
using test::Show;

constexpr RGuid kGame = {0x4b, 1, 2, 3};

// A UDP port nobody uses right now, or 0.
uint16_t FreePort() {
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s < 0) return 0;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  uint16_t port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) == 0)
    port = ntohs(a.sin_port);
  close(s);
  return port;
}

// Services every copy until `done` holds or two seconds have passed.
bool Until(const std::function<bool()>& done, std::initializer_list<CMultiplayer*> copies) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    for (CMultiplayer* c : copies) c->Service();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void Prepare(CMultiplayer& mp, platform::CEnetServices& services, std::function<void()> others) {
  mp.SetServices(&services);
  mp.SetApplication(kGame);
  mp.SetTimeouts({.findMs = 300, .connectMs = 2000, .rejoinMs = 5000});
  mp.SetWaitHook(std::move(others));
}

TEST(MultiplayerEnet, OnlyTcpIpHasANetwork) {
  platform::CEnetServices services;
  for (EConnection kind : {EConnection::kIpx, EConnection::kModem, EConnection::kSerial}) {
    RConnectAddress address;
    address.kind = kind;
    EXPECT_EQ(services.MakeLink(address), nullptr) << int(kind);
  }
  const std::string ip = services.FirstIpv4Address();
  in_addr parsed{};
  EXPECT_TRUE(ip.empty() || inet_pton(AF_INET, ip.c_str(), &parsed) == 1) << ip;
}

TEST(MultiplayerEnet, CopiesFindJoinAndTalkOverLoopback) {
  const uint16_t finding = FreePort(), port = FreePort();
  if (finding == 0 || port == 0 || finding == port) GTEST_SKIP() << "no UDP on 127.0.0.1 here";
  const std::string address = "127.0.0.1:" + std::to_string(port);
  platform::CEnetServices hs(finding), js(finding), ks(finding);
  CMultiplayer host, joiner, third;
  Prepare(host, hs, {});
  Prepare(joiner, js, [&] { host.Service(); });
  Prepare(third, ks, [&] {
    host.Service();
    joiner.Service();
  });

  ASSERT_TRUE(host.Init(ParseTcpIpAddress(address)));
  if (!host.CreateSession("lan", 0, "host")) GTEST_SKIP() << "cannot listen on " << address;

  // At the session's own port.
  ASSERT_TRUE(joiner.Init(ParseTcpIpAddress(address)));
  ASSERT_EQ(joiner.FindSessions(), 1);
  EXPECT_EQ(joiner.SessionName(0), "lan");
  ASSERT_TRUE(joiner.JoinSession(0, "joiner"));
  EXPECT_EQ(joiner.SessionStatus(), 2);

  ASSERT_TRUE(joiner.Send(0, 1, S("hello"), true));
  ASSERT_TRUE(Until([&] { return host.Count(0) == 1; }, {&joiner}));
  ASSERT_TRUE(host.Receive(0));
  EXPECT_EQ(Show(host.Current().val), "\"hello\"");
  EXPECT_EQ(host.CurrentName(), "joiner");
  ASSERT_TRUE(host.DataWrite(3, R(33)));
  ASSERT_TRUE(Until([&] { return Show(joiner.DataRead(3)) == "33"; }, {&host}));

  // On the finding port: a search of the local network, which reaches this machine too.
  ASSERT_TRUE(third.Init(ParseTcpIpAddress("")));
  ASSERT_GE(third.FindSessions(), 1);
  ASSERT_EQ(third.SessionName(0), "lan");
  ASSERT_TRUE(third.JoinSession(0, "third"));
  ASSERT_TRUE(Until([&] { return joiner.FindPlayers() == 3; }, {&host, &third}));
  EXPECT_EQ(joiner.PlayerName(0), "joiner");
  // Player to player, relayed by the host.
  ASSERT_TRUE(third.Send(joiner.OwnId(), 7, R(7.5), true));
  ASSERT_TRUE(Until([&] { return joiner.Count(third.OwnId()) == 1; }, {&host, &third}));

  // The host ends the session (no migration): it is over for the others.
  host.EndSession();
  ASSERT_TRUE(Until([&] { return joiner.SessionStatus() == 0 && third.SessionStatus() == 0; }, {&joiner, &third}));
  third.End();
  joiner.End();
  host.End();
  EXPECT_EQ(host.ConnectStatus(), EConnection::kNone);
}

}  // namespace
}  // namespace kestro
