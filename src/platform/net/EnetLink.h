// Multiplayer connections over ENet (reliable and unreliable datagrams over UDP/IP): the TCP/IP
// kind of connection. IPX, modem and serial lines do not exist here, so their links are never made
// and their mplay_init_* functions give false.
//
// A link is one ENet host, made when it first listens or connects. Sessions are found with a query
// datagram: to a named host at the port given with its address or at the fixed finding port, or,
// with no host, as a broadcast on every local network (and to this machine) at the finding port.
// A session answers on the finding port and on its own port.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "multiplayer/NetLink.h"

namespace kestro::platform {

inline constexpr uint16_t kDefaultFindingPort = 6510;

class CEnetServices : public mplay::INetServices {
 public:
  explicit CEnetServices(uint16_t findingPort = kDefaultFindingPort) : findingPort_(findingPort) {}
  ~CEnetServices() override;
  std::unique_ptr<mplay::INetLink> MakeLink(const mplay::RConnectAddress& address) override;
  std::string FirstIpv4Address() override;

 private:
  uint16_t findingPort_;
  bool initialised_ = false;
};

}  // namespace kestro::platform
