#include "script/Value.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "script/CodeError.h"
#include "script/Symbols.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// RString

RString::Rep* RString::Make(const char* s, size_t n) {
  if (n == 0) return nullptr;
  char* d = nullptr;
  RString tmp = Uninitialised(n, &d);
  std::memcpy(d, s, n);
  Rep* r = tmp.rep_;
  tmp.rep_ = nullptr;
  return r;
}

RString RString::Uninitialised(size_t n, char** data) {
  // Lengths are 32-bit; anything larger is a runaway computation, not text.
  if (n > std::numeric_limits<uint32_t>::max() - 16) throw std::bad_alloc();
  Rep* r = static_cast<Rep*>(::operator new(offsetof(Rep, bytes) + n + 1));
  r->refs = 1;
  r->len = static_cast<uint32_t>(n);
  r->cap = static_cast<uint32_t>(n);
  r->bytes[n] = 0;
  RString s;
  s.rep_ = r;
  *data = r->bytes;
  return s;
}

void RString::Append(std::string_view b) {
  if (b.empty()) return;
  const size_t old = size();
  const size_t n = old + b.size();
  constexpr size_t kLimit = std::numeric_limits<uint32_t>::max() - 16;
  if (n > kLimit) throw std::bad_alloc();
  if (rep_ && rep_->refs == 1 && n <= rep_->cap) {
    std::memcpy(rep_->bytes + old, b.data(), b.size());
    rep_->len = static_cast<uint32_t>(n);
    rep_->bytes[n] = 0;
    return;
  }
  const size_t cap = std::min(kLimit, std::max(n + n / 2, old * 2));
  Rep* r = static_cast<Rep*>(::operator new(offsetof(Rep, bytes) + cap + 1));
  r->refs = 1;
  r->len = static_cast<uint32_t>(n);
  r->cap = static_cast<uint32_t>(cap);
  if (old) std::memcpy(r->bytes, rep_->bytes, old);
  std::memcpy(r->bytes + old, b.data(), b.size());  // `b` may lie in the old buffer: still held
  r->bytes[n] = 0;
  Release();
  rep_ = r;
}

RString RString::Concat(std::string_view a, std::string_view b) {
  if (a.empty()) return RString(b);
  if (b.empty()) return RString(a);
  char* d = nullptr;
  RString s = Uninitialised(a.size() + b.size(), &d);
  std::memcpy(d, a.data(), a.size());
  std::memcpy(d + a.size(), b.data(), b.size());
  return s;
}

// ---------------------------------------------------------------------------------------------
// Numbers (Numeric.h)

int64_t RoundToInt64Slow(double v) {
  if (std::isnan(v)) return 0;
  double r = std::nearbyint(v);
  if (r >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
  if (r < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

// ---------------------------------------------------------------------------------------------
// UTF-8 and UTF-16

namespace {

// Decodes one character at s[i]; advances i. Malformed input gives U+FFFD for one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int n = 0;
  char32_t cp = 0, min = 0;
  if ((c & 0xE0) == 0xC0) {
    n = 1, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    n = 2, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    n = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + n >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (int k = 1; k <= n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return 0xFFFD;
  }
  i += n + 1;
  return cp;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) AppendUtf16(out, DecodeUtf8(s, i));
  return out;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    AppendUtf8(out, c);
  }
  return out;
}

int CompareStrings(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  // Where the first difference is plain ASCII (or one string simply ends before an ASCII
  // character), byte order is code-unit order; only other cases need decoding.
  auto ascii = [](std::string_view s, size_t k) {
    return k >= s.size() || static_cast<unsigned char>(s[k]) < 0x80;
  };
  if (ascii(a, i) && ascii(b, i)) {
    if (i == a.size() && i == b.size()) return 0;
    if (i == a.size()) return -1;
    if (i == b.size()) return 1;
    return static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
  }
  std::u16string ua = Utf8ToUtf16(a), ub = Utf8ToUtf16(b);
  size_t m = ua.size() < ub.size() ? ua.size() : ub.size();
  for (size_t k = 0; k < m; ++k)
    if (ua[k] != ub[k]) return static_cast<int>(ua[k]) - static_cast<int>(ub[k]);
  if (ua.size() == ub.size()) return 0;
  return ua.size() < ub.size() ? -1 : 1;
}

// ---------------------------------------------------------------------------------------------
// Operators

bool UnaryOperation(const CCode* code, int32_t position, int32_t symbol, RValue& value) {
  if (value.kind != ty_real) {
    ReportCodeError(code, position, "Wrong type of arguments to unary operator.");
    return false;
  }
  switch (symbol) {
    case sym_not: value.val = IsTrue(value.val) ? 0.0 : 1.0; return true;
    case sym_plus: return true;
    case sym_minus: value.val = -value.val; return true;
    case sym_bitnot: value.val = static_cast<double>(~RoundToInt64(value.val)); return true;
    default:
      ReportCodeError(code, position, "Wrong type of arguments to unary operator.");
      return false;
  }
}

namespace {

bool Fail(const CCode* code, int32_t position, const char* message) {
  ReportCodeError(code, position, message);
  return false;
}

int64_t ShiftCount(double r) { return RoundToInt64(r) & 0xFF; }

bool Compare(int32_t symbol, double d) {
  switch (symbol) {
    case sym_assign:
    case sym_eq: return RealEqual(d);
    case sym_ne: return RealNotEqual(d);
    case sym_lt: return RealLess(d);
    case sym_le: return RealLessEqual(d);
    case sym_gt: return RealGreater(d);
    case sym_ge: return RealGreaterEqual(d);
    default: return false;
  }
}

}  // namespace

bool BinaryOperation(const CCode* code, int32_t position, int32_t symbol, const RValue& right,
                     RValue& left) {
  const bool reals = left.kind == ty_real && right.kind == ty_real;
  const double l = left.val, r = right.val;
  switch (symbol) {
    case sym_plus:
      if (reals) {
        left.val = l + r;
        return true;
      }
      if (left.kind == ty_string && right.kind == ty_string) {
        if (left.str.size() + right.str.size() > kMaxStringLength)
          return Fail(code, position, "Result string too long.");
        left.str = RString::Concat(left.str.view(), right.str.view());
        return true;
      }
      return Fail(code, position, "Wrong type of arguments to +.");
    case sym_minus:
      if (!reals) return Fail(code, position, "Wrong type of arguments to -.");
      left.val = l - r;
      return true;
    case sym_times:
      if (reals) {
        left.val = l * r;
        return true;
      }
      if (left.kind == ty_real && right.kind == ty_string) {
        int64_t n = RoundToInt64(l);
        size_t len = right.str.size();
        if (n <= 0 || len == 0) {
          left.SetString(RString());
          return true;
        }
        if (static_cast<uint64_t>(n) > kMaxStringLength / len)
          return Fail(code, position, "Result string too long.");
        char* d = nullptr;
        RString s = RString::Uninitialised(len * static_cast<size_t>(n), &d);
        for (int64_t k = 0; k < n; ++k) std::memcpy(d + k * len, right.str.data(), len);
        left.SetString(std::move(s));
        return true;
      }
      return Fail(code, position, "Wrong type of arguments to *.");
    case sym_divide:
      if (!reals) return Fail(code, position, "Wrong type of arguments to /.");
      if (r == 0) return Fail(code, position, "Division by 0.");
      left.val = l / r;
      return true;
    case sym_div:
      if (!reals) return Fail(code, position, "Wrong type of arguments to div.");
      if (r == 0) return Fail(code, position, "Division by 0.");
      left.val = IntegerDivide(l, r);
      return true;
    case sym_mod: {
      if (!reals) return Fail(code, position, "Wrong type of arguments to mod.");
      if (r == 0) return Fail(code, position, "Modulo by 0.");
      left.val = Modulo(l, r);
      return true;
    }
    case sym_and:
      if (!reals) return Fail(code, position, "Wrong type of arguments for &&.");
      left.val = (IsTrue(l) && IsTrue(r)) ? 1.0 : 0.0;
      return true;
    case sym_or:
      if (!reals) return Fail(code, position, "Wrong type of arguments for ||.");
      left.val = (IsTrue(l) || IsTrue(r)) ? 1.0 : 0.0;
      return true;
    case sym_xor:
      if (!reals) return Fail(code, position, "Wrong type of arguments for ^^.");
      left.val = (IsTrue(l) != IsTrue(r)) ? 1.0 : 0.0;
      return true;
    case sym_bitor:
      if (!reals) return Fail(code, position, "Wrong type of arguments for |.");
      left.val = static_cast<double>(RoundToInt64(l) | RoundToInt64(r));
      return true;
    case sym_bitand:
      if (!reals) return Fail(code, position, "Wrong type of arguments for &.");
      left.val = static_cast<double>(RoundToInt64(l) & RoundToInt64(r));
      return true;
    case sym_bitxor:
      if (!reals) return Fail(code, position, "Wrong type of arguments for ^.");
      left.val = static_cast<double>(RoundToInt64(l) ^ RoundToInt64(r));
      return true;
    case sym_shl: {
      if (!reals) return Fail(code, position, "Wrong type of arguments for <<.");
      int64_t n = ShiftCount(r);
      uint64_t v = static_cast<uint64_t>(RoundToInt64(l));
      left.val = n >= 64 ? 0.0 : static_cast<double>(static_cast<int64_t>(v << n));
      return true;
    }
    case sym_shr: {
      if (!reals) return Fail(code, position, "Wrong type of arguments for >>.");
      int64_t n = ShiftCount(r);
      uint64_t v = static_cast<uint64_t>(RoundToInt64(l));
      // The shifted quantity is unsigned, but the language reads the result back as signed.
      left.val = n >= 64 ? 0.0 : static_cast<double>(static_cast<int64_t>(v >> n));
      return true;
    }
    case sym_assign:
    case sym_eq:
    case sym_ne:
    case sym_lt:
    case sym_le:
    case sym_gt:
    case sym_ge: {
      double d;
      if (reals) {
        d = l - r;
      } else if (left.kind == ty_string && right.kind == ty_string) {
        d = CompareStrings(left.str.view(), right.str.view());
      } else {
        return Fail(code, position, "Cannot compare arguments.");
      }
      left.SetReal(Compare(symbol, d) ? 1.0 : 0.0);
      return true;
    }
    default:
      return Fail(code, position, "Wrong type of arguments to +.");
  }
}

// ---------------------------------------------------------------------------------------------
// Display form

bool DisplayString(const RValue& v, std::string& out, char decimalSeparator) {
  if (v.kind == ty_string) {
    out = v.str.str();
    return true;
  }
  double x = v.val;
  if (!std::isfinite(x) || std::fabs(x) >= 9223372036854775808.0) {
    out = "ERROR";
    return false;
  }
  int64_t n = RoundToInt64(x);
  char buf[64];
  if (static_cast<double>(n) == x) {
    std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(n));
    out = buf;
    return true;
  }
  // Ten significant digits as a decimal digit string, then rounded half up to two decimals.
  std::snprintf(buf, sizeof buf, "%.9e", x);
  bool neg = buf[0] == '-';
  const char* p = buf + (neg ? 1 : 0);
  std::string digits;
  digits.push_back(p[0]);
  for (const char* q = p + 2; *q && *q != 'e'; ++q) digits.push_back(*q);
  int exp10 = std::atoi(std::strchr(p, 'e') + 1);
  if (exp10 >= 10) {
    // More than ten integer digits: exponent notation, trailing zeros dropped.
    std::string m = digits.substr(0, 1);
    std::string frac = digits.substr(1);
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    out = neg ? "-" : "";
    out += m;
    if (!frac.empty()) {
      out += decimalSeparator;
      out += frac;
    }
    out += "E" + std::to_string(exp10);
    return true;
  }
  // Fixed form: the value is digits * 10^(exp10 - 9). Keep the digits down to the hundredths.
  int keep = exp10 + 1 + 2;  // digits in front of the point plus two decimals
  std::string fixed;         // the digits of round(|x| * 100)
  if (keep <= 0) {
    fixed = (keep == 0 && digits[0] >= '5') ? "1" : "0";
  } else {
    fixed = digits.substr(0, static_cast<size_t>(keep));
    if (fixed.size() < static_cast<size_t>(keep)) fixed.append(static_cast<size_t>(keep) - fixed.size(), '0');
    if (static_cast<size_t>(keep) < digits.size() && digits[static_cast<size_t>(keep)] >= '5') {
      int k = static_cast<int>(fixed.size()) - 1;
      while (k >= 0 && fixed[static_cast<size_t>(k)] == '9') fixed[static_cast<size_t>(k--)] = '0';
      if (k < 0)
        fixed.insert(fixed.begin(), '1');
      else
        ++fixed[static_cast<size_t>(k)];
    }
  }
  while (fixed.size() < 3) fixed.insert(fixed.begin(), '0');
  bool zero = fixed.find_first_not_of('0') == std::string::npos;
  out = (neg && !zero) ? "-" : "";
  out += fixed.substr(0, fixed.size() - 2);
  out += decimalSeparator;
  out += fixed.substr(fixed.size() - 2);
  return true;
}

std::string DisplayString(const RValue& v) {
  std::string s;
  DisplayString(v, s);
  return s;
}

}  // namespace kestro
