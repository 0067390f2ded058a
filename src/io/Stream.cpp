#include "io/Stream.h"

#include <zlib.h>

#include <array>
#include <chrono>
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
  WriteInteger(int32_t(src.buf_.size()));
  WriteBytes(src.buf_.data(), src.buf_.size());
}

std::unique_ptr<CStream> CStream::Inflate(const uint8_t* data, size_t n) {
  auto out = std::make_unique<CStream>();
  if (n == 0) return out;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw EStreamError("zlib error");
  zs.next_in = const_cast<uint8_t*>(data);
  zs.avail_in = uInt(n);
  std::vector<uint8_t>& dst = out->buf_;
  // Start at twice the packed size and grow geometrically.
  dst.resize(std::min(kMaxInflatedBlock, std::max<size_t>(n * 2, 32768)));
  size_t have = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (have == dst.size()) {
      if (dst.size() >= kMaxInflatedBlock) {
        inflateEnd(&zs);
        throw EStreamError("zlib error: block too large");
      }
      dst.resize(std::min(kMaxInflatedBlock, dst.size() * 2));
    }
    zs.next_out = dst.data() + have;
    zs.avail_out = uInt(std::min<size_t>(dst.size() - have, 1u << 30));
    size_t before = zs.avail_out;
    rc = inflate(&zs, Z_NO_FLUSH);
    have += before - zs.avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK || (zs.avail_in == 0 && zs.avail_out != 0)) {
      inflateEnd(&zs);
      throw EStreamError("zlib error");
    }
  }
  inflateEnd(&zs);
  dst.resize(have);
  return out;
}

std::unique_ptr<CStream> CStream::ReadStreamC() {
  int32_t n = ReadInteger();
  if (n <= 0) return std::make_unique<CStream>();
  Need(size_t(n));
  auto out = Inflate(buf_.data() + pos_, size_t(n));
  pos_ += size_t(n);
  return out;
}

void CStream::WriteStreamC(const uint8_t* data, size_t n) {
  uLongf bound = compressBound(uLong(n));
  std::vector<uint8_t> packed(bound);
  if (compress2(packed.data(), &bound, data, uLong(n), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw EStreamError("zlib error");
  WriteInteger(int32_t(bound));
  WriteBytes(packed.data(), bound);
}

void CStream::WriteStreamC(CStream& src) { WriteStreamC(src.buf_.data(), src.buf_.size()); }

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

  std::vector<uint8_t>& M = src.buf_;
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
  std::vector<uint8_t>& b = block->buf_;
  // A bitmap file image: "BM", file size, two reserved words, pixel offset, then an info header
  // of at least the 12-byte core size, with the pixels inside the image.
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
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
  return Substitute(buf_, key, start, count, [](uint8_t v, size_t) { return g_subst[v]; });
}
size_t CStream::Decrypt(int32_t key, size_t start, int64_t count) {
  return Substitute(buf_, key, start, count, [](uint8_t v, size_t) { return g_inverse[v]; });
}
size_t CStream::Encrypt2(int32_t key, size_t start, int64_t count) {
  return Substitute(buf_, key, start, count,
                    [](uint8_t v, size_t p) { return g_subst[(v + p) & 0xFF]; });
}
size_t CStream::Decrypt2(int32_t key, size_t start, int64_t count) {
  return Substitute(buf_, key, start, count,
                    [](uint8_t v, size_t p) { return uint8_t(g_inverse[v] - p); });
}

// ---- hexadecimal text ----

std::string CStream::ConvertToString() const {
  static const char* kHex = "0123456789ABCDEF";
  std::string s;
  s.reserve(buf_.size() * 2);
  for (uint8_t b : buf_) {
    s.push_back(kHex[b >> 4]);
    s.push_back(kHex[b & 15]);
  }
  return s;
}

bool CStream::ConvertFromString(std::string_view text) {
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
