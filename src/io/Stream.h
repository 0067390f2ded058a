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

struct RInflation;

// A stream read from a packed block inflates as it is read: a reader that stops early (an empty
// slot, a summary that wants only names) never pays for the rest of the block, and content a
// stored form does not declare is never inflated. Buffer(), Size() and Remaining() give the whole
// content and so inflate the rest first; Holds() and PeekBytes() inflate only as far as asked.
class CStream {
 public:
  CStream();
  explicit CStream(std::vector<uint8_t> bytes);
  ~CStream();
  CStream(CStream&&) noexcept;
  CStream& operator=(CStream&&) noexcept;
  // A copy holds the whole content.
  CStream(const CStream& other);
  CStream& operator=(const CStream& other);

  // The buffer, for loaders that work on it in place (the game file, descrambling).
  std::vector<uint8_t>& Buffer() {
    InflateAll();
    return buf_;
  }
  const std::vector<uint8_t>& Buffer() const {
    InflateAll();
    return buf_;
  }
  size_t Size() const { return Buffer().size(); }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }
  size_t Remaining() const {
    const size_t size = Size();
    return pos_ < size ? size - pos_ : 0;
  }
  // Whether n more bytes follow the position (inflating at most that far).
  bool Holds(size_t n);
  // The next n bytes in place, without moving the position; raises like a read when fewer remain.
  const uint8_t* PeekBytes(size_t n) {
    Need(n);
    return buf_.data() + pos_;
  }
  void Clear();

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

  // Nested blocks; the result is a new stream positioned at 0. The stream of a packed block
  // inflates as it is read (see above), never beyond kMaxInflatedBlock.
  std::unique_ptr<CStream> ReadStream();
  void WriteStream(CStream& src);
  std::unique_ptr<CStream> ReadStreamC();
  // Passes over a packed block and gives the size of its content, without keeping it.
  size_t MeasureStreamC();
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
  void Need(size_t n) {
    if (n > (pos_ < buf_.size() ? buf_.size() - pos_ : 0) && !InflateTo(pos_, n)) throw EStreamError();
  }
  // Inflates until `from + n` bytes are there; false when the content ends before.
  bool InflateTo(size_t from, size_t n) const;
  void InflateAll() const;

  // Content inflated so far; the rest of a packed block waits in inflation_.
  mutable std::vector<uint8_t> buf_;
  mutable std::unique_ptr<RInflation> inflation_;
  size_t pos_ = 0;
};

}  // namespace kestro
