#include "script/Lexer.h"

#include <cstring>
#include <string_view>

#include "script/CodeError.h"
#include "script/NameLookup.h"
#include "script/Symbols.h"
#include "script/Variables.h"

namespace kestro {

namespace {

inline bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_'; }
inline bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
inline bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

struct Keyword {
  const char* text;
  int32_t symbol;
};
constexpr Keyword kKeywords[] = {
    {"begin", sym_begin},   {"end", sym_endblock}, {"if", sym_if},
    {"then", sym_then},     {"else", sym_else},    {"while", sym_while},
    {"do", sym_do},         {"for", sym_for},      {"until", sym_until},
    {"repeat", sym_repeat}, {"exit", sym_exit},    {"break", sym_break},
    {"continue", sym_continue}, {"with", sym_with}, {"return", sym_return},
    {"switch", sym_switch}, {"case", sym_case},    {"default", sym_default},
    {"var", sym_var},       {"globalvar", sym_globalvar}, {"and", sym_and},
    {"or", sym_or},         {"not", sym_not},      {"div", sym_div},
    {"mod", sym_mod},       {"xor", sym_xor},
};

int32_t KeywordSymbol(const char16_t* s, size_t n) {
  if (n < 2 || n > 9) return sym_identifier;
  for (const Keyword& k : kKeywords) {
    size_t len = std::strlen(k.text);
    if (len != n) continue;
    size_t i = 0;
    while (i < n && s[i] == static_cast<char16_t>(k.text[i])) ++i;
    if (i == n) return k.symbol;
  }
  return sym_identifier;
}

int32_t TwoCharSymbol(char16_t a, char16_t b) {
  switch (a) {
    case u':': return b == u'=' ? sym_assign : 0;
    case u'+': return b == u'=' ? sym_assign_plus : 0;
    case u'-': return b == u'=' ? sym_assign_minus : 0;
    case u'*': return b == u'=' ? sym_assign_times : 0;
    case u'/': return b == u'=' ? sym_assign_divide : 0;
    case u'&': return b == u'&' ? sym_and : b == u'=' ? sym_assign_and : 0;
    case u'|': return b == u'|' ? sym_or : b == u'=' ? sym_assign_or : 0;
    case u'^': return b == u'^' ? sym_xor : b == u'=' ? sym_assign_xor : 0;
    case u'<': return b == u'=' ? sym_le : b == u'>' ? sym_ne : b == u'<' ? sym_shl : 0;
    case u'>': return b == u'=' ? sym_ge : b == u'>' ? sym_shr : 0;
    case u'=': return b == u'=' ? sym_eq : 0;
    case u'!': return b == u'=' ? sym_ne : 0;
    default: return 0;
  }
}

int32_t OneCharSymbol(char16_t c) {
  switch (c) {
    case u'!': return sym_not;
    case u'&': return sym_bitand;
    case u'(': return sym_lparen;
    case u')': return sym_rparen;
    case u'*': return sym_times;
    case u'+': return sym_plus;
    case u',': return sym_comma;
    case u'-': return sym_minus;
    case u'.': return sym_dot;
    case u'/': return sym_divide;
    case u':': return sym_colon;
    case u';': return sym_semicolon;
    case u'<': return sym_lt;
    case u'=': return sym_assign;
    case u'>': return sym_gt;
    case u'[': return sym_lbracket;
    case u']': return sym_rbracket;
    case u'^': return sym_bitxor;
    case u'{': return sym_begin;
    case u'|': return sym_bitor;
    case u'}': return sym_endblock;
    case u'~': return sym_bitnot;
    default: return 0;
  }
}

std::string Ascii(std::u16string_view s) {
  std::string out(s.size(), '\0');
  for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<char>(s[i]);
  return out;
}

}  // namespace

std::u16string ScanText(const std::u16string& source) { return source + u"   "; }

bool LexFirstPass(const CCode* code, const std::u16string& text, std::vector<RRawToken>& out) {
  const size_t len = text.size();
  size_t i = 0;
  auto at = [&](size_t k) -> char16_t { return k < len ? text[k] : u'\0'; };
  auto push = [&](int32_t symbol, size_t start, size_t end) {
    RRawToken t;
    t.symbol = symbol;
    t.position = static_cast<int32_t>(start + 1);
    t.start = static_cast<uint32_t>(start);
    t.length = static_cast<uint32_t>(end - start);
    out.push_back(t);
  };
  for (;;) {
    while (i < len && text[i] <= 32) ++i;
    if (i >= len) {
      push(sym_end, i, i);
      return true;
    }
    const char16_t c = text[i];
    if (c == u'/' && at(i + 1) == u'/') {
      while (i < len && text[i] != u'\r' && text[i] != u'\n') ++i;
      ++i;  // the line break itself
      continue;
    }
    if (c == u'/' && at(i + 1) == u'*') {
      // The search starts at the opener's own slash, so "/*/" closes itself.
      while (i < len && !(text[i] == u'*' && at(i + 1) == u'/')) ++i;
      i += 2;
      continue;
    }
    const size_t start = i;
    if (IsLetter(c)) {
      while (i < len && (IsLetter(text[i]) || IsDigit(text[i]))) ++i;
      push(KeywordSymbol(text.data() + start, i - start), start, i);
      continue;
    }
    if (c == u'$') {
      ++i;
      while (i < len && IsHexDigit(text[i])) ++i;
      push(sym_number, start, i);
      continue;
    }
    if (IsDigit(c) || (c == u'.' && IsDigit(at(i + 1)))) {
      while (i < len && (IsDigit(text[i]) || text[i] == u'.')) ++i;
      push(sym_number, start, i);
      continue;
    }
    if (c == u'"' || c == u'\'') {
      ++i;
      while (i < len && text[i] != c) ++i;
      // The token's text is the contents; its position is the opening quote.
      RRawToken t;
      t.symbol = sym_string;
      t.position = static_cast<int32_t>(start + 1);
      t.start = static_cast<uint32_t>(start + 1);
      t.length = static_cast<uint32_t>(i - start - 1);
      out.push_back(t);
      if (i < len) ++i;  // the closing quote
      continue;
    }
    if (int32_t s2 = TwoCharSymbol(c, at(i + 1))) {
      i += 2;
      push(s2, start, i);
      continue;
    }
    if (int32_t s1 = OneCharSymbol(c)) {
      ++i;
      push(s1, start, i);
      continue;
    }
    push(sym_unknown, start, start + 1);
    ReportCodeError(code, static_cast<int32_t>(start + 1), "Unexpected symbol.");
    return false;
  }
}

double NumberValue(std::u16string_view digits) {
  double v = 0;
  if (!digits.empty() && digits[0] == u'$') {
    for (size_t k = 1; k < digits.size(); ++k) {
      char16_t c = digits[k];
      int d = IsDigit(c) ? c - u'0' : (c >= u'a' ? c - u'a' + 10 : c - u'A' + 10);
      v = v * 16 + d;
    }
    return v;
  }
  bool point = false;
  double f = 1;
  for (char16_t c : digits) {
    if (c == u'.') {
      point = true;
      continue;
    }
    int d = c - u'0';
    if (!point) {
      v = v * 10 + d;
    } else {
      f /= 10;
      v += d * f;
    }
  }
  return v;
}

bool LexSecondPass(const CCode* code, const std::u16string& text, const std::vector<RRawToken>& in,
                   const IScriptNames& names, RArgumentUse& args, std::vector<RToken>& out,
                   std::vector<RValue>& constants) {
  out.clear();
  out.reserve(in.size());
  constants.clear();
  auto constant = [&](RValue v) {
    constants.push_back(std::move(v));
    return static_cast<int32_t>(constants.size() - 1);
  };
  for (size_t k = 0; k < in.size(); ++k) {
    const RRawToken& t = in[k];
    std::u16string_view s(text.data() + t.start, t.length);
    RToken r;
    r.symbol = t.symbol;
    r.position = t.position;
    switch (t.symbol) {
      case sym_identifier: {
        std::string name = Ascii(s);
        if (k + 1 < in.size() && in[k + 1].symbol == sym_lparen) {
          std::optional<int32_t> id = names.FindFunction(name);
          if (!id) {
            ReportCodeError(code, t.position, "Unknown function or script: " + name);
            return false;
          }
          r.symbol = sym_function;
          r.ind = *id;
        } else if (std::optional<RValue> v = names.FindConstant(name)) {
          r.symbol = sym_constant;
          r.ind = constant(std::move(*v));
        } else {
          r.symbol = sym_variable;
          r.ind = VariableId(name);
          if (name.size() >= 8 && name.compare(0, 8, "argument") == 0) {
            if (name.size() == 8) {
              args.array = true;
            } else if (name.size() <= 10 && IsDigit(static_cast<char16_t>(name[8])) &&
                       (name.size() == 9 || IsDigit(static_cast<char16_t>(name[9]))) &&
                       !(name.size() == 10 && name[8] == '0')) {
              int n = std::stoi(name.substr(8));
              if (n <= 15 && n > args.highest) args.highest = n;
            }
          }
        }
        break;
      }
      case sym_number:
        r.symbol = sym_constant;
        r.ind = constant(RValue::Real(NumberValue(s)));
        break;
      case sym_string:
        r.symbol = sym_constant;
        r.ind = constant(RValue::String(RString(Utf16ToUtf8(s))));
        break;
      default:
        break;
    }
    out.push_back(r);
  }
  return true;
}

}  // namespace kestro
