// CStream: the one reader and writer of every stored form. An in-memory byte stream with typed
// reads and writes, nested length-prefixed blocks (plain, zlib-packed, shuffled), and the byte
// substitution scrambler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kestro {

// Raised by any read past the end of a stream and by damaged packed blocks. Only the start-up
// sequence and the other top-level readers (saved games, data-structure texts) catch it.
class EStreamError : public std::runtime_error {
 public:
  explicit EStreamError(const std::string& what = "Stream read error") : std::runtime_error(what) {}
};

// A packed block may not inflate beyond this; larger content is treated as damage, never allocated.
inline constexpr size_t kMaxInflatedBlock = size_t(1) << 30;

class CStream {
 public:
  CStream() = default;
  explicit CStream(std::vector<uint8_t> bytes) : buf_(std::move(bytes)) {}

  // The buffer, for loaders that work on it in place (the game file, descrambling).
  std::vector<uint8_t>& Buffer() { return buf_; }
  const std::vector<uint8_t>& Buffer() const { return buf_; }
  size_t Size() const { return buf_.size(); }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }
  size_t Remaining() const { return pos_ < buf_.size() ? buf_.size() - pos_ : 0; }
  void Clear() {
    buf_.clear();
    pos_ = 0;
  }

  // Stored primitives.
  int32_t ReadInteger();
  double ReadReal();
  bool ReadBoolean();
  std::string ReadString();
  void ReadBytes(void* dst, size_t n);
  void Skip(size_t n);  // raises like a read when fewer bytes remain

  void WriteInteger(int32_t v);
  void WriteReal(double v);
  void WriteBoolean(bool v);
  void WriteString(std::string_view s);
  void WriteBytes(const void* src, size_t n);

  // Nested blocks; the result is a new stream positioned at 0.
  std::unique_ptr<CStream> ReadStream();
  void WriteStream(CStream& src);
  std::unique_ptr<CStream> ReadStreamC();
  void WriteStreamC(CStream& src);
  void WriteStreamC(const uint8_t* data, size_t n);
  std::unique_ptr<CStream> ReadStreamE();
  // Transforms src in place and writes it as a shuffled block; rng draws the permutation and filler.
  void WriteStreamE(CStream& src, std::mt19937& rng);
  void WriteStreamE(CStream& src);

  // A picture: the file image of a Windows bitmap, or none. The content is checked to be a
  // bitmap file image; one that is not gives none, and the block is still consumed.
  std::optional<std::vector<uint8_t>> ReadBitmap();
  void WriteBitmap(const std::vector<uint8_t>* bmpFile);

  // Byte substitution in this stream's buffer; count < 1 means to the end. Return the offset
  // after the last byte processed.
  size_t Encrypt(int32_t key, size_t start, int64_t count);
  size_t Decrypt(int32_t key, size_t start, int64_t count);
  size_t Encrypt2(int32_t key, size_t start, int64_t count);
  size_t Decrypt2(int32_t key, size_t start, int64_t count);

  std::string ConvertToString() const;
  // Stops at the first pair that is not hexadecimal and returns false; bytes before it stay.
  bool ConvertFromString(std::string_view text);

 private:
  void Need(size_t n) const {
    if (n > Remaining()) throw EStreamError();
  }
  std::unique_ptr<CStream> Inflate(const uint8_t* data, size_t n);

  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
};

}  // namespace kestro
