// RValue: the one value type of the script language, a real or a string. Copies are cheap: a
// real is a plain double, and a string is a pointer to a shared, immutable, reference-counted
// byte buffer, so copying a value never copies text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/Numeric.h"

namespace kestro {

class CCode;

// Immutable UTF-8 text shared by reference count. The run-time is single-threaded, so the count
// is a plain integer. The empty string holds no buffer at all.
class RString {
 public:
  RString() = default;
  RString(std::string_view s) { rep_ = Make(s.data(), s.size()); }  // NOLINT: implicit on purpose
  RString(const char* s) : RString(std::string_view(s)) {}           // NOLINT
  RString(const RString& o) : rep_(o.rep_) {
    if (rep_) ++rep_->refs;
  }
  RString(RString&& o) noexcept : rep_(o.rep_) { o.rep_ = nullptr; }
  RString& operator=(const RString& o) {
    if (o.rep_) ++o.rep_->refs;
    Release();
    rep_ = o.rep_;
    return *this;
  }
  RString& operator=(RString&& o) noexcept {
    if (this != &o) {
      Release();
      rep_ = o.rep_;
      o.rep_ = nullptr;
    }
    return *this;
  }
  ~RString() { Release(); }

  // Two byte ranges joined into one new buffer (concatenation without a temporary).
  static RString Concat(std::string_view a, std::string_view b);
  // A buffer of n bytes to fill before the string is shared; n > 0.
  static RString Uninitialised(size_t n, char** data);
  // Appends `b`. A buffer held by this string alone grows in place, with room to spare, so building
  // a text piece by piece costs linear time; a shared buffer is never changed (the string gets a
  // copy of its own).
  void Append(std::string_view b);

  size_t size() const { return rep_ ? rep_->len : 0; }
  bool empty() const { return rep_ == nullptr; }  // every buffer holds at least one byte
  const char* data() const { return rep_ ? rep_->bytes : ""; }
  std::string_view view() const { return {data(), size()}; }
  std::string str() const { return std::string(view()); }
  bool SameBuffer(const RString& o) const { return rep_ == o.rep_; }

 private:
  struct Rep {
    uint32_t refs;
    uint32_t len;
    uint32_t cap;   // bytes the buffer can hold (at least len)
    char bytes[1];  // len bytes and a terminating zero, in a buffer of cap + 1
  };
  static Rep* Make(const char* s, size_t n);
  void Release() {
    if (rep_ && --rep_->refs == 0) ::operator delete(rep_);
    rep_ = nullptr;
  }
  Rep* rep_ = nullptr;
};

inline constexpr int32_t ty_real = 0;
inline constexpr int32_t ty_string = 1;

struct RValue {
  int32_t kind = ty_real;
  double val = 0.0;
  RString str;

  RValue() = default;
  static RValue Real(double v) {
    RValue r;
    r.val = v;
    return r;
  }
  static RValue String(RString s) {
    RValue r;
    r.kind = ty_string;
    r.str = std::move(s);
    return r;
  }
  bool IsReal() const { return kind == ty_real; }
  bool IsString() const { return kind == ty_string; }
  void SetReal(double v) {
    kind = ty_real;
    val = v;
  }
  void SetString(RString s) {
    kind = ty_string;
    str = std::move(s);
  }
};

// A real is true from 0.5 upwards; strings are never true here (consumers decide about them).
inline bool IsTrue(const RValue& v) { return v.kind == ty_real && IsTrue(v.val); }

// No string value grows beyond this many bytes: longer results of + and * are the error
// "Result string too long." rather than an allocation of any size a script asks for.
inline constexpr size_t kMaxStringLength = size_t(1) << 28;

// Ordinal comparison of two UTF-8 strings by their UTF-16 code units: negative, 0 or positive.
int CompareStrings(std::string_view a, std::string_view b);

// The operator routines shared by constant folding and the executor. `symbol` is the lexer's
// operator symbol; errors go to the code-error reporter at `position` and leave the operands
// unchanged.
bool UnaryOperation(const CCode* code, int32_t position, int32_t symbol, RValue& value);
bool BinaryOperation(const CCode* code, int32_t position, int32_t symbol, const RValue& right,
                     RValue& left);

// The text a value is shown as. False when a real cannot be shown (NaN, infinities, magnitudes
// of 2^63 and beyond); `out` then holds "ERROR".
bool DisplayString(const RValue& v, std::string& out, char decimalSeparator = '.');
std::string DisplayString(const RValue& v);

// UTF-8 <-> UTF-16 for the source text of code and for string comparison. Malformed UTF-8
// bytes become U+FFFD, one per byte.
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
void AppendUtf8(std::string& out, char32_t c);

}  // namespace kestro
