// The network as the multiplayer model sees it: one link per connection, made by the services the
// program installs. A link is a endpoint that takes and opens connections to other copies,
// sends datagrams on them (reliable and ordered, or not), and finds and announces sessions on the
// local network. The model speaks its session protocol (Wire.h) over it; the platform layer makes
// links over real sockets, the tests over memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kestro::mplay {

// Connection kinds, numbered as `mplay_connect_status` gives them.
enum class EConnection : int32_t { kNone = 0, kIpx = 1, kTcpIp = 2, kModem = 3, kSerial = 4 };

// Where a connection leads: the address text and port of `mplay_init_tcpip` (empty host: find
// sessions by a broadcast on the local network; port 0: the default), or the modem's and serial
// line's settings of the other kinds.
struct RConnectAddress {
  EConnection kind = EConnection::kNone;
  std::string host;
  uint16_t port = 0;
  std::string modem, phone;
  int32_t comPort = 0, baud = 0, stopBits = 0, parity = 0, flow = 0;
};

using PeerHandle = uint32_t;  // a link's name for one connection; never 0

struct RLinkEvent {
  enum class EKind { kConnected, kDisconnected, kReceived };
  EKind kind = EKind::kReceived;
  PeerHandle peer = 0;
  std::vector<uint8_t> data;
};

// A session's answer to a finder, with the address it came from.
struct RFoundHost {
  std::string host;
  std::vector<uint8_t> answer;
};

class INetLink {
 public:
  virtual ~INetLink() = default;
  // Starts taking connections on `port` (0: any free one); the port taken, 0 on failure. Once
  // listening, a later call gives the same port.
  virtual uint16_t Listen(uint16_t port) = 0;
  // Starts a connection to host:port: a kConnected event for the handle follows when it is up, a
  // kDisconnected one when it fails. 0 when it cannot even start (an unknown host name).
  virtual PeerHandle Connect(const std::string& host, uint16_t port) = 0;
  // Closes one connection after what was sent to it is delivered; no event follows.
  virtual void Disconnect(PeerHandle peer) = 0;
  // Closes every connection and stops listening and announcing.
  virtual void Close() = 0;
  virtual bool Send(PeerHandle peer, std::span<const uint8_t> data, bool reliable) = 0;
  // The next event, waiting at most `waitMs` for one (0: only what has arrived already). Data
  // longer than the receive buffer is dropped by the link.
  virtual bool Poll(RLinkEvent& event, int waitMs) = 0;
  // The address a connection comes from, as the other copies can reach it.
  virtual std::string PeerHost(PeerHandle peer) = 0;
  // While `answer` is not empty, finders' queries get it back.
  virtual void Announce(std::vector<uint8_t> answer) = 0;
  // Sends the session query to `host` (empty: the whole local network) at `port` (0: the fixed
  // finding port) and gathers answers for `timeoutMs`.
  virtual std::vector<RFoundHost> Discover(const std::string& host, uint16_t port, int timeoutMs) = 0;
  // Run now and then while the link itself waits (finding sessions, closing).
  virtual void SetWaitHook(std::function<void()> hook) = 0;
};

// What the program installs: links for the kinds it can offer.
class INetServices {
 public:
  virtual ~INetServices() = default;
  // A link for `address`, or null when that kind of connection is not available here.
  virtual std::unique_ptr<INetLink> MakeLink(const RConnectAddress& address) = 0;
  // This computer's first IPv4 address in dotted form, or "".
  virtual std::string FirstIpv4Address() = 0;
};

}  // namespace kestro::mplay
