#include "platform/net/EnetLink.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <unordered_map>
#include <vector>

#include "multiplayer/Wire.h"

namespace kestro::platform {

namespace {

using mplay::PeerHandle;
using mplay::RLinkEvent;

constexpr size_t kPeerSlots = mplay::kMaxPlayers + 8;
constexpr size_t kChannels = 2;  // 0 reliable, 1 unreliable
constexpr size_t kMaxAnswers = 256;
constexpr int kCloseWaitMs = 200;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string HostText(const ENetAddress& a) {
  char text[64] = {};
  if (enet_address_get_host_ip(&a, text, sizeof text) != 0) return "";
  return text;
}

bool IsQuery(const uint8_t* data, size_t size) {
  return size == mplay::kSessionQuery.size() && std::memcmp(data, mplay::kSessionQuery.data(), size) == 0;
}

// The IPv4 broadcast addresses of this machine's networks (network byte order).
std::vector<uint32_t> BroadcastAddresses() {
  std::vector<uint32_t> out;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return out;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
    if ((i->ifa_flags & IFF_BROADCAST) && i->ifa_broadaddr)
      out.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
  }
  freeifaddrs(list);
  return out;
}

class CEnetLink;
// ENet calls its intercept hook with the host alone: the links are found by their host.
std::unordered_map<ENetHost*, CEnetLink*>& Links() {
  static std::unordered_map<ENetHost*, CEnetLink*> links;
  return links;
}

class CEnetLink : public mplay::INetLink {
 public:
  explicit CEnetLink(uint16_t findingPort) : findingPort_(findingPort) {}
  ~CEnetLink() override { Close(); }

  uint16_t Listen(uint16_t port) override {
    // Asked for a port of its own while on another with no one connected: move there.
    if (host_ && port != 0 && host_->address.port != port && peers_.empty()) DestroyHost();
    if (!MakeHost(port)) return 0;
    return host_->address.port;
  }

  PeerHandle Connect(const std::string& host, uint16_t port) override {
    if (!MakeHost(0) || host.empty() || port == 0) return 0;
    ENetAddress address{};
    if (enet_address_set_host(&address, host.c_str()) != 0) return 0;
    address.port = port;
    ENetPeer* peer = enet_host_connect(host_, &address, kChannels, 0);
    if (!peer) return 0;
    const PeerHandle handle = Adopt(peer);
    enet_host_flush(host_);
    return handle;
  }

  void Disconnect(PeerHandle handle) override {
    auto it = peers_.find(handle);
    if (it == peers_.end()) return;
    ENetPeer* peer = it->second;
    peers_.erase(it);
    peer->data = nullptr;  // its events are no one's now
    if (peer->state == ENET_PEER_STATE_CONNECTED) {
      enet_peer_disconnect_later(peer, 0);
      enet_host_flush(host_);
    } else {
      enet_peer_reset(peer);
    }
  }

  void Close() override {
    Announce({});
    if (!host_) return;
    for (auto& [handle, peer] : peers_) {
      peer->data = nullptr;
      enet_peer_disconnect_later(peer, 0);
    }
    peers_.clear();
    pending_.clear();
    // Give what was sent last (a leaving notice) a moment to go out.
    const int64_t deadline = NowMs() + kCloseWaitMs;
    while (NowMs() < deadline && ConnectedPeers() > 0) {
      ServiceOnce(10);
      if (waitHook_) waitHook_();
    }
    DestroyHost();
  }

  bool Send(PeerHandle handle, std::span<const uint8_t> data, bool reliable) override {
    auto it = peers_.find(handle);
    if (it == peers_.end() || it->second->state != ENET_PEER_STATE_CONNECTED) return false;
    ENetPacket* packet = enet_packet_create(
        data.data(), data.size(), reliable ? ENET_PACKET_FLAG_RELIABLE : ENET_PACKET_FLAG_UNRELIABLE_FRAGMENT);
    if (!packet) return false;
    if (enet_peer_send(it->second, reliable ? 0 : 1, packet) != 0) {
      enet_packet_destroy(packet);
      return false;
    }
    enet_host_flush(host_);
    return true;
  }

  bool Poll(RLinkEvent& event, int waitMs) override {
    AnswerQueries();
    if (pending_.empty() && host_) {
      ServiceOnce(static_cast<uint32_t>(std::max(waitMs, 0)));
      while (pending_.empty() && ServiceOnce(0)) {
      }
    }
    if (pending_.empty()) return false;
    event = std::move(pending_.front());
    pending_.pop_front();
    return true;
  }

  std::string PeerHost(PeerHandle handle) override {
    auto it = peers_.find(handle);
    return it == peers_.end() ? std::string() : HostText(it->second->address);
  }

  void Announce(std::vector<uint8_t> answer) override {
    answer_ = std::move(answer);
    if (answer_.empty()) {
      if (finder_ != ENET_SOCKET_NULL) enet_socket_destroy(finder_);
      finder_ = ENET_SOCKET_NULL;
      return;
    }
    if (finder_ != ENET_SOCKET_NULL) return;
    // Several copies on one machine may announce: each shares the finding port and every one of
    // them gets the broadcast queries.
    finder_ = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (finder_ == ENET_SOCKET_NULL) return;
    enet_socket_set_option(finder_, ENET_SOCKOPT_REUSEADDR, 1);
    enet_socket_set_option(finder_, ENET_SOCKOPT_NONBLOCK, 1);
    ENetAddress any{};
    any.host = ENET_HOST_ANY;
    any.port = findingPort_;
    if (enet_socket_bind(finder_, &any) != 0) {
      // Someone else holds the port exclusively: the session is still found at its own port.
      enet_socket_destroy(finder_);
      finder_ = ENET_SOCKET_NULL;
    }
  }

  void SetWaitHook(std::function<void()> hook) override { waitHook_ = std::move(hook); }

  std::vector<mplay::RFoundHost> Discover(const std::string& host, uint16_t port, int timeoutMs) override {
    std::vector<mplay::RFoundHost> found;
    ENetSocket s = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (s == ENET_SOCKET_NULL) return found;
    enet_socket_set_option(s, ENET_SOCKOPT_NONBLOCK, 1);
    enet_socket_set_option(s, ENET_SOCKOPT_BROADCAST, 1);
    ENetAddress local{};
    local.host = ENET_HOST_ANY;
    if (enet_socket_bind(s, &local) != 0) {
      enet_socket_destroy(s);
      return found;
    }
    std::vector<ENetAddress> targets;
    const uint16_t to = port != 0 ? port : findingPort_;
    if (!host.empty()) {
      ENetAddress a{};
      if (enet_address_set_host(&a, host.c_str()) == 0) targets.push_back({a.host, to});
    } else {
      targets.push_back({ENET_HOST_BROADCAST, to});
      for (uint32_t b : BroadcastAddresses()) targets.push_back({b, to});
      targets.push_back({htonl(INADDR_LOOPBACK), to});
    }
    ENetBuffer query;
    query.data = const_cast<uint8_t*>(mplay::kSessionQuery.data());
    query.dataLength = mplay::kSessionQuery.size();
    for (const ENetAddress& t : targets) enet_socket_send(s, &t, &query, 1);

    std::vector<uint8_t> buffer(mplay::kReceiveBuffer);
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
      // Answering our own queries too: a copy that hosts finds its own session as others do.
      AnswerQueries();
      if (waitHook_) waitHook_();
      const int64_t left = deadline - NowMs();
      if (left <= 0 || found.size() >= kMaxAnswers) break;
      enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE;
      if (enet_socket_wait(s, &condition, static_cast<enet_uint32>(std::min<int64_t>(left, 10))) != 0) break;
      if (!(condition & ENET_SOCKET_WAIT_RECEIVE)) continue;
      ENetAddress from{};
      ENetBuffer in;
      in.data = buffer.data();
      in.dataLength = buffer.size();
      const int n = enet_socket_receive(s, &from, &in, 1);
      if (n <= 0) continue;  // nothing, an error, or a datagram too long for the buffer
      found.push_back({HostText(from), std::vector<uint8_t>(buffer.begin(), buffer.begin() + n)});
    }
    enet_socket_destroy(s);
    return found;
  }

 private:
  bool MakeHost(uint16_t port) {
    if (host_) return true;
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    host_ = enet_host_create(&address, kPeerSlots, kChannels, 0, 0);
    if (!host_) return false;
    host_->intercept = &CEnetLink::Intercept;
    Links()[host_] = this;
    return true;
  }

  void DestroyHost() {
    if (!host_) return;
    Links().erase(host_);
    enet_host_destroy(host_);
    host_ = nullptr;
    peers_.clear();
    pending_.clear();
  }

  size_t ConnectedPeers() const {
    size_t n = 0;
    for (size_t i = 0; i < host_->peerCount; ++i)
      if (host_->peers[i].state != ENET_PEER_STATE_DISCONNECTED) ++n;
    return n;
  }

  PeerHandle Adopt(ENetPeer* peer) {
    PeerHandle handle = ++lastHandle_;
    if (handle == 0) handle = ++lastHandle_;
    peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(handle));
    peers_[handle] = peer;
    return handle;
  }

  static PeerHandle HandleOf(const ENetPeer* peer) {
    return static_cast<PeerHandle>(reinterpret_cast<uintptr_t>(peer->data));
  }

  // One ENet service; its event, when it is one of ours, goes to the pending queue.
  bool ServiceOnce(uint32_t waitMs) {
    ENetEvent e{};
    const int got = enet_host_service(host_, &e, waitMs);
    if (got <= 0) return false;
    switch (e.type) {
      case ENET_EVENT_TYPE_CONNECT:
        // Ours coming up has its handle already; someone else's gets one now.
        if (!e.peer->data) Adopt(e.peer);
        pending_.push_back({RLinkEvent::EKind::kConnected, HandleOf(e.peer), {}});
        break;
      case ENET_EVENT_TYPE_DISCONNECT:
        if (e.peer->data) {
          const PeerHandle handle = HandleOf(e.peer);
          peers_.erase(handle);
          e.peer->data = nullptr;
          pending_.push_back({RLinkEvent::EKind::kDisconnected, handle, {}});
        }
        break;
      case ENET_EVENT_TYPE_RECEIVE:
        // Longer than any frame can be: dropped before anyone reads it.
        if (e.peer->data && e.packet->dataLength <= mplay::kReceiveBuffer) {
          pending_.push_back({RLinkEvent::EKind::kReceived, HandleOf(e.peer),
                              std::vector<uint8_t>(e.packet->data, e.packet->data + e.packet->dataLength)});
        }
        enet_packet_destroy(e.packet);
        break;
      case ENET_EVENT_TYPE_NONE: break;
    }
    return true;
  }

  // Queries that came to the finding port.
  void AnswerQueries() {
    if (finder_ == ENET_SOCKET_NULL) return;
    uint8_t buffer[64];
    for (int i = 0; i < 64; ++i) {
      ENetAddress from{};
      ENetBuffer in;
      in.data = buffer;
      in.dataLength = sizeof buffer;
      const int n = enet_socket_receive(finder_, &from, &in, 1);
      if (n <= 0) return;
      if (IsQuery(buffer, static_cast<size_t>(n))) Answer(finder_, from);
    }
  }

  void Answer(ENetSocket socket, const ENetAddress& to) {
    if (answer_.empty()) return;
    ENetBuffer out;
    out.data = answer_.data();
    out.dataLength = answer_.size();
    enet_socket_send(socket, &to, &out, 1);
  }

  // Queries that came to the session's own port, among ENet's datagrams.
  static int ENET_CALLBACK Intercept(ENetHost* host, ENetEvent*) {
    if (!IsQuery(host->receivedData, host->receivedDataLength)) return 0;
    auto it = Links().find(host);
    if (it != Links().end()) it->second->Answer(host->socket, host->receivedAddress);
    return 1;
  }

  uint16_t findingPort_;
  ENetHost* host_ = nullptr;
  ENetSocket finder_ = ENET_SOCKET_NULL;
  std::vector<uint8_t> answer_;
  std::unordered_map<PeerHandle, ENetPeer*> peers_;
  std::deque<RLinkEvent> pending_;
  PeerHandle lastHandle_ = 0;
  std::function<void()> waitHook_;
};

}  // namespace

CEnetServices::~CEnetServices() {
  if (initialised_) enet_deinitialize();
}

std::unique_ptr<mplay::INetLink> CEnetServices::MakeLink(const mplay::RConnectAddress& address) {
  // Only TCP/IP has a network here: UDP/IP carries it.
  if (address.kind != mplay::EConnection::kTcpIp) return nullptr;
  if (!initialised_) {
    if (enet_initialize() != 0) return nullptr;
    initialised_ = true;
  }
  return std::make_unique<CEnetLink>(findingPort_);
}

std::string CEnetServices::FirstIpv4Address() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return "";
  std::string first, loopback;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) continue;
    if (i->ifa_flags & IFF_LOOPBACK) {
      if (loopback.empty()) loopback = text;
    } else if (first.empty()) {
      first = text;
    }
  }
  freeifaddrs(list);
  // A machine without a network still has itself.
  return first.empty() ? loopback : first;
}

}  // namespace kestro::platform
