// What travels between the copies of a game: the message record of game code (`TMess`) in its wire
// form, and the frames of the session protocol that carry it. Everything read from the network is
// untrusted: the decoders check every length and count against the limits below and refuse a frame
// that is short, long, or out of range, so nothing received can overflow or exhaust memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "script/Value.h"

namespace kestro::mplay {

// Limits of the record and the protocol.
inline constexpr uint32_t kMaxStringBytes = 32000;                          // a string value is cut to this many bytes
inline constexpr size_t kMaxRecordBytes = 1 + 4 + 1 + 4 + kMaxStringBytes;  // the largest record
inline constexpr size_t kReceiveBuffer = 32000 + 64;                        // the largest frame taken from the network
inline constexpr uint32_t kMaxNameBytes = 256;                              // session and player names
inline constexpr uint32_t kMaxHostBytes = 64;                               // a host address in a player list
inline constexpr uint32_t kMaxPlayers = 256;                                // players listed in one session

using RGuid = std::array<uint8_t, 16>;

// One message record: the target when sending and the sender when received (0: all players),
// a message or a shared-data update, the message id or the index of the shared value, the value.
struct TMess {
  uint32_t player = 0;
  bool ismessage = true;
  int32_t messid = 0;
  RValue val;
};

// The record's wire form: ismessage (1 byte), messid (4), the kind (1: string, 0: real), then the
// string (4-byte count, at most 32000, and its bytes) or the real (8 bytes). Little-endian.
std::vector<uint8_t> EncodeRecord(const TMess& m);
// False for anything that is not exactly one well-formed record. `player` is left as it was: the
// sender's id comes from the transport.
bool DecodeRecord(std::span<const uint8_t> bytes, TMess& m);

// ---- the session protocol ----

enum class EFrame : uint8_t {
  kJoin = 1,     // a player asks the host in
  kWelcome = 2,  // the host lets it in: its id and the player list
  kRefuse = 3,   // the host keeps it out
  kPlayers = 4,  // the host's player list, after every change
  kData = 5,     // a record from one player to another or to all
  kLeave = 6,    // a player leaves; from the host, the session goes (or moves, `migrate`)
};

enum class ERefusal : uint8_t { kWrongSession = 1, kFull = 2 };

// One player as the host lists it: where the others can reach it should it become the host.
struct RPlayerEntry {
  uint32_t id = 0;
  std::string name;
  std::string host;  // empty for the host itself: whoever has the list knows where the host is
  uint16_t port = 0;
};

struct RFrame {
  EFrame kind = EFrame::kData;
  // kJoin
  RGuid app{};
  RGuid session{};
  uint16_t listenPort = 0;
  uint32_t rejoinId = 0;  // a player coming back after the host moved keeps its id
  std::string name;
  // kWelcome, kPlayers
  uint32_t yourId = 0;
  uint32_t hostId = 0;
  bool migrate = false;  // kWelcome, kPlayers, kLeave
  std::vector<RPlayerEntry> players;
  // kRefuse
  ERefusal refusal = ERefusal::kWrongSession;
  // kData
  bool guaranteed = false;
  uint32_t from = 0;
  uint32_t to = 0;
  std::vector<uint8_t> record;
};

std::vector<uint8_t> EncodeFrame(const RFrame& f);
// False (and `f` unspecified) for a malformed, truncated or oversized frame, or one with bytes
// left over.
bool DecodeFrame(std::span<const uint8_t> bytes, RFrame& f);

// A session's announcement, the answer to a finder's query.
struct RAnnouncement {
  RGuid app{};
  RGuid session{};
  std::string name;
  uint16_t port = 0;  // where the session takes players
  uint32_t players = 0;
  uint32_t maxPlayers = 0;  // 0: no limit
};

// The query finders send; exactly these bytes.
inline constexpr std::array<uint8_t, 8> kSessionQuery = {'K', 'M', 'P', 'Q', 'u', 'e', 'r', 'y'};
std::vector<uint8_t> EncodeAnnouncement(const RAnnouncement& a);
bool DecodeAnnouncement(std::span<const uint8_t> bytes, RAnnouncement& a);

}  // namespace kestro::mplay
