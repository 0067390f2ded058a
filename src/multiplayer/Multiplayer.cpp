#include "multiplayer/Multiplayer.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <random>
#include <utility>

#include "io/RunState.h"

namespace kestro::mplay {

namespace {

// Records waiting to be taken in: beyond these the newest are dropped, so a flood from the network
// cannot exhaust memory between two reads of game code.
constexpr size_t kMaxArrived = 8192;
constexpr size_t kMaxArrivedBytes = size_t{32} << 20;
// Events handled in one service: a flood never holds the game up for long.
constexpr int kMaxEventsPerService = 4096;
constexpr size_t kMaxDeferredJoins = kMaxPlayers;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

RGuid NewGuid() {
  std::random_device rd;
  RGuid g{};
  for (size_t i = 0; i < g.size(); i += 4) {
    const uint32_t v = rd();
    for (size_t k = 0; k < 4; ++k) g[i + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  return g;
}

// Below 2^31, with room for the ids given after it.
uint32_t FirstPlayerId() {
  std::random_device rd;
  return 1 + rd() % 0x7ff00000u;
}

}  // namespace

CMultiplayer::CMultiplayer() = default;
CMultiplayer::~CMultiplayer() { End(); }

RConnectAddress ParseTcpIpAddress(const std::string& text) {
  RConnectAddress a;
  a.kind = EConnection::kTcpIp;
  const size_t colon = text.find(':');
  a.host = text.substr(0, colon);
  if (colon != std::string::npos) {
    const std::string port = text.substr(colon + 1);
    uint32_t v = 0;
    bool ok = !port.empty() && port.size() <= 5;
    for (char c : port) {
      if (c < '0' || c > '9')
        ok = false;
      else
        v = v * 10 + static_cast<uint32_t>(c - '0');
    }
    if (ok && v <= 65535) a.port = static_cast<uint16_t>(v);
  }
  return a;
}

// ---- connection ----

bool CMultiplayer::Init(const RConnectAddress& address) {
  if (connection_ != EConnection::kNone || !services_) return false;
  std::unique_ptr<INetLink> link = services_->MakeLink(address);
  if (!link) return false;
  link_ = std::move(link);
  link_->SetWaitHook(waitHook_);
  address_ = address;
  connection_ = address.kind;
  return true;
}

void CMultiplayer::End() {
  EndSession();
  if (link_) link_->Close();
  link_.reset();
  connection_ = EConnection::kNone;
  found_.clear();
  listenPort_ = 0;
}

void CMultiplayer::Reset() {
  End();
  arrived_.clear();
  arrivedBytes_ = 0;
  queue_.Reset();
  current_ = TMess{};
  shared_.clear();
  playerList_.clear();
  sessionMode_ = false;
  dataGuaranteed_ = true;
  dropped_ = 0;
}

std::string CMultiplayer::IpAddress() { return services_ ? services_->FirstIpv4Address() : std::string(); }

// ---- sessions ----

bool CMultiplayer::CreateSession(const std::string& name, int64_t maxPlayers, const std::string& playerName) {
  if (!link_ || sessionStatus_ != 0) return false;
  const uint16_t port = link_->Listen(address_.port);
  if (port == 0) return false;
  listenPort_ = port;
  session_ = NewGuid();
  sessionName_ = name.substr(0, kMaxNameBytes);
  maxPlayers_ = maxPlayers > 0 ? static_cast<uint32_t>(std::min<int64_t>(maxPlayers, kMaxPlayers)) : 0;
  migrate_ = sessionMode_;
  // Ids start somewhere new in every session, so a message left over from an earlier session is
  // not taken for one of a player of this one.
  ownId_ = FirstPlayerId();
  hostId_ = ownId_;
  nextId_ = ownId_ + 1;
  ownName_ = playerName.substr(0, kMaxNameBytes);
  members_ = {RMember{ownId_, ownName_, "", port, 0, false}};
  isHost_ = true;
  sessionStatus_ = 1;
  UpdateAnnouncement();
  return true;
}

int64_t CMultiplayer::FindSessions() {
  if (!link_) return 0;
  found_.clear();
  std::vector<RFoundHost> answers = link_->Discover(address_.host, address_.port, timeouts_.findMs);
  for (const RFoundHost& h : answers) {
    RAnnouncement a;
    if (!DecodeAnnouncement(h.answer, a)) {
      Drop("a malformed session announcement");
      continue;
    }
    if (a.app != app_) continue;
    const bool seen =
        std::any_of(found_.begin(), found_.end(), [&](const RFoundSession& s) { return s.guid == a.session; });
    if (seen) continue;
    found_.push_back({a.session, a.name, h.host, a.port});
    Trace("EnumSessonsCallback - found " + a.name);
  }
  Trace("EnumSessionsCallback - Timeout");
  return static_cast<int64_t>(found_.size());
}

std::string CMultiplayer::SessionName(int64_t n) const {
  if (!link_ || n < 0 || n >= static_cast<int64_t>(found_.size())) return "";
  return found_[static_cast<size_t>(n)].name;
}

bool CMultiplayer::JoinSession(int64_t n, const std::string& playerName) {
  if (!link_ || sessionStatus_ != 0 || n < 0 || n >= static_cast<int64_t>(found_.size())) return false;
  const RFoundSession s = found_[static_cast<size_t>(n)];
  // Every player listens too, so the session can move to it.
  listenPort_ = link_->Listen(0);
  if (listenPort_ == 0) return false;
  session_ = s.guid;
  sessionName_ = s.name;
  ownName_ = playerName.substr(0, kMaxNameBytes);
  if (!ConnectToHost(s.host, s.port, 0)) {
    ownName_.clear();
    return false;
  }
  sessionStatus_ = 2;
  return true;
}

bool CMultiplayer::ConnectToHost(const std::string& host, uint16_t port, uint32_t rejoinId) {
  const PeerHandle peer = link_->Connect(host, port);
  if (peer == 0) return false;
  hostPeer_ = peer;
  rejoinId_ = rejoinId;
  // The join goes out once the connection is up (HandleEvent); the welcome lets this copy in.
  join_ = EJoin::kConnecting;
  const bool in = WaitForJoin();
  join_ = EJoin::kIdle;
  if (!in) {
    if (hostPeer_) link_->Disconnect(hostPeer_);
    hostPeer_ = 0;
    return false;
  }
  return true;
}

void CMultiplayer::SendJoin() {
  RFrame f;
  f.kind = EFrame::kJoin;
  f.app = app_;
  f.session = session_;
  f.listenPort = listenPort_;
  f.rejoinId = rejoinId_;
  f.name = ownName_;
  join_ = link_->Send(hostPeer_, EncodeFrame(f), true) ? EJoin::kWaiting : EJoin::kOut;
}

bool CMultiplayer::WaitForJoin() {
  const int64_t deadline = NowMs() + timeouts_.connectMs;
  while (join_ == EJoin::kConnecting || join_ == EJoin::kWaiting) {
    const int64_t left = deadline - NowMs();
    if (left <= 0) return false;
    Pump(static_cast<int>(std::min<int64_t>(left, 10)));
    if (waitHook_) waitHook_();
  }
  return join_ == EJoin::kIn;
}

void CMultiplayer::EndSession() {
  if (sessionStatus_ == 0) return;
  if (link_) {
    RFrame leave;
    leave.kind = EFrame::kLeave;
    leave.migrate = migrate_;
    const std::vector<uint8_t> bytes = EncodeFrame(leave);
    if (isHost_) {
      for (const RMember& m : members_) {
        if (m.peer == 0) continue;
        link_->Send(m.peer, bytes, true);
        link_->Disconnect(m.peer);
      }
    } else if (hostPeer_) {
      link_->Send(hostPeer_, bytes, true);
      link_->Disconnect(hostPeer_);
    }
  }
  LeaveLocally();
}

// The session is over for this copy: whatever arrived stays to be read.
void CMultiplayer::LeaveLocally() {
  if (link_) {
    link_->Announce({});
    for (auto& [peer, frame] : deferredJoins_) link_->Disconnect(peer);
  }
  deferredJoins_.clear();
  members_.clear();
  sessionStatus_ = 0;
  isHost_ = false;
  hostPeer_ = 0;
  hostId_ = 0;
  ownId_ = 0;
  if (join_ == EJoin::kConnecting || join_ == EJoin::kWaiting) join_ = EJoin::kOut;
}

// ---- players ----

int64_t CMultiplayer::FindPlayers() {
  playerList_.clear();
  if (!InSession()) return 0;
  Service();
  if (!InSession()) return 0;
  playerList_.push_back({ownId_, ownName_});
  for (const RMember& m : members_)
    if (m.id != ownId_) playerList_.push_back({m.id, m.name});
  return static_cast<int64_t>(playerList_.size());
}

std::string CMultiplayer::PlayerName(int64_t n) const {
  if (n < 0 || n >= static_cast<int64_t>(playerList_.size())) return "";
  return playerList_[static_cast<size_t>(n)].name;
}

uint32_t CMultiplayer::PlayerId(int64_t n) const {
  if (n < 0 || n >= static_cast<int64_t>(playerList_.size())) return 0;
  return playerList_[static_cast<size_t>(n)].id;
}

bool CMultiplayer::ResolvePlayer(const RValue& who, uint32_t& id) {
  if (who.IsString()) {
    FindPlayers();
    for (const RPlayerListEntry& p : playerList_) {
      if (p.name == who.str.view()) {
        id = p.id;
        return true;
      }
    }
    return false;
  }
  const int64_t v = RoundToInt64(who.val);
  if (v < 0 || v > std::numeric_limits<uint32_t>::max()) return false;
  id = static_cast<uint32_t>(v);
  return true;
}

// ---- shared data and messages ----

bool CMultiplayer::DataWrite(int64_t index, const RValue& value) {
  if (!InSession() || index < 0 || index > kMaxSharedIndex) return false;
  TMess m;
  m.ismessage = false;
  m.messid = static_cast<int32_t>(index);
  m.val = value;
  RFrame f;
  f.kind = EFrame::kData;
  f.guaranteed = dataGuaranteed_;
  f.from = ownId_;
  f.to = 0;
  f.record = EncodeRecord(m);
  if (!Relay(f, 0)) return false;
  // What the others receive is the record as it travelled (a long string cut), and so is what is kept.
  TMess kept;
  if (!DecodeRecord(f.record, kept)) return false;
  shared_[static_cast<int32_t>(index)] = kept.val;
  return true;
}

RValue CMultiplayer::DataRead(int64_t index) {
  if (!InSession()) return RValue{};
  TakeIn();
  if (index < 0 || index > kMaxSharedIndex) return RValue{};
  auto it = shared_.find(static_cast<int32_t>(index));
  return it == shared_.end() ? RValue{} : it->second;
}

bool CMultiplayer::Send(uint32_t to, int32_t id, const RValue& value, bool guaranteed) {
  if (!InSession()) return false;
  Service();
  if (!InSession()) return false;
  if (to != 0 && !Member(to)) return false;
  TMess m;
  m.player = to;
  m.ismessage = true;
  m.messid = id;
  m.val = value;
  RFrame f;
  f.kind = EFrame::kData;
  f.guaranteed = guaranteed;
  f.from = ownId_;
  f.to = to;
  f.record = EncodeRecord(m);
  if (to == ownId_) {
    Deliver(ownId_, f.record);
    return true;
  }
  if (!isHost_) return link_->Send(hostPeer_, EncodeFrame(f), guaranteed);
  if (to == 0) return Relay(f, 0);
  const RMember* target = Member(to);
  return target && target->peer != 0 && link_->Send(target->peer, EncodeFrame(f), guaranteed);
}

// Sends a record to everyone but `except`: from the host to each player, from a player to the host.
// A host reaching no one has still sent; a player whose host cannot be reached has not.
bool CMultiplayer::Relay(const RFrame& f, PeerHandle except) {
  const std::vector<uint8_t> bytes = EncodeFrame(f);
  if (!isHost_) return hostPeer_ != 0 && hostPeer_ != except && link_->Send(hostPeer_, bytes, f.guaranteed);
  for (const RMember& m : members_)
    if (m.peer != 0 && m.peer != except) link_->Send(m.peer, bytes, f.guaranteed);
  return true;
}

bool CMultiplayer::Receive(uint32_t from) {
  if (!InSession()) return false;
  TakeIn();
  return queue_.Take(from, current_);
}

std::string CMultiplayer::CurrentName() {
  FindPlayers();
  for (const RPlayerListEntry& p : playerList_)
    if (p.id == current_.player) return p.name;
  return "(unknown)";
}

int64_t CMultiplayer::Count(uint32_t from) {
  if (!InSession()) return 0;
  TakeIn();
  return static_cast<int64_t>(queue_.Count(from));
}

void CMultiplayer::Clear(uint32_t from) {
  if (!InSession()) return;
  TakeIn();
  queue_.Clear(from);
}

void CMultiplayer::TakeIn() {
  Service();
  while (!arrived_.empty()) {
    TMess m = std::move(arrived_.front());
    arrived_.pop_front();
    if (m.ismessage) {
      queue_.Add(std::move(m));
    } else if (m.messid >= 0 && m.messid <= kMaxSharedIndex) {
      shared_[m.messid] = std::move(m.val);
    }
  }
  arrivedBytes_ = 0;
}

void CMultiplayer::Deliver(uint32_t from, const std::vector<uint8_t>& record) {
  if (arrived_.size() >= kMaxArrived || arrivedBytes_ + record.size() > kMaxArrivedBytes) {
    Drop("a record beyond the receive limits");
    return;
  }
  TMess m;
  if (!DecodeRecord(record, m)) {
    Drop("a malformed record");
    return;
  }
  m.player = from;
  arrivedBytes_ += record.size();
  arrived_.push_back(std::move(m));
}

// ---- the network ----

void CMultiplayer::Service() {
  if (!link_ || servicing_) return;
  Pump(0);
  // A host the session moved to gives up on players that have not come back in time.
  if (isHost_ && sessionStatus_ != 0 && NowMs() - pendingSince_ > timeouts_.rejoinMs) {
    const size_t before = members_.size();
    std::erase_if(members_, [](const RMember& m) { return m.pending; });
    if (members_.size() != before) {
      SendPlayers();
      UpdateAnnouncement();
    }
  }
}

void CMultiplayer::Pump(int waitMs) {
  // Joining the host the session moved to waits inside the handling of an event: pumps nest.
  const bool outer = servicing_;
  servicing_ = true;
  RLinkEvent e;
  for (int i = 0; i < kMaxEventsPerService && link_ && link_->Poll(e, i == 0 ? waitMs : 0); ++i) HandleEvent(e);
  servicing_ = outer;
}

void CMultiplayer::Drop(const char* why) {
  ++dropped_;
  Trace(std::string("mplay: dropped ") + why);
}

void CMultiplayer::HandleEvent(RLinkEvent& e) {
  switch (e.kind) {
    case RLinkEvent::EKind::kConnected:
      // Ours to the host: ask in. Anyone else's: a player-to-be, which says who it is with its join.
      if (e.peer == hostPeer_ && join_ == EJoin::kConnecting) SendJoin();
      return;
    case RLinkEvent::EKind::kDisconnected: {
      std::erase_if(deferredJoins_, [&](const auto& d) { return d.first == e.peer; });
      const bool joining = join_ == EJoin::kConnecting || join_ == EJoin::kWaiting;
      if (sessionStatus_ == 0 && !joining) return;
      if (e.peer == hostPeer_ && !isHost_) {
        hostPeer_ = 0;
        if (joining) {
          join_ = EJoin::kOut;
        } else {
          HostLost();
        }
      } else if (isHost_) {
        const size_t before = members_.size();
        std::erase_if(members_, [&](const RMember& m) { return m.peer == e.peer && m.peer != 0; });
        if (members_.size() != before) {
          SendPlayers();
          UpdateAnnouncement();
        }
      }
      return;
    }
    case RLinkEvent::EKind::kReceived: {
      RFrame f;
      if (!DecodeFrame(e.data, f)) {
        Drop("a malformed packet");
        return;
      }
      HandleFrame(e.peer, f);
      return;
    }
  }
}

void CMultiplayer::HandleFrame(PeerHandle peer, RFrame& f) {
  const bool fromHost = !isHost_ && peer == hostPeer_ && hostPeer_ != 0;
  switch (f.kind) {
    case EFrame::kJoin:
      if (isHost_ && sessionStatus_ != 0) {
        HandleJoin(peer, f);
      } else if (sessionStatus_ != 0 && f.rejoinId != 0 && deferredJoins_.size() < kMaxDeferredJoins) {
        // A player that saw the host go before this copy did: it is answered once the session
        // has moved here (or turned away when it goes elsewhere).
        deferredJoins_.emplace_back(peer, std::move(f));
      } else {
        link_->Disconnect(peer);
      }
      return;
    case EFrame::kWelcome:
    case EFrame::kRefuse:
      if (!fromHost || join_ != EJoin::kWaiting) return Drop("an unexpected answer to a join");
      if (f.kind == EFrame::kRefuse) {
        join_ = EJoin::kOut;
        return;
      }
      [[fallthrough]];
    case EFrame::kPlayers: {
      if (!fromHost) return Drop("a player list from a player that is not the host");
      if (f.kind == EFrame::kWelcome) {
        ownId_ = f.yourId;
        join_ = EJoin::kIn;
      }
      // A list without this copy, or one whose host is missing, cannot be the session's.
      const auto has = [&](uint32_t id) {
        return std::any_of(f.players.begin(), f.players.end(), [&](const RPlayerEntry& p) { return p.id == id; });
      };
      if (!has(ownId_) || !has(f.hostId)) {
        if (f.kind == EFrame::kWelcome) join_ = EJoin::kOut;
        return Drop("a player list that leaves out this player or the host");
      }
      hostId_ = f.hostId;
      migrate_ = f.migrate;
      members_.clear();
      for (RPlayerEntry& p : f.players) {
        if (std::any_of(members_.begin(), members_.end(), [&](const RMember& m) { return m.id == p.id; })) continue;
        members_.push_back({p.id, std::move(p.name), std::move(p.host), p.port, 0, false});
      }
      return;
    }
    case EFrame::kData: {
      // Records may follow the welcome before the join has returned.
      if (sessionStatus_ == 0 && join_ != EJoin::kIn) return;
      if (fromHost) {
        if (f.to == 0 || f.to == ownId_) Deliver(f.from, f.record);
        return;
      }
      if (!isHost_) return Drop("a record from a stranger");
      const RMember* sender = MemberByPeer(peer);
      if (!sender) return Drop("a record from a stranger");
      // The sender is who the connection belongs to, whatever the record says.
      f.from = sender->id;
      if (f.to == 0) {
        Deliver(f.from, f.record);
        Relay(f, peer);
      } else if (f.to == ownId_) {
        Deliver(f.from, f.record);
      } else if (const RMember* target = Member(f.to); target && target->peer != 0) {
        link_->Send(target->peer, EncodeFrame(f), f.guaranteed);
      }
      return;
    }
    case EFrame::kLeave:
      if (fromHost) {
        link_->Disconnect(hostPeer_);
        hostPeer_ = 0;
        HostLost();
      } else if (isHost_) {
        if (MemberByPeer(peer)) {
          std::erase_if(members_, [&](const RMember& m) { return m.peer == peer; });
          SendPlayers();
          UpdateAnnouncement();
        }
        link_->Disconnect(peer);
      }
      return;
  }
}

void CMultiplayer::HandleJoin(PeerHandle peer, const RFrame& f) {
  RFrame answer;
  answer.kind = EFrame::kRefuse;
  if (f.app != app_ || f.session != session_) {
    answer.refusal = ERefusal::kWrongSession;
  } else if (MemberByPeer(peer)) {
    return Drop("a second join on one connection");
  } else {
    RMember* back = f.rejoinId != 0 ? Member(f.rejoinId) : nullptr;
    if (back && back->pending) {
      back->pending = false;
      back->peer = peer;
      back->name = f.name;
      back->host = link_->PeerHost(peer);
      back->port = f.listenPort;
      answer.kind = EFrame::kWelcome;
      answer.yourId = back->id;
    } else if (maxPlayers_ > 0 && members_.size() >= maxPlayers_) {
      answer.refusal = ERefusal::kFull;
    } else if (members_.size() >= kMaxPlayers || nextId_ == 0) {
      answer.refusal = ERefusal::kFull;
    } else {
      members_.push_back({nextId_, f.name, link_->PeerHost(peer), f.listenPort, peer, false});
      answer.kind = EFrame::kWelcome;
      answer.yourId = nextId_++;
    }
  }
  if (answer.kind == EFrame::kRefuse) {
    link_->Send(peer, EncodeFrame(answer), true);
    link_->Disconnect(peer);
    return;
  }
  RFrame list = PlayersFrame(EFrame::kWelcome);
  list.yourId = answer.yourId;
  link_->Send(peer, EncodeFrame(list), true);
  for (const RMember& m : members_) {
    if (m.peer != 0 && m.peer != peer) link_->Send(m.peer, EncodeFrame(PlayersFrame(EFrame::kPlayers)), true);
  }
  UpdateAnnouncement();
}

// The host has gone. With migration the lowest remaining id takes over; the others come to it.
void CMultiplayer::HostLost() {
  std::erase_if(members_, [&](const RMember& m) { return m.id == hostId_; });
  if (!migrate_ || members_.empty()) {
    LeaveLocally();
    return;
  }
  const auto next = std::min_element(members_.begin(), members_.end(),
                                     [](const RMember& a, const RMember& b) { return a.id < b.id; });
  if (next->id == ownId_) {
    BecomeHost();
    return;
  }
  const std::string host = next->host;
  const uint16_t port = next->port;
  hostId_ = next->id;
  for (auto& [peer, frame] : deferredJoins_) link_->Disconnect(peer);
  deferredJoins_.clear();
  if (!ConnectToHost(host, port, ownId_)) LeaveLocally();
}

void CMultiplayer::BecomeHost() {
  isHost_ = true;
  hostId_ = ownId_;
  hostPeer_ = 0;
  uint32_t top = 0;
  for (RMember& m : members_) {
    m.peer = 0;
    m.pending = m.id != ownId_;
    if (m.id == ownId_) {
      m.host.clear();
      m.port = listenPort_;
    }
    top = std::max(top, m.id);
  }
  nextId_ = top + 1;
  pendingSince_ = NowMs();
  UpdateAnnouncement();
  std::vector<std::pair<PeerHandle, RFrame>> waiting = std::move(deferredJoins_);
  deferredJoins_.clear();
  for (auto& [peer, frame] : waiting) HandleJoin(peer, frame);
}

RFrame CMultiplayer::PlayersFrame(EFrame kind) const {
  RFrame f;
  f.kind = kind;
  f.hostId = ownId_;
  f.migrate = migrate_;
  for (const RMember& m : members_) f.players.push_back({m.id, m.name, m.host, m.port});
  return f;
}

void CMultiplayer::SendPlayers() {
  const std::vector<uint8_t> bytes = EncodeFrame(PlayersFrame(EFrame::kPlayers));
  for (const RMember& m : members_)
    if (m.peer != 0) link_->Send(m.peer, bytes, true);
}

void CMultiplayer::UpdateAnnouncement() {
  if (!link_ || !isHost_) return;
  RAnnouncement a;
  a.app = app_;
  a.session = session_;
  a.name = sessionName_;
  a.port = listenPort_;
  a.players = static_cast<uint32_t>(members_.size());
  a.maxPlayers = maxPlayers_;
  link_->Announce(EncodeAnnouncement(a));
}

CMultiplayer::RMember* CMultiplayer::Member(uint32_t id) {
  for (RMember& m : members_)
    if (m.id == id) return &m;
  return nullptr;
}

CMultiplayer::RMember* CMultiplayer::MemberByPeer(PeerHandle peer) {
  if (peer == 0) return nullptr;
  for (RMember& m : members_)
    if (m.peer == peer) return &m;
  return nullptr;
}

CMultiplayer& Multiplayer() {
  static CMultiplayer m;
  return m;
}

}  // namespace kestro::mplay
