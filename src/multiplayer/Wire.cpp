#include "multiplayer/Wire.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace kestro::mplay {

namespace {

class CWriter {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    for (int i = 0; i < 2; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void F64(double d) {
    const uint64_t v = std::bit_cast<uint64_t>(d);
    for (int i = 0; i < 8; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  // A counted string, cut to `limit` bytes.
  void Str(std::string_view s, uint32_t limit) {
    const size_t n = std::min<size_t>(s.size(), limit);
    U32(static_cast<uint32_t>(n));
    out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
  }
  void Bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void Guid(const RGuid& g) { out_.insert(out_.end(), g.begin(), g.end()); }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

// Reads from untrusted bytes: every read checks what is left, and a failed read sticks.
class CReader {
 public:
  explicit CReader(std::span<const uint8_t> b) : b_(b) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && pos_ == b_.size(); }
  size_t Left() const { return b_.size() - pos_; }

  uint8_t U8() { return static_cast<uint8_t>(Le(1)); }
  uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
  double F64() { return std::bit_cast<double>(Le(8)); }
  bool Bool() {
    const uint8_t v = U8();
    if (v > 1) ok_ = false;
    return v == 1;
  }
  // A counted string of at most `limit` bytes.
  std::string Str(uint32_t limit) {
    const uint32_t n = U32();
    if (!ok_ || n > limit || n > Left()) {
      ok_ = false;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(b_.data() + pos_), n);
    pos_ += n;
    return s;
  }
  RGuid Guid() {
    RGuid g{};
    if (!Need(g.size())) return g;
    std::memcpy(g.data(), b_.data() + pos_, g.size());
    pos_ += g.size();
    return g;
  }
  std::span<const uint8_t> Rest() {
    if (!ok_) return {};
    std::span<const uint8_t> r = b_.subspan(pos_);
    pos_ = b_.size();
    return r;
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || Left() < n) ok_ = false;
    return ok_;
  }
  uint64_t Le(size_t n) {
    if (!Need(n)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(b_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }

  std::span<const uint8_t> b_;
  size_t pos_ = 0;
  bool ok_ = true;
};

void WritePlayers(CWriter& w, const RFrame& f) {
  w.U32(f.hostId);
  w.U8(f.migrate ? 1 : 0);
  const size_t n = std::min<size_t>(f.players.size(), kMaxPlayers);
  w.U32(static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) {
    const RPlayerEntry& p = f.players[i];
    w.U32(p.id);
    w.Str(p.name, kMaxNameBytes);
    w.Str(p.host, kMaxHostBytes);
    w.U16(p.port);
  }
}

bool ReadPlayers(CReader& r, RFrame& f) {
  f.hostId = r.U32();
  f.migrate = r.Bool();
  const uint32_t n = r.U32();
  if (!r.ok() || n > kMaxPlayers) return false;
  f.players.clear();
  for (uint32_t i = 0; i < n && r.ok(); ++i) {
    RPlayerEntry p;
    p.id = r.U32();
    p.name = r.Str(kMaxNameBytes);
    p.host = r.Str(kMaxHostBytes);
    p.port = r.U16();
    // Id 0 means "all players" and can never name one.
    if (p.id == 0) return false;
    f.players.push_back(std::move(p));
  }
  return r.ok();
}

}  // namespace

std::vector<uint8_t> EncodeRecord(const TMess& m) {
  CWriter w;
  w.U8(m.ismessage ? 1 : 0);
  w.U32(static_cast<uint32_t>(m.messid));
  if (m.val.IsString()) {
    w.U8(1);
    w.Str(m.val.str.view(), kMaxStringBytes);
  } else {
    w.U8(0);
    w.F64(m.val.val);
  }
  return w.Take();
}

bool DecodeRecord(std::span<const uint8_t> bytes, TMess& m) {
  if (bytes.size() > kMaxRecordBytes) return false;
  CReader r(bytes);
  const bool ismessage = r.Bool();
  const int32_t messid = static_cast<int32_t>(r.U32());
  const uint8_t kind = r.U8();
  RValue val;
  if (kind == 1) {
    const std::string s = r.Str(kMaxStringBytes);
    val.SetString(RString(s));
  } else if (kind == 0) {
    val.SetReal(r.F64());
  } else {
    return false;
  }
  if (!r.AtEnd()) return false;
  m.ismessage = ismessage;
  m.messid = messid;
  m.val = std::move(val);
  return true;
}

std::vector<uint8_t> EncodeFrame(const RFrame& f) {
  CWriter w;
  w.U8(static_cast<uint8_t>(f.kind));
  switch (f.kind) {
    case EFrame::kJoin:
      w.Guid(f.app);
      w.Guid(f.session);
      w.U16(f.listenPort);
      w.U32(f.rejoinId);
      w.Str(f.name, kMaxNameBytes);
      break;
    case EFrame::kWelcome:
      w.U32(f.yourId);
      WritePlayers(w, f);
      break;
    case EFrame::kPlayers: WritePlayers(w, f); break;
    case EFrame::kRefuse: w.U8(static_cast<uint8_t>(f.refusal)); break;
    case EFrame::kData:
      w.U8(f.guaranteed ? 1 : 0);
      w.U32(f.from);
      w.U32(f.to);
      w.Bytes(std::span<const uint8_t>(f.record.data(), std::min(f.record.size(), kMaxRecordBytes)));
      break;
    case EFrame::kLeave: w.U8(f.migrate ? 1 : 0); break;
  }
  return w.Take();
}

bool DecodeFrame(std::span<const uint8_t> bytes, RFrame& f) {
  if (bytes.empty() || bytes.size() > kReceiveBuffer) return false;
  CReader r(bytes);
  f = RFrame{};
  f.kind = static_cast<EFrame>(r.U8());
  switch (f.kind) {
    case EFrame::kJoin:
      f.app = r.Guid();
      f.session = r.Guid();
      f.listenPort = r.U16();
      f.rejoinId = r.U32();
      f.name = r.Str(kMaxNameBytes);
      break;
    case EFrame::kWelcome:
      f.yourId = r.U32();
      if (!ReadPlayers(r, f) || f.yourId == 0) return false;
      break;
    case EFrame::kPlayers:
      if (!ReadPlayers(r, f)) return false;
      break;
    case EFrame::kRefuse: {
      const uint8_t why = r.U8();
      if (why != static_cast<uint8_t>(ERefusal::kWrongSession) && why != static_cast<uint8_t>(ERefusal::kFull))
        return false;
      f.refusal = static_cast<ERefusal>(why);
      break;
    }
    case EFrame::kData: {
      f.guaranteed = r.Bool();
      f.from = r.U32();
      f.to = r.U32();
      std::span<const uint8_t> rest = r.Rest();
      // The record must be one the receiver can read: checked here so a relay never passes on junk.
      TMess check;
      if (!r.ok() || !DecodeRecord(rest, check)) return false;
      f.record.assign(rest.begin(), rest.end());
      break;
    }
    case EFrame::kLeave: f.migrate = r.Bool(); break;
    default: return false;
  }
  return r.AtEnd();
}

std::vector<uint8_t> EncodeAnnouncement(const RAnnouncement& a) {
  CWriter w;
  w.Bytes(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("KMPS"), 4));
  w.Guid(a.app);
  w.Guid(a.session);
  w.U16(a.port);
  w.U32(a.players);
  w.U32(a.maxPlayers);
  w.Str(a.name, kMaxNameBytes);
  return w.Take();
}

bool DecodeAnnouncement(std::span<const uint8_t> bytes, RAnnouncement& a) {
  if (bytes.size() < 4 || bytes.size() > kReceiveBuffer || std::memcmp(bytes.data(), "KMPS", 4) != 0) return false;
  CReader r(bytes.subspan(4));
  a.app = r.Guid();
  a.session = r.Guid();
  a.port = r.U16();
  a.players = r.U32();
  a.maxPlayers = r.U32();
  a.name = r.Str(kMaxNameBytes);
  return r.AtEnd() && a.port != 0;
}

}  // namespace kestro::mplay
