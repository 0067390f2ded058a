// Feeds arbitrary bytes to what reads packets from the network in multiplayer sessions: the frame,
// record and announcement decoders, which must refuse or read them (and what they read must encode
// back to the same bytes), and a session's host and a joined player, each handed the bytes as a
// packet from the other side. Nothing may crash, hang or grow beyond the limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "multiplayer/Multiplayer.h"
#include "multiplayer/Wire.h"

using namespace kestro;
using namespace kestro::mplay;

namespace {

// A network of one other end, whose packets the fuzzer writes. It answers a join with a welcome.
class CFuzzLink : public INetLink {
 public:
  std::deque<RLinkEvent> events;
  std::vector<uint8_t> announcement;

  uint16_t Listen(uint16_t) override { return 1000; }
  PeerHandle Connect(const std::string&, uint16_t) override {
    events.push_back({RLinkEvent::EKind::kConnected, 7, {}});
    return 7;
  }
  void Disconnect(PeerHandle) override {}
  void Close() override {}
  bool Send(PeerHandle peer, std::span<const uint8_t> data, bool) override {
    RFrame f;
    if (DecodeFrame(data, f) && f.kind == EFrame::kJoin) {
      RFrame welcome;
      welcome.kind = EFrame::kWelcome;
      welcome.yourId = 2;
      welcome.hostId = 1;
      welcome.players = {{1, "host", "", 1000}, {2, "player", "", 1001}};
      events.push_back({RLinkEvent::EKind::kReceived, peer, EncodeFrame(welcome)});
    }
    return true;
  }
  bool Poll(RLinkEvent& e, int) override {
    if (events.empty()) return false;
    e = std::move(events.front());
    events.pop_front();
    return true;
  }
  std::string PeerHost(PeerHandle) override { return "peer"; }
  void Announce(std::vector<uint8_t> answer) override {
    if (!answer.empty()) announcement = std::move(answer);
  }
  std::vector<RFoundHost> Discover(const std::string&, uint16_t, int) override { return {{"peer", announcement}}; }
  void SetWaitHook(std::function<void()>) override {}
};

class CFuzzServices : public INetServices {
 public:
  CFuzzLink* last = nullptr;
  std::unique_ptr<INetLink> MakeLink(const RConnectAddress&) override {
    auto link = std::make_unique<CFuzzLink>();
    last = link.get();
    return link;
  }
  std::string FirstIpv4Address() override { return ""; }
};

void CheckDecoders(std::span<const uint8_t> bytes) {
  RFrame f;
  if (DecodeFrame(bytes, f)) {
    const std::vector<uint8_t> again = EncodeFrame(f);
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) std::abort();
  }
  TMess m;
  if (DecodeRecord(bytes, m)) {
    const std::vector<uint8_t> again = EncodeRecord(m);
    if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.end())) std::abort();
  }
  RAnnouncement a;
  if (DecodeAnnouncement(bytes, a) && a.name.size() > kMaxNameBytes) std::abort();
}

void Exercise(CMultiplayer& mp) {
  mp.FindPlayers();
  mp.Receive(0);
  mp.DataRead(0);
  mp.Send(0, 1, RValue{}, true);
  if (mp.QueueSize() > CMessageQueue::kCapacity) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CheckDecoders(bytes);

  RConnectAddress tcp;
  tcp.kind = EConnection::kTcpIp;
  tcp.host = "peer";
  // A host: the bytes come from a player that joined.
  {
    CFuzzServices services;
    CMultiplayer host;
    host.SetServices(&services);
    host.SetTimeouts({.findMs = 0, .connectMs = 0, .rejoinMs = 0});
    if (!host.Init(tcp) || !host.CreateSession("s", 0, "host")) std::abort();
    RAnnouncement a;
    if (!DecodeAnnouncement(services.last->announcement, a)) std::abort();
    RFrame join;
    join.kind = EFrame::kJoin;
    join.session = a.session;
    join.name = "player";
    services.last->events.push_back({RLinkEvent::EKind::kConnected, 5, {}});
    services.last->events.push_back({RLinkEvent::EKind::kReceived, 5, EncodeFrame(join)});
    services.last->events.push_back({RLinkEvent::EKind::kReceived, 5, {bytes.begin(), bytes.end()}});
    Exercise(host);
  }
  // A player: the bytes come from its host.
  {
    CFuzzServices services;
    CMultiplayer player;
    player.SetServices(&services);
    player.SetTimeouts({.findMs = 0, .connectMs = 100, .rejoinMs = 0});
    if (!player.Init(tcp)) std::abort();
    services.last->announcement = EncodeAnnouncement(RAnnouncement{{}, {1}, "s", 1000, 1, 0});
    if (player.FindSessions() != 1 || !player.JoinSession(0, "player")) std::abort();
    services.last->events.push_back({RLinkEvent::EKind::kReceived, 7, {bytes.begin(), bytes.end()}});
    Exercise(player);
  }
  return 0;
}
