#include "script/builtins/MathFunctions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "script/Utf8.h"
#include "script/Value.h"
#include "script/builtins/BuiltinError.h"
#include "script/builtins/BuiltinArgs.h"
#include "script/builtins/Bindings.h"
#include "script/builtins/FunctionRegistry.h"
#include "script/builtins/Random.h"

namespace kestro {

// ---------------------------------------------------------------------------------------------
// Shared conversions

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
}  // namespace

bool ParseReal(std::string_view t, double& out) {
  out = 0;
  size_t b = 0, e = t.size();
  while (b < e && static_cast<unsigned char>(t[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(t[e - 1]) <= ' ') --e;
  t = t.substr(b, e - b);
  if (t.empty()) return true;

  // Check the whole shape first; the digits are then converted in one go.
  const size_t n = t.size();
  size_t i = 0;
  bool neg = false;
  if (t[i] == '+' || t[i] == '-') neg = t[i++] == '-';
  const size_t mantissa = i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < n && IsDigit(t[i])) ++i, ++intDigits;
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && IsDigit(t[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  const size_t mantissaEnd = i;
  long exponent = 0;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
    size_t digits = 0;
    while (i < n && IsDigit(t[i])) {
      if (exponent < 100000) exponent = exponent * 10 + (t[i] - '0');
      ++i, ++digits;
    }
    if (digits == 0) return false;
    if (eneg) exponent = -exponent;
  }
  if (i != n) return false;

  double v = 0;
  auto [ptr, ec] = std::from_chars(t.data() + mantissa, t.data() + n, v);
  if (ec == std::errc::result_out_of_range) {
    // Too small underflows to 0; too large is not a number we can hold. The first non-zero digit
    // tells which.
    long place = static_cast<long>(intDigits) - 1;
    long magnitude = 0;
    for (size_t k = mantissa; k < mantissaEnd; ++k) {
      if (t[k] == '.') continue;
      if (t[k] != '0') {
        magnitude = exponent + place;
        break;
      }
      --place;
    }
    if (magnitude > 0) return false;
    v = 0;
  } else if (ec != std::errc() || ptr != t.data() + n) {
    return false;
  }
  out = neg ? -v : v;
  return true;
}

bool FormatFixed(double value, int32_t dec, std::string& out) {
  if (!std::isfinite(value)) {
    out = "ERROR";
    return false;
  }
  dec = std::clamp(dec, 0, 18);
  char buf[80];
  std::snprintf(buf, sizeof buf, "%.17e", value);  // the 18 significant digits we may show
  const bool neg = buf[0] == '-';
  const char* p = buf + (neg ? 1 : 0);
  const int exp10 = std::atoi(std::strchr(p, 'e') + 1);
  if (value != 0 && exp10 + 1 + dec > 18) {
    // More digits asked than are significant: the 18 digits, then zeros. Here exp10 >= 0.
    std::string digits;
    digits.push_back(p[0]);
    for (const char* q = p + 2; *q != 'e'; ++q) digits.push_back(*q);
    const int intDigits = exp10 + 1;
    out = neg ? "-" : "";
    if (intDigits >= 18) {
      out += digits;
      out.append(static_cast<size_t>(intDigits - 18), '0');
      if (dec > 0) {
        out += '.';
        out.append(static_cast<size_t>(dec), '0');
      }
    } else {
      out += digits.substr(0, static_cast<size_t>(intDigits));
      out += '.';
      std::string frac = digits.substr(static_cast<size_t>(intDigits));
      frac.resize(static_cast<size_t>(dec), '0');
      out += frac;
    }
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(dec), value);
    out = buf;
  }
  // A value that rounds to zero is shown without a sign.
  if (!out.empty() && out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) out.erase(0, 1);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The routines.

namespace {


constexpr double kDegToRad = 0.017453292519943295769;
constexpr double kRadToDeg = 57.295779513082320877;


// A result that must be a finite number, or the function's error and 0.
void Checked(RValue& r, double v, const char* name) {
  if (std::isfinite(v)) {
    r.SetReal(v);
  } else {
    FunctionError(name);
    r.SetReal(0);
  }
}


// A string result that may grow with its arguments: refused beyond the size limit.
bool CheckSize(uint64_t size, RValue& r, const char* name) {
  if (size <= kMaxStringBytes) return true;
  FunctionError(name);
  r.SetString(RString());
  return false;
}

int64_t Rounded(const RValue& v) { return RoundToInt64(v.val); }

// Floor to a 64-bit integer, kept well inside the range so later sums cannot overflow.
int64_t FloorToInt64(double x) {
  if (std::isnan(x)) return 0;
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  x = std::floor(x);
  if (x >= kLimit) return int64_t{1} << 62;
  if (x <= -kLimit) return -(int64_t{1} << 62);
  return static_cast<int64_t>(x);
}

// Types and random numbers

KESTRO_BUILTIN(F_is_real) { r.SetReal(a[0].kind == ty_real ? 1 : 0); }
KESTRO_BUILTIN(F_is_string) { r.SetReal(a[0].kind == ty_string ? 1 : 0); }
KESTRO_BUILTIN(F_random) { r.SetReal(RandomReal() * a[0].val); }
KESTRO_BUILTIN(F_random_range) {
  const double x1 = a[0].val, x2 = a[1].val;
  r.SetReal(x1 + RandomReal() * (x2 - x1));
}
// A negative or reversed range draws from the same values as the range the right way round.
KESTRO_BUILTIN(F_irandom) { r.SetReal(static_cast<double>(RandomIntegerRange(0, FloorToInt64(a[0].val)))); }
KESTRO_BUILTIN(F_irandom_range) {
  r.SetReal(static_cast<double>(RandomIntegerRange(FloorToInt64(a[0].val), FloorToInt64(a[1].val))));
}
KESTRO_BUILTIN(F_random_set_seed) {
  RandomSetSeed(static_cast<uint32_t>(static_cast<uint64_t>(Rounded(a[0]))));
  r.SetReal(0);
}
KESTRO_BUILTIN(F_random_get_seed) { r.SetReal(static_cast<int32_t>(RandomGetSeed())); }
KESTRO_BUILTIN(F_randomize) {
  RandomizeSeed();
  r.SetReal(0);
}

// Rounding and arithmetic

KESTRO_BUILTIN(F_abs) { r.SetReal(std::fabs(a[0].val)); }
KESTRO_BUILTIN(F_round) { r.SetReal(static_cast<double>(Rounded(a[0]))); }
// Integral results; values beyond the 32-bit range keep their exact floor or ceiling.
KESTRO_BUILTIN(F_floor) { r.SetReal(std::isnan(a[0].val) ? 0 : std::floor(a[0].val)); }
KESTRO_BUILTIN(F_ceil) { r.SetReal(std::isnan(a[0].val) ? 0 : std::ceil(a[0].val) + 0.0); }  // no -0
KESTRO_BUILTIN(F_sign) {
  const double x = a[0].val;
  r.SetReal(x <= -kCompareTolerance ? -1 : (x < kCompareTolerance ? 0 : 1));
}
KESTRO_BUILTIN(F_frac) { r.SetReal(a[0].val - std::trunc(a[0].val)); }
KESTRO_BUILTIN(F_sqrt) {
  if (a[0].val < 0) {
    ReportBuiltinError("Cannot apply sqrt to negative number.");
    r.SetReal(0);
    return;
  }
  r.SetReal(std::sqrt(a[0].val));
}
KESTRO_BUILTIN(F_sqr) { r.SetReal(a[0].val * a[0].val); }
KESTRO_BUILTIN(F_exp) { Checked(r, std::exp(a[0].val), "exp"); }
KESTRO_BUILTIN(F_ln) { Checked(r, std::log(a[0].val), "ln"); }
KESTRO_BUILTIN(F_log2) { Checked(r, std::log2(a[0].val), "log2"); }
KESTRO_BUILTIN(F_log10) { Checked(r, std::log10(a[0].val), "log10"); }
KESTRO_BUILTIN(F_sin) { r.SetReal(std::sin(a[0].val)); }
KESTRO_BUILTIN(F_cos) { r.SetReal(std::cos(a[0].val)); }
KESTRO_BUILTIN(F_tan) { r.SetReal(std::tan(a[0].val)); }
KESTRO_BUILTIN(F_arcsin) { Checked(r, std::asin(a[0].val), "arcsin"); }
KESTRO_BUILTIN(F_arccos) { Checked(r, std::acos(a[0].val), "arccos"); }
KESTRO_BUILTIN(F_arctan) { Checked(r, std::atan(a[0].val), "arctan"); }
KESTRO_BUILTIN(F_arctan2) { Checked(r, std::atan2(a[0].val, a[1].val), "arctan2"); }
KESTRO_BUILTIN(F_degtorad) { r.SetReal(a[0].val * kDegToRad); }
KESTRO_BUILTIN(F_radtodeg) { r.SetReal(a[0].val * kRadToDeg); }
KESTRO_BUILTIN(F_power) { Checked(r, std::pow(a[0].val, a[1].val), "power"); }
KESTRO_BUILTIN(F_logn) { Checked(r, std::log(a[1].val) / std::log(a[0].val), "logn"); }

// Minimum, maximum, mean, median

// The result keeps the kind of the first argument; a later argument that wins the comparison
// gives it its number (real result) or its text (string result).
void Extreme(int32_t argc, RValue& r, const RValue* a, bool wantSmaller) {
  if (argc <= 0) {
    r.SetReal(0);
    return;
  }
  RValue best = a[0];
  for (int32_t i = 1; i < argc; ++i) {
    if (best.kind == ty_real) {
      if (wantSmaller ? a[i].val < best.val : a[i].val > best.val) best.val = a[i].val;
    } else {
      const int c = CompareStrings(a[i].str.view(), best.str.view());
      if (wantSmaller ? c < 0 : c > 0) best.str = a[i].str;
    }
  }
  r = best;
}

KESTRO_BUILTIN(F_min) { Extreme(argc, r, a, true); }
KESTRO_BUILTIN(F_max) { Extreme(argc, r, a, false); }
KESTRO_BUILTIN(F_min3) { Extreme(3, r, a, true); }
KESTRO_BUILTIN(F_max3) { Extreme(3, r, a, false); }
KESTRO_BUILTIN(F_mean) {
  if (argc <= 0) {
    r.SetReal(0);
    return;
  }
  double sum = 0;
  for (int32_t i = 0; i < argc; ++i) sum += a[i].val;
  r.SetReal(sum / argc);
}
KESTRO_BUILTIN(F_median) {
  // The first argument with fewer than half the arguments below it and at least half at or below
  // it: the lower middle value for an even count.
  for (int32_t i = 0; i < argc; ++i) {
    int32_t below = 0, atOrBelow = 0;
    for (int32_t j = 0; j < argc; ++j) {
      if (a[j].val < a[i].val) ++below;
      if (a[j].val <= a[i].val) ++atOrBelow;
    }
    if (2 * below < argc && 2 * atOrBelow >= argc) {
      r.SetReal(a[i].val);
      return;
    }
  }
  r.SetReal(0);  // no arguments (or NaNs everywhere)
}
KESTRO_BUILTIN(F_choose) {
  if (argc <= 0) {
    r.SetReal(0);
    return;
  }
  r = a[RandomBelow(static_cast<uint64_t>(std::min(argc, 16)))];
}

// Conversions

KESTRO_BUILTIN(F_real) {
  if (a[0].kind == ty_real) {
    r.SetReal(a[0].val);
    return;
  }
  double v = 0;
  if (!ParseReal(a[0].str.view(), v)) {
    FunctionError("real");
    v = 0;
  }
  r.SetReal(v);
}
KESTRO_BUILTIN(F_string) {
  if (a[0].kind == ty_string) {
    r.SetString(a[0].str);
    return;
  }
  std::string s;
  DisplayString(a[0], s, '.');  // "ERROR" when the number cannot be shown
  SetText(r, s);
}
KESTRO_BUILTIN(F_string_format) {
  std::string s;
  if (a[0].kind == ty_string)
    s = a[0].str.str();
  else
    FormatFixed(a[0].val, static_cast<int32_t>(std::clamp<int64_t>(Rounded(a[2]), 0, 18)), s);
  const int64_t tot = Rounded(a[1]);
  if (tot > static_cast<int64_t>(s.size())) {
    if (!CheckSize(static_cast<uint64_t>(tot), r, "string_format")) return;
    s.insert(0, static_cast<size_t>(tot) - s.size(), ' ');
  }
  SetText(r, s);
}

// Code points of the bytes 0x80 to 0x9F in the Western code page; the rest of the upper half
// maps to the same code points. Unassigned bytes keep their own code, as the system does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

KESTRO_BUILTIN(F_chr) {
  const unsigned char b = static_cast<unsigned char>(static_cast<uint64_t>(Rounded(a[0])) & 0xFF);
  std::string s;
  if (b < 0x80) {
    s.push_back(static_cast<char>(b));
  } else {
    AppendUtf8(s, b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b});
  }
  SetText(r, s);
}
KESTRO_BUILTIN(F_ansi_char) {
  const char b = static_cast<char>(static_cast<uint64_t>(Rounded(a[0])) & 0xFF);
  SetText(r, std::string_view(&b, 1));
}
KESTRO_BUILTIN(F_ord) {
  std::string_view s = a[0].str.view();
  r.SetReal(s.empty() ? 0 : static_cast<unsigned char>(s[0]));
}

// Strings: positions are 1-based byte positions.

KESTRO_BUILTIN(F_string_length) { r.SetReal(static_cast<double>(Utf8CharCount(a[0].str.view()))); }
KESTRO_BUILTIN(F_string_pos) {
  std::string_view sub = a[0].str.view(), s = a[1].str.view();
  size_t at = sub.empty() ? std::string_view::npos : s.find(sub);
  r.SetReal(at == std::string_view::npos ? 0 : static_cast<double>(at + 1));
}
KESTRO_BUILTIN(F_string_copy) {
  const RString src = a[0].str;  // the result may be one of the arguments
  std::string_view s = src.view();
  int64_t index = std::max<int64_t>(Rounded(a[1]), 1);
  const int64_t count = Rounded(a[2]);
  const int64_t len = static_cast<int64_t>(s.size());
  if (index > len || count <= 0) {
    r.SetString(RString());
    return;
  }
  SetText(r, s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, len - index + 1))));
}
KESTRO_BUILTIN(F_string_char_at) {
  const RString src = a[0].str;
  std::string_view s = src.view();
  const int64_t index = Rounded(a[1]);
  if (index < 1 || index > static_cast<int64_t>(s.size())) {
    r.SetString(RString());  // no byte there
    return;
  }
  SetText(r, s.substr(static_cast<size_t>(index - 1), 1));
}
KESTRO_BUILTIN(F_string_delete) {
  const RString src = a[0].str;
  std::string_view s = src.view();
  const int64_t index = Rounded(a[1]), count = Rounded(a[2]);
  const int64_t len = static_cast<int64_t>(s.size());
  if (index < 1 || index > len || count <= 0) {
    r.SetString(src);
    return;
  }
  std::string out(s.substr(0, static_cast<size_t>(index - 1)));
  const int64_t end = index - 1 + std::min(count, len - index + 1);
  out += s.substr(static_cast<size_t>(end));
  SetText(r, out);
}
KESTRO_BUILTIN(F_string_insert) {
  const RString sub = a[0].str, src = a[1].str;
  std::string_view s = src.view();
  if (!CheckSize(uint64_t{sub.size()} + s.size(), r, "string_insert")) return;
  const int64_t index = std::clamp<int64_t>(Rounded(a[2]), 1, static_cast<int64_t>(s.size()) + 1);
  std::string out(s.substr(0, static_cast<size_t>(index - 1)));
  out += sub.view();
  out += s.substr(static_cast<size_t>(index - 1));
  SetText(r, out);
}
KESTRO_BUILTIN(F_string_lower) {
  std::string s = a[0].str.str();
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  SetText(r, s);
}
KESTRO_BUILTIN(F_string_upper) {
  std::string s = a[0].str.str();
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  SetText(r, s);
}
KESTRO_BUILTIN(F_string_repeat) {
  const RString src = a[0].str;
  const int64_t n = Rounded(a[1]);
  if (n <= 0 || src.empty()) {
    r.SetString(RString());
    return;
  }
  // n may be huge: compare as a division so the product cannot overflow.
  if (static_cast<uint64_t>(n) > kMaxStringBytes / src.size()) {
    CheckSize(kMaxStringBytes + 1, r, "string_repeat");
    return;
  }
  std::string out;
  out.reserve(src.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) out += src.view();
  SetText(r, out);
}

template <typename Keep>
void Filter(RValue& r, const RValue& v, Keep keep) {
  std::string out;
  for (char c : v.str.view())
    if (keep(c)) out.push_back(c);
  SetText(r, out);
}
KESTRO_BUILTIN(F_string_letters) { Filter(r, a[0], IsLetter); }
KESTRO_BUILTIN(F_string_digits) { Filter(r, a[0], IsDigit); }
KESTRO_BUILTIN(F_string_lettersdigits) {
  Filter(r, a[0], [](char c) { return IsLetter(c) || IsDigit(c); });
}

// Replaces the first (or every) non-overlapping occurrence, scanning from the left.
void Replace(RValue& r, const RValue* a, bool all, const char* name) {
  const RString src = a[0].str, from = a[1].str, to = a[2].str;
  std::string_view s = src.view(), old = from.view(), rep = to.view();
  if (old.empty()) {
    r.SetString(src);
    return;
  }
  uint64_t hits = 0;
  for (size_t at = s.find(old); at != std::string_view::npos; at = s.find(old, at + old.size())) {
    ++hits;
    if (!all) break;
  }
  if (hits == 0) {
    r.SetString(src);
    return;
  }
  if (!CheckSize(s.size() - hits * old.size() + hits * rep.size(), r, name)) return;
  std::string out;
  size_t pos = 0;
  for (size_t at = s.find(old); at != std::string_view::npos; at = s.find(old, pos)) {
    out += s.substr(pos, at - pos);
    out += rep;
    pos = at + old.size();
    if (!all) break;
  }
  out += s.substr(pos);
  SetText(r, out);
}
KESTRO_BUILTIN(F_string_replace) { Replace(r, a, false, "string_replace"); }
KESTRO_BUILTIN(F_string_replace_all) { Replace(r, a, true, "string_replace_all"); }
KESTRO_BUILTIN(F_string_count) {
  std::string_view sub = a[0].str.view(), s = a[1].str.view();
  double count = 0;
  if (!sub.empty())
    for (size_t at = s.find(sub); at != std::string_view::npos; at = s.find(sub, at + sub.size())) ++count;
  r.SetReal(count);
}

// Vectors: degrees counter-clockwise on a screen whose y grows downwards.

// A zero-length vector has no direction; its dot product is taken as 0.
double Cosine(double dot, double lengths) { return lengths == 0 ? 0 : dot / lengths; }

KESTRO_BUILTIN(F_dot_product) {
  const double x1 = a[0].val, y1 = a[1].val, x2 = a[2].val, y2 = a[3].val;
  r.SetReal(Cosine(x1 * x2 + y1 * y2, std::sqrt(x1 * x1 + y1 * y1) * std::sqrt(x2 * x2 + y2 * y2)));
}
KESTRO_BUILTIN(F_dot_product_3d) {
  const double x1 = a[0].val, y1 = a[1].val, z1 = a[2].val, x2 = a[3].val, y2 = a[4].val, z2 = a[5].val;
  r.SetReal(Cosine(x1 * x2 + y1 * y2 + z1 * z2,
                   std::sqrt(x1 * x1 + y1 * y1 + z1 * z1) * std::sqrt(x2 * x2 + y2 * y2 + z2 * z2)));
}
KESTRO_BUILTIN(F_point_distance_3d) {
  const double dx = a[3].val - a[0].val, dy = a[4].val - a[1].val, dz = a[5].val - a[2].val;
  r.SetReal(std::sqrt(dx * dx + dy * dy + dz * dz));
}
KESTRO_BUILTIN(F_point_distance) {
  const double dx = a[2].val - a[0].val, dy = a[3].val - a[1].val;
  r.SetReal(std::sqrt(dx * dx + dy * dy));
}
KESTRO_BUILTIN(F_point_direction) {
  const double dx = a[2].val - a[0].val, dy = a[3].val - a[1].val;
  if (dx == 0) {
    r.SetReal(dy > 0 ? 270 : (dy < 0 ? 90 : 0));
    return;
  }
  const double deg = std::atan2(dy, dx) * kRadToDeg;
  r.SetReal(deg > 0 ? 360 - deg : -deg);
}
// Snaps values within 0.0001 of an integer to it, so right angles give exact zeros.
double Snap(double v) {
  const double n = std::round(v);
  return std::fabs(v - n) < 0.0001 ? n : v;
}
KESTRO_BUILTIN(F_lengthdir_x) { r.SetReal(Snap(a[0].val * std::cos(a[1].val * kDegToRad))); }
KESTRO_BUILTIN(F_lengthdir_y) { r.SetReal(Snap(-a[0].val * std::sin(a[1].val * kDegToRad))); }


constexpr RBinding kMathFunctions[] = {
    {"is_real", F_is_real},
    {"is_string", F_is_string},
    {"random", F_random},
    {"random_range", F_random_range},
    {"irandom", F_irandom},
    {"irandom_range", F_irandom_range},
    {"random_set_seed", F_random_set_seed},
    {"random_get_seed", F_random_get_seed},
    {"randomize", F_randomize},
    {"abs", F_abs},
    {"round", F_round},
    {"floor", F_floor},
    {"ceil", F_ceil},
    {"sign", F_sign},
    {"frac", F_frac},
    {"sqrt", F_sqrt},
    {"sqr", F_sqr},
    {"exp", F_exp},
    {"ln", F_ln},
    {"log2", F_log2},
    {"log10", F_log10},
    {"sin", F_sin},
    {"cos", F_cos},
    {"tan", F_tan},
    {"arcsin", F_arcsin},
    {"arccos", F_arccos},
    {"arctan", F_arctan},
    {"arctan2", F_arctan2},
    {"degtorad", F_degtorad},
    {"radtodeg", F_radtodeg},
    {"power", F_power},
    {"logn", F_logn},
    {"min", F_min},
    {"max", F_max},
    {"min3", F_min3},
    {"max3", F_max3},
    {"mean", F_mean},
    {"median", F_median},
    {"choose", F_choose},
    {"real", F_real},
    {"string", F_string},
    {"string_format", F_string_format},
    {"chr", F_chr},
    {"ansi_char", F_ansi_char},
    {"ord", F_ord},
    {"string_length", F_string_length},
    {"string_pos", F_string_pos},
    {"string_copy", F_string_copy},
    {"string_char_at", F_string_char_at},
    {"string_delete", F_string_delete},
    {"string_insert", F_string_insert},
    {"string_lower", F_string_lower},
    {"string_upper", F_string_upper},
    {"string_repeat", F_string_repeat},
    {"string_letters", F_string_letters},
    {"string_digits", F_string_digits},
    {"string_lettersdigits", F_string_lettersdigits},
    {"string_replace", F_string_replace},
    {"string_replace_all", F_string_replace_all},
    {"string_count", F_string_count},
    {"dot_product", F_dot_product},
    {"dot_product_3d", F_dot_product_3d},
    {"point_distance_3d", F_point_distance_3d},
    {"point_distance", F_point_distance},
    {"point_direction", F_point_direction},
    {"lengthdir_x", F_lengthdir_x},
    {"lengthdir_y", F_lengthdir_y},
};

}  // namespace

RBindingTable MathFunctions() { return kMathFunctions; }

}  // namespace kestro
