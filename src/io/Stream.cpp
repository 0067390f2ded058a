#include "io/Stream.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace kestro {

namespace {

// The substitution and inverse tables of the scrambler, rebuilt by every scrambling call.
std::array<uint8_t, 256> g_subst;
std::array<uint8_t, 256> g_inverse;

void InitTables(int32_t key) {
  int32_t a = (key % 250) + 6;
  int32_t b = key / 250;
  if (a < 0) a += 256;
  if (b < 0) b += 256;
  for (int i = 0; i < 256; ++i) g_subst[i] = g_inverse[i] = uint8_t(i);
  for (int64_t i = 1; i <= 10000; ++i) {
    // Very negative keys leave b negative even after the adjustment; taking the remainder
    // upward keeps every swap inside the table (and entry 0 in place) for every key.
    int64_t j = ((((i * a + b) % 254) + 254) % 254) + 1;
    std::swap(g_subst[j], g_subst[j + 1]);
  }
  for (int i = 1; i < 256; ++i) g_inverse[g_subst[i]] = uint8_t(i);
}

template <typename F>
size_t Substitute(std::vector<uint8_t>& buf, int32_t key, size_t start, int64_t count, F f) {
  InitTables(key);
  size_t end = buf.size();
  if (count >= 1 && start + size_t(count) < end) end = start + size_t(count);
  size_t p = start;
  for (; p < end; ++p) buf[p] = f(buf[p], p);
  return p;
}

}  // namespace

// ---- primitives ----

int32_t CStream::ReadInteger() {
  Need(4);
  int32_t v;
  std::memcpy(&v, buf_.data() + pos_, 4);
  pos_ += 4;
  return v;
}

double CStream::ReadReal() {
  Need(8);
  double v;
  std::memcpy(&v, buf_.data() + pos_, 8);
  pos_ += 8;
  return v;
}

bool CStream::ReadBoolean() { return ReadInteger() > 0; }

std::string CStream::ReadString() {
  int32_t n = ReadInteger();
  if (n <= 0) return {};
  Need(size_t(n));
  std::string s(reinterpret_cast<const char*>(buf_.data() + pos_), size_t(n));
  pos_ += size_t(n);
  return s;
}

void CStream::ReadBytes(void* dst, size_t n) {
  Need(n);
  if (n) std::memcpy(dst, buf_.data() + pos_, n);
  pos_ += n;
}

void CStream::Skip(size_t n) {
  Need(n);
  pos_ += n;
}

void CStream::WriteBytes(const void* src, size_t n) {
  InflateAll();
  if (pos_ + n > buf_.size()) buf_.resize(pos_ + n);
  if (n) std::memcpy(buf_.data() + pos_, src, n);
  pos_ += n;
}

void CStream::WriteInteger(int32_t v) { WriteBytes(&v, 4); }
void CStream::WriteReal(double v) { WriteBytes(&v, 8); }
void CStream::WriteBoolean(bool v) { WriteInteger(v ? 1 : 0); }

void CStream::WriteString(std::string_view s) {
  WriteInteger(int32_t(s.size()));
  WriteBytes(s.data(), s.size());
}

// ---- blocks ----

std::unique_ptr<CStream> CStream::ReadStream() {
  int32_t n = ReadInteger();
  auto out = std::make_unique<CStream>();
  if (n <= 0) return out;
  Need(size_t(n));
  out->buf_.assign(buf_.begin() + pos_, buf_.begin() + pos_ + n);
  pos_ += size_t(n);
  return out;
}

void CStream::WriteStream(CStream& src) {
  const std::vector<uint8_t>& content = src.Buffer();
  WriteInteger(int32_t(content.size()));
  WriteBytes(content.data(), content.size());
}

// The rest of a packed block: its packed bytes (a copy, so the stream outlives its source) and
// zlib's state.
struct RInflation {
  std::vector<uint8_t> packed;
  z_stream zs{};
  bool done = false;

  RInflation(const uint8_t* data, size_t n) : packed(data, data + n) {
    if (inflateInit(&zs) != Z_OK) throw EStreamError("zlib error");
    zs.next_in = packed.data();
    zs.avail_in = uInt(n);
  }
  ~RInflation() { inflateEnd(&zs); }
  RInflation(const RInflation&) = delete;
  RInflation& operator=(const RInflation&) = delete;

  // Appends content to dst until it holds `want` bytes or the block ends.
  void Fill(std::vector<uint8_t>& dst, size_t want) {
    while (!done && dst.size() < want) {
      if (dst.size() >= kMaxInflatedBlock) {
        // One byte more tells a block that ends exactly at the limit from one that goes on.
        uint8_t probe;
        zs.next_out = &probe;
        zs.avail_out = 1;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END && zs.avail_out == 1) {
          done = true;
          return;
        }
        throw EStreamError("zlib error: block too large");
      }
      // Grow geometrically (at least 32 KiB a step), never past the limit, and never more than a
      // step at a time: reading a whole block of unknown size (want = SIZE_MAX) must not make
      // the largest buffer a block may have.
      const size_t have = dst.size();
      const size_t step = std::max(have * 2, have + 32768);
      const size_t target = std::min({kMaxInflatedBlock, step, std::max(want, have + 32768)});
      dst.resize(target);
      zs.next_out = dst.data() + have;
      zs.avail_out = uInt(std::min<size_t>(target - have, 1u << 30));
      const size_t before = zs.avail_out;
      const int rc = inflate(&zs, Z_NO_FLUSH);
      dst.resize(have + (before - zs.avail_out));
      if (rc == Z_STREAM_END) {
        done = true;
      } else if (rc != Z_OK || (zs.avail_in == 0 && zs.avail_out != 0)) {
        throw EStreamError("zlib error");
      }
    }
  }
};

CStream::CStream() = default;
CStream::CStream(std::vector<uint8_t> bytes) : buf_(std::move(bytes)) {}
CStream::~CStream() = default;
CStream::CStream(CStream&&) noexcept = default;
CStream& CStream::operator=(CStream&&) noexcept = default;
CStream::CStream(const CStream& other) : buf_(other.Buffer()), pos_(other.pos_) {}
CStream& CStream::operator=(const CStream& other) {
  if (this != &other) {
    buf_ = other.Buffer();
    inflation_.reset();
    pos_ = other.pos_;
  }
  return *this;
}

void CStream::Clear() {
  buf_.clear();
  inflation_.reset();
  pos_ = 0;
}

bool CStream::InflateTo(size_t from, size_t n) const {
  if (n > SIZE_MAX - from) return false;
  const size_t want = from + n;
  if (inflation_ && buf_.size() < want) {
    inflation_->Fill(buf_, want);
    if (inflation_->done) inflation_.reset();
  }
  return buf_.size() >= want;
}

void CStream::InflateAll() const {
  if (!inflation_) return;
  inflation_->Fill(buf_, SIZE_MAX);
  inflation_.reset();
}

bool CStream::Holds(size_t n) { return n <= (pos_ < buf_.size() ? buf_.size() - pos_ : 0) || InflateTo(pos_, n); }

std::unique_ptr<CStream> CStream::ReadStreamC() {
  int32_t n = ReadInteger();
  if (n <= 0) return std::make_unique<CStream>();
  Need(size_t(n));
  auto out = std::make_unique<CStream>();
  out->inflation_ = std::make_unique<RInflation>(buf_.data() + pos_, size_t(n));
  pos_ += size_t(n);
  // A damaged header shows at once, as it did when blocks were inflated whole.
  out->InflateTo(0, 1);
  return out;
}

size_t CStream::MeasureStreamC() {
  int32_t n = ReadInteger();
  if (n <= 0) return 0;
  Need(size_t(n));
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw EStreamError("zlib error");
  zs.next_in = buf_.data() + pos_;
  zs.avail_in = uInt(n);
  pos_ += size_t(n);
  // Through a small window: the content is counted, never held.
  std::vector<uint8_t> window(1 << 16);
  size_t total = 0;
  for (;;) {
    zs.next_out = window.data();
    zs.avail_out = uInt(window.size());
    const int rc = inflate(&zs, Z_NO_FLUSH);
    total += window.size() - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (total > kMaxInflatedBlock || rc != Z_OK || (zs.avail_in == 0 && zs.avail_out != 0)) {
      inflateEnd(&zs);
      throw EStreamError(total > kMaxInflatedBlock ? "zlib error: block too large" : "zlib error");
    }
  }
  inflateEnd(&zs);
  return total;
}

void CStream::WriteStreamC(const uint8_t* data, size_t n) {
  uLongf bound = compressBound(uLong(n));
  std::vector<uint8_t> packed(bound);
  if (compress2(packed.data(), &bound, data, uLong(n), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw EStreamError("zlib error");
  WriteInteger(int32_t(bound));
  WriteBytes(packed.data(), bound);
}

void CStream::WriteStreamC(CStream& src) { WriteStreamC(src.Buffer().data(), src.Buffer().size()); }

std::unique_ptr<CStream> CStream::ReadStreamE() {
  int32_t p1 = ReadInteger();
  int32_t p2 = ReadInteger();
  if (p1 < 0 || p2 < 0) throw EStreamError();
  Skip(size_t(p1) * 4);
  uint8_t T[256];
  ReadBytes(T, 256);
  Skip(size_t(p2) * 4);
  uint8_t U[256];
  for (int i = 0; i < 256; ++i) U[T[i]] = uint8_t(i);
  int32_t n = ReadInteger();
  auto out = std::make_unique<CStream>();
  if (n <= 0) return out;
  Need(size_t(n));
  std::vector<uint8_t>& M = out->buf_;
  M.assign(buf_.begin() + pos_, buf_.begin() + pos_ + n);
  pos_ += size_t(n);
  for (size_t i = size_t(n) - 1; i >= 1; --i) M[i] = uint8_t(U[M[i]] - i - M[i - 1]);
  for (size_t k = size_t(n); k-- > 0;) {
    size_t j = k >= T[k & 0xFF] ? k - T[k & 0xFF] : 0;
    std::swap(M[k], M[j]);
  }
  return out;
}

void CStream::WriteStreamE(CStream& src, std::mt19937& rng) {
  uint8_t T[256];
  for (int i = 0; i < 256; ++i) T[i] = uint8_t(i);
  std::uniform_int_distribution<int> pick(0, 254);
  for (int i = 0; i < 256; ++i) std::swap(T[i], T[pick(rng)]);
  std::uniform_int_distribution<int> count(0, 499);
  std::uniform_int_distribution<int32_t> filler(0, 268435454);
  int32_t a = count(rng) + 100, b = count(rng) + 100;
  WriteInteger(a);
  WriteInteger(b);
  for (int i = 0; i < a; ++i) WriteInteger(filler(rng));
  WriteBytes(T, 256);
  for (int i = 0; i < b; ++i) WriteInteger(filler(rng));

  std::vector<uint8_t>& M = src.Buffer();
  size_t n = M.size();
  for (size_t i = 0; i < n; ++i) {
    size_t j = i >= T[i & 0xFF] ? i - T[i & 0xFF] : 0;
    std::swap(M[i], M[j]);
  }
  for (size_t i = 1; i < n; ++i) M[i] = T[(M[i] + M[i - 1] + i) & 0xFF];
  WriteInteger(int32_t(n));
  WriteBytes(M.data(), n);
}

void CStream::WriteStreamE(CStream& src) {
  std::mt19937 rng(uint32_t(std::chrono::steady_clock::now().time_since_epoch().count()));
  WriteStreamE(src, rng);
}

// ---- pictures ----

std::optional<std::vector<uint8_t>> CStream::ReadBitmap() {
  if (!ReadBoolean()) return std::nullopt;
  std::unique_ptr<CStream> block = ReadStreamC();
  // A bitmap file image: "BM", file size, two reserved words, pixel offset, then an info header
  // of at least the 12-byte core size, with the pixels inside the image.
  if (!block->Holds(26)) return std::nullopt;
  const uint8_t* head = block->PeekBytes(26);
  if (head[0] != 'B' || head[1] != 'M') return std::nullopt;
  uint32_t fileSize;
  std::memcpy(&fileSize, head + 2, 4);
  // The size the image declares bounds its block: content beyond it is not a bitmap file image
  // and is never inflated. (Some writers leave the size 0; the block's own cap holds then.)
  if (fileSize >= 26 && block->Holds(size_t(fileSize) + 1)) return std::nullopt;
  std::vector<uint8_t>& b = block->Buffer();
  uint32_t offBits, infoSize;
  std::memcpy(&offBits, b.data() + 10, 4);
  std::memcpy(&infoSize, b.data() + 14, 4);
  if (infoSize < 12 || 14 + size_t(infoSize) > b.size() || offBits > b.size()) return std::nullopt;
  return std::move(b);
}

void CStream::WriteBitmap(const std::vector<uint8_t>* bmpFile) {
  WriteBoolean(bmpFile != nullptr);
  if (bmpFile) WriteStreamC(bmpFile->data(), bmpFile->size());
}

// ---- scrambling ----

size_t CStream::Encrypt(int32_t key, size_t start, int64_t count) {
  return Substitute(Buffer(), key, start, count, [](uint8_t v, size_t) { return g_subst[v]; });
}
size_t CStream::Decrypt(int32_t key, size_t start, int64_t count) {
  return Substitute(Buffer(), key, start, count, [](uint8_t v, size_t) { return g_inverse[v]; });
}
size_t CStream::Encrypt2(int32_t key, size_t start, int64_t count) {
  return Substitute(Buffer(), key, start, count, [](uint8_t v, size_t p) { return g_subst[(v + p) & 0xFF]; });
}
size_t CStream::Decrypt2(int32_t key, size_t start, int64_t count) {
  return Substitute(Buffer(), key, start, count, [](uint8_t v, size_t p) { return uint8_t(g_inverse[v] - p); });
}

// ---- hexadecimal text ----

std::string CStream::ConvertToString() const {
  static const char* kHex = "0123456789ABCDEF";
  std::string s;
  const std::vector<uint8_t>& content = Buffer();
  s.reserve(content.size() * 2);
  for (uint8_t b : content) {
    s.push_back(kHex[b >> 4]);
    s.push_back(kHex[b & 15]);
  }
  return s;
}

bool CStream::ConvertFromString(std::string_view text) {
  InflateAll();
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  Clear();
  bool ok = true;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) {
      ok = false;
      break;
    }
    buf_.push_back(uint8_t(hi * 16 + lo));
  }
  pos_ = 0;
  return ok;
}

}  // namespace kestro
