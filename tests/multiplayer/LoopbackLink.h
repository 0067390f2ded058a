// An in-memory network for the multiplayer model: several copies of the game in one process, each
// with its own services, linked through one hub. Sending queues the data at the other end; a copy
// that waits (connecting, being let in) lets the other copies service their links through its wait
// hook (PumpOthers), as other processes would meanwhile. The hub can lose every unreliable
// datagram, count what was sent, and a link can vanish as a crash would.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "multiplayer/NetLink.h"

namespace kestro::test {

using namespace kestro::mplay;

class CLoopLink;

class CLoopHub {
 public:
  bool loseUnreliable = false;
  size_t sent = 0;  // datagrams sent by every link

  // Copy `copy`'s service, run while another copy waits.
  void SetPump(int copy, std::function<void()> pump) { pumps_[copy] = std::move(pump); }
  void PumpOthers(int copy) {
    for (auto& [c, pump] : pumps_)
      if (c != copy && pump) pump();
  }
  std::vector<CLoopLink*> links;
  uint16_t nextPort = 40000;

 private:
  std::map<int, std::function<void()>> pumps_;
};

class CLoopLink : public INetLink {
 public:
  explicit CLoopLink(CLoopHub& hub) : hub_(hub) { hub_.links.push_back(this); }
  ~CLoopLink() override {
    Close();
    std::erase(hub_.links, this);
  }

  uint16_t Listen(uint16_t port) override {
    if (port_ == 0) port_ = port != 0 ? port : hub_.nextPort++;
    return port_;
  }
  PeerHandle Connect(const std::string& host, uint16_t port) override {
    if (host != "loop") return 0;
    for (CLoopLink* other : hub_.links) {
      if (other == this || other->port_ != port || port == 0) continue;
      const PeerHandle mine = ++lastHandle_;
      const PeerHandle theirs = ++other->lastHandle_;
      peers_[mine] = {other, theirs};
      other->peers_[theirs] = {this, mine};
      other->events_.push_back({RLinkEvent::EKind::kConnected, theirs, {}});
      events_.push_back({RLinkEvent::EKind::kConnected, mine, {}});
      return mine;
    }
    return 0;
  }
  void Disconnect(PeerHandle peer) override {
    auto it = peers_.find(peer);
    if (it == peers_.end()) return;
    auto [other, theirs] = it->second;
    peers_.erase(it);
    if (other->peers_.erase(theirs)) other->events_.push_back({RLinkEvent::EKind::kDisconnected, theirs, {}});
  }
  void Close() override {
    while (!peers_.empty()) Disconnect(peers_.begin()->first);
    port_ = 0;
    answer_.clear();
    events_.clear();
  }
  bool Send(PeerHandle peer, std::span<const uint8_t> data, bool reliable) override {
    auto it = peers_.find(peer);
    if (it == peers_.end()) return false;
    ++hub_.sent;
    if (!reliable && hub_.loseUnreliable) return true;
    auto [other, theirs] = it->second;
    other->events_.push_back({RLinkEvent::EKind::kReceived, theirs, {data.begin(), data.end()}});
    return true;
  }
  bool Poll(RLinkEvent& event, int) override {
    if (events_.empty()) return false;
    event = std::move(events_.front());
    events_.pop_front();
    return true;
  }
  std::string PeerHost(PeerHandle) override { return "loop"; }
  void SetWaitHook(std::function<void()>) override {}
  void Announce(std::vector<uint8_t> answer) override { answer_ = std::move(answer); }
  std::vector<RFoundHost> Discover(const std::string& host, uint16_t port, int) override {
    std::vector<RFoundHost> found;
    if (!host.empty() && host != "loop") return found;
    for (CLoopLink* other : hub_.links)
      if (!other->answer_.empty() && (port == 0 || other->port_ == port)) found.push_back({"loop", other->answer_});
    return found;
  }

  // Raw access for the tests of what the network may bring.
  void Inject(PeerHandle peer, std::vector<uint8_t> data) {
    events_.push_back({RLinkEvent::EKind::kReceived, peer, std::move(data)});
  }
  // This copy vanishes: its connections drop without a word.
  void Crash() { Close(); }
  uint16_t port() const { return port_; }
  const std::vector<uint8_t>& announcement() const { return answer_; }

 private:
  CLoopHub& hub_;
  uint16_t port_ = 0;
  std::vector<uint8_t> answer_;
  std::map<PeerHandle, std::pair<CLoopLink*, PeerHandle>> peers_;
  std::deque<RLinkEvent> events_;
  PeerHandle lastHandle_ = 0;
};

class CLoopServices : public INetServices {
 public:
  explicit CLoopServices(CLoopHub& hub) : hub_(hub) {}
  std::unique_ptr<INetLink> MakeLink(const RConnectAddress& address) override {
    if (address.kind != EConnection::kTcpIp) return nullptr;
    auto link = std::make_unique<CLoopLink>(hub_);
    last = link.get();
    return link;
  }
  std::string FirstIpv4Address() override { return "192.0.2.7"; }
  CLoopLink* last = nullptr;  // the newest link made

 private:
  CLoopHub& hub_;
};

}  // namespace kestro::test
