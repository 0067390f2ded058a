// Multiplayer sessions of game code: the connection, the session this copy created or joined, its
// players, the shared data, the message queue and the current message; everything the mplay_*
// functions read and change. The model speaks its session protocol over an INetLink (NetLink.h):
//
// - The creator of a session is its host. Every other player keeps one connection, to the host,
//   which relays records between players and sends everyone the player list after each change.
//   Each player also listens for connections, so the session can move to it.
// - When the host leaves or is lost, a session created with host migration moves to the remaining
//   player with the lowest id; the others connect to it and keep their ids. Without migration the
//   session is over for everyone.
// - The network is serviced whenever game code calls a function here and once per step (Service);
//   records addressed to this copy wait there until game code reads, and are taken in then.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "multiplayer/MessageQueue.h"
#include "multiplayer/NetLink.h"
#include "multiplayer/Wire.h"
#include "script/Value.h"

namespace kestro::mplay {

inline constexpr int64_t kMaxSharedIndex = 1000000;

struct RFoundSession {
  RGuid guid{};
  std::string name;
  std::string host;
  uint16_t port = 0;
};

struct RPlayerListEntry {
  uint32_t id = 0;
  std::string name;
};

struct RMultiplayerTimeouts {
  int findMs = 1000;     // how long a search gathers answers
  int connectMs = 3000;  // connecting and being let in
  int rejoinMs = 5000;   // how long a new host keeps the places of players that have not come back
};

class CMultiplayer {
 public:
  CMultiplayer();
  ~CMultiplayer();
  CMultiplayer(const CMultiplayer&) = delete;
  CMultiplayer& operator=(const CMultiplayer&) = delete;

  // The network: links are made by `services` (null: no connection can be made).
  void SetServices(INetServices* services) { services_ = services; }
  INetServices* Services() const { return services_; }
  void SetTimeouts(const RMultiplayerTimeouts& t) { timeouts_ = t; }
  // Run now and then while a function waits for the network (finding, joining), so whatever must
  // go on meanwhile does.
  void SetWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }
  // The game's identity that sessions are found by (the game's GUID).
  void SetApplication(const RGuid& app) { app_ = app; }

  // ---- connection ----
  bool Init(const RConnectAddress& address);
  EConnection ConnectStatus() const { return connection_; }
  void End();

  // ---- sessions ----
  void SetSessionMode(bool migrate) { sessionMode_ = migrate; }
  bool CreateSession(const std::string& name, int64_t maxPlayers, const std::string& playerName);
  int64_t FindSessions();
  std::string SessionName(int64_t n) const;
  bool JoinSession(int64_t n, const std::string& playerName);
  // 0 none, 1 created here, 2 joined.
  int32_t SessionStatus() const { return sessionStatus_; }
  void EndSession();
  bool IsHost() const { return isHost_; }

  // ---- players ----
  int64_t FindPlayers();
  std::string PlayerName(int64_t n) const;
  uint32_t PlayerId(int64_t n) const;
  uint32_t OwnId() const { return ownId_; }
  // An id argument (a real: 0 all or any) or a name looked up in a fresh player list. False for an
  // unknown name or an id no player can have.
  bool ResolvePlayer(const RValue& who, uint32_t& id);

  // ---- shared data ----
  bool DataWrite(int64_t index, const RValue& value);
  RValue DataRead(int64_t index);
  void SetDataMode(bool guaranteed) { dataGuaranteed_ = guaranteed; }

  // ---- messages ----
  bool Send(uint32_t to, int32_t id, const RValue& value, bool guaranteed);
  bool Receive(uint32_t from);
  const TMess& Current() const { return current_; }
  std::string CurrentName();
  int64_t Count(uint32_t from);
  void Clear(uint32_t from);

  std::string IpAddress();

  // Handles what has arrived: players joining and leaving, records to relay or keep, the host
  // going. Called once per step and by every function that talks to the network.
  void Service();
  // Frames and records dropped: malformed, from strangers, or beyond the limits.
  uint64_t Dropped() const { return dropped_; }
  size_t QueueSize() const { return queue_.Size(); }

  // Ends the connection and forgets every message and shared value: a fresh process.
  void Reset();

 private:
  struct RMember {
    uint32_t id = 0;
    std::string name;
    std::string host;
    uint16_t port = 0;
    PeerHandle peer = 0;   // the host's connection to it; 0 for the host itself
    bool pending = false;  // the host moved here and this player has not come back yet
  };
  enum class EJoin { kIdle, kConnecting, kWaiting, kIn, kOut };

  bool InSession() const { return link_ && sessionStatus_ != 0; }
  void HandleEvent(RLinkEvent& e);
  void HandleFrame(PeerHandle peer, RFrame& f);
  void HandleJoin(PeerHandle peer, const RFrame& f);
  void HostLost();
  bool ConnectToHost(const std::string& host, uint16_t port, uint32_t rejoinId);
  void BecomeHost();
  void LeaveLocally();
  void Deliver(uint32_t from, const std::vector<uint8_t>& record);
  bool Relay(const RFrame& f, PeerHandle except);
  RFrame PlayersFrame(EFrame kind) const;
  void SendPlayers();
  void UpdateAnnouncement();
  void TakeIn();
  RMember* Member(uint32_t id);
  RMember* MemberByPeer(PeerHandle peer);
  void Drop(const char* why);
  void Pump(int waitMs);
  bool WaitForJoin();
  void SendJoin();

  INetServices* services_ = nullptr;
  std::unique_ptr<INetLink> link_;
  RMultiplayerTimeouts timeouts_;
  std::function<void()> waitHook_;
  RGuid app_{};
  EConnection connection_ = EConnection::kNone;
  RConnectAddress address_;

  bool sessionMode_ = false;
  bool dataGuaranteed_ = true;

  int32_t sessionStatus_ = 0;
  bool isHost_ = false;
  RGuid session_{};
  std::string sessionName_;
  uint32_t maxPlayers_ = 0;
  bool migrate_ = false;
  uint32_t ownId_ = 0;
  std::string ownName_;
  uint32_t hostId_ = 0;
  uint32_t nextId_ = 1;
  PeerHandle hostPeer_ = 0;
  uint32_t rejoinId_ = 0;  // the id a join asks for (coming back after the host moved)
  uint16_t listenPort_ = 0;
  std::vector<RMember> members_;  // the session's players in the host's order, this copy included
  int64_t pendingSince_ = 0;
  std::vector<std::pair<PeerHandle, RFrame>> deferredJoins_;  // rejoins that came before the host left
  EJoin join_ = EJoin::kIdle;
  bool servicing_ = false;

  std::vector<RFoundSession> found_;
  std::vector<RPlayerListEntry> playerList_;

  std::deque<TMess> arrived_;  // records for this copy, not taken in yet
  size_t arrivedBytes_ = 0;
  CMessageQueue queue_;
  TMess current_;
  // The shared values by index (0 ... 1000000); an index never written reads as real 0. Kept
  // sparse: one write at a high index costs one entry, not the array up to it.
  std::unordered_map<int32_t, RValue> shared_;
  uint64_t dropped_ = 0;
};

// The run's multiplayer state, used by the mplay_* functions.
CMultiplayer& Multiplayer();

// "host", "host:port" or "" as mplay_init_tcpip reads its address: the part after the first ":"
// is the port (a bad or missing number is port 0: the default).
RConnectAddress ParseTcpIpAddress(const std::string& text);

}  // namespace kestro::mplay
