// The text form of every container: a binary record (a kind code, then the container's own
// fields) written as two upper-case hexadecimal digits per byte. A value is its kind, its real
// part and its string (a byte count and the UTF-8 bytes).
//
// Reading is all or nothing: the whole record is read into a new container first, so a text of
// another kind or a damaged one leaves the container as it was. Every count is checked against
// the bytes that are left before anything is allocated for it.
#include <new>
#include <utility>

#include "datastructures/DataStructures.h"
#include "io/Stream.h"

namespace kestro {

namespace {

// The fewest bytes a stored value takes: its kind, the real and an empty string's count.
constexpr size_t kMinValueBytes = 4 + 8 + 4;

void WriteValue(CStream& s, const RValue& v) {
  s.WriteInteger(v.kind);
  s.WriteReal(v.IsReal() ? v.val : 0.0);
  if (v.IsString())
    s.WriteString(v.str.view());
  else
    s.WriteInteger(0);
}

// Raises EStreamError on a short record or a kind that is neither real nor string.
RValue ReadValue(CStream& s) {
  const int32_t kind = s.ReadInteger();
  const double val = s.ReadReal();
  const int32_t n = s.ReadInteger();
  if (n < 0 || size_t(n) > s.Remaining()) throw EStreamError();
  if (kind == ty_real) {
    s.Skip(size_t(n));
    return RValue::Real(val);
  }
  if (kind != ty_string) throw EStreamError();
  std::string_view bytes(reinterpret_cast<const char*>(s.Buffer().data() + s.Position()), size_t(n));
  s.Skip(size_t(n));
  RValue v = RValue::String(RString(bytes));
  v.val = val;
  return v;
}

// A count of `perItem`-value items that the rest of the record can hold; raises otherwise.
size_t ReadCount(CStream& s, size_t perItem) {
  const int32_t n = s.ReadInteger();
  if (n < 0 || size_t(n) * perItem * kMinValueBytes > s.Remaining()) throw EStreamError();
  return size_t(n);
}

// Decodes the text and checks the kind code; the stream is then positioned after the code.
EDsRead Open(std::string_view text, int32_t code, CStream& s) {
  if (!s.ConvertFromString(text)) return EDsRead::kDamaged;
  if (s.Size() < 4) return EDsRead::kDamaged;
  return s.ReadInteger() == code ? EDsRead::kRead : EDsRead::kOtherKind;
}

// Runs `read` (which fills a new container from the stream) and, when it succeeds, hands the new
// container to `take`.
template <class Read>
EDsRead ReadRecord(std::string_view text, int32_t code, Read read) {
  CStream s;
  const EDsRead opened = Open(text, code, s);
  if (opened != EDsRead::kRead) return opened;
  try {
    read(s);
  } catch (const EStreamError&) {
    return EDsRead::kDamaged;
  } catch (const std::bad_alloc&) {
    return EDsRead::kDamaged;
  }
  return EDsRead::kRead;
}

std::string Finish(const CStream& s) { return s.ConvertToString(); }

// Stacks and lists share one form: the kind code, the count, the values in order.
std::string WriteArray(int32_t code, const CValueArray& values) {
  CStream s;
  s.WriteInteger(code);
  s.WriteInteger(static_cast<int32_t>(values.size()));
  for (const RValue& v : values) WriteValue(s, v);
  return Finish(s);
}

EDsRead ReadArray(std::string_view text, int32_t code, CValueArray& into) {
  return ReadRecord(text, code, [&into](CStream& s) {
    const size_t n = ReadCount(s, 1);
    CValueArray values;
    values.reserve(n);
    for (size_t i = 0; i < n; ++i) values.push_back(ReadValue(s));
    into = std::move(values);
  });
}

}  // namespace

std::string CDS_Stack::Write() const { return WriteArray(kDsStackCode, i_val); }

EDsRead CDS_Stack::Read(std::string_view text) { return ReadArray(text, kDsStackCode, i_val); }

std::string CDS_Queue::Write() const {
  CStream s;
  s.WriteInteger(kDsQueueCode);
  s.WriteInteger(i_first);
  s.WriteInteger(i_last);
  s.WriteInteger(static_cast<int32_t>(i_val.size()));
  // Slots outside the queue are stored as real 0.
  for (size_t i = 0; i < i_val.size(); ++i)
    WriteValue(s, int32_t(i) >= i_last && int32_t(i) < i_first ? i_val[i] : RValue());
  return Finish(s);
}

EDsRead CDS_Queue::Read(std::string_view text) {
  return ReadRecord(text, kDsQueueCode, [this](CStream& s) {
    const int32_t first = s.ReadInteger();
    const int32_t last = s.ReadInteger();
    std::vector<RValue> values(ReadCount(s, 1));
    // The indices must describe a part of the array.
    if (last < 0 || last > first || size_t(first) > values.size()) throw EStreamError();
    for (RValue& v : values) v = ReadValue(s);
    for (int32_t i = 0; i < int32_t(values.size()); ++i)
      if (i < last || i >= first) values[size_t(i)] = RValue();
    i_first = first;
    i_last = last;
    i_val = std::move(values);
  });
}

std::string CDS_List::Write() const { return WriteArray(kDsListCode, i_val); }

EDsRead CDS_List::Read(std::string_view text) { return ReadArray(text, kDsListCode, i_val); }

std::string CDS_Map::Write() const {
  CStream s;
  s.WriteInteger(kDsMapCode);
  s.WriteInteger(Size());
  for (const auto& [key, value] : i_pairs) WriteValue(s, key);
  for (const auto& [key, value] : i_pairs) WriteValue(s, value);
  return Finish(s);
}

EDsRead CDS_Map::Read(std::string_view text) {
  return ReadRecord(text, kDsMapCode, [this](CStream& s) {
    const size_t n = ReadCount(s, 2);
    std::vector<RValue> keys(n);
    for (RValue& k : keys) k = ReadValue(s);
    Pairs pairs;
    // Keys stored in order go in at the end at once; a key out of order goes where it belongs.
    for (size_t i = 0; i < n; ++i) pairs.emplace_hint(pairs.end(), std::move(keys[i]), ReadValue(s));
    i_pairs = std::move(pairs);
  });
}

std::string CDS_Priority::Write() const {
  CStream s;
  s.WriteInteger(kDsPriorityCode);
  s.WriteInteger(Size());
  for (const REntry& e : i_entries) WriteValue(s, e.priority);
  for (const REntry& e : i_entries) WriteValue(s, e.value);
  return Finish(s);
}

EDsRead CDS_Priority::Read(std::string_view text) {
  return ReadRecord(text, kDsPriorityCode, [this](CStream& s) {
    std::vector<REntry> entries(ReadCount(s, 2));
    for (REntry& e : entries) e.priority = ReadValue(s);
    for (REntry& e : entries) e.value = ReadValue(s);
    i_entries = std::move(entries);
    builtWith_ = -1;
  });
}

std::string CDS_Grid::Write() const {
  CStream s;
  s.WriteInteger(kDsGridCode);
  s.WriteInteger(i_w);
  s.WriteInteger(i_h);
  for (const RValue& v : i_val) WriteValue(s, v);  // column by column, as stored
  return Finish(s);
}

EDsRead CDS_Grid::Read(std::string_view text) {
  return ReadRecord(text, kDsGridCode, [this](CStream& s) {
    const int32_t w = s.ReadInteger();
    const int32_t h = s.ReadInteger();
    if (w < 0 || h < 0) throw EStreamError();
    const uint64_t cells = uint64_t(w) * uint64_t(h);
    if (cells > uint64_t(kMaxCells) || cells * kMinValueBytes > s.Remaining()) throw EStreamError();
    std::vector<RValue> values(static_cast<size_t>(cells));
    for (RValue& v : values) v = ReadValue(s);
    i_w = w;
    i_h = h;
    i_val = std::move(values);
  });
}

}  // namespace kestro
