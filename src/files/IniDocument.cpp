#include "files/IniDocument.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/posix/Files.h"
#include "platform/posix/HostFiles.h"
#include "script/Value.h"

namespace kestro::files {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

// Blanks and control characters off both ends.
std::string_view Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(char16_t(bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0)));
  }
  return Utf16ToUtf8(units);
}

std::string EncodeUtf16(std::string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : Utf8ToUtf16(text)) {
    const char hi = char(u >> 8), lo = char(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

// The key of a line: its text before the first "=", or none for a bare line.
bool LineKey(const std::string& line, std::string_view& key) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = std::string_view(line).substr(0, eq);
  return true;
}

}  // namespace

void CIniDocument::Clear() {
  sections_.clear();
  encoding_ = EIniEncoding::kPlain;
  lineEnd_ = "\r\n";
}

void CIniDocument::Load(std::string_view bytes) {
  Clear();
  std::string text;
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    encoding_ = EIniEncoding::kUtf16Le;
    text = DecodeUtf16(bytes.substr(2), false);
  } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
    encoding_ = EIniEncoding::kUtf16Be;
    text = DecodeUtf16(bytes.substr(2), true);
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    encoding_ = EIniEncoding::kUtf8Bom;
    text = bytes.substr(3);
  } else {
    // Without a mark the text is in the system's code page, which is UTF-8 here: the bytes are
    // kept as they are, so a file in any 8-bit encoding is written back unchanged.
    text = bytes;
  }
  const size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos)
    lineEnd_ = text[end] == '\n' ? "\n" : (end + 1 < text.size() && text[end + 1] == '\n') ? "\r\n" : "\r";

  RSection* current = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t stop = text.find_first_of("\r\n", pos);
    if (stop == std::string::npos) stop = text.size();
    const std::string_view line = Trim(std::string_view(text).substr(pos, stop - pos));
    pos = stop + ((stop + 1 < text.size() && text[stop] == '\r' && text[stop + 1] == '\n') ? 2 : 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      sections_.push_back({std::string(Trim(line.substr(1, line.size() - 2))), {}});
      current = &sections_.back();
      continue;
    }
    if (!current) continue;  // lines before the first section
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      current->lines.emplace_back(line);
    } else {
      std::string kept(Trim(line.substr(0, eq)));
      kept += '=';
      kept += Trim(line.substr(eq + 1));
      current->lines.push_back(std::move(kept));
    }
  }
}

std::string CIniDocument::Save() const {
  std::string text;
  for (const RSection& s : sections_) {
    text += "[" + s.name + "]" + lineEnd_;
    for (const std::string& line : s.lines) text += line + lineEnd_;
    text += lineEnd_;
  }
  switch (encoding_) {
    case EIniEncoding::kUtf16Le: return EncodeUtf16(text, false);
    case EIniEncoding::kUtf16Be: return EncodeUtf16(text, true);
    case EIniEncoding::kUtf8Bom: return "\xEF\xBB\xBF" + text;
    case EIniEncoding::kPlain: break;
  }
  return text;
}

CIniDocument::RSection* CIniDocument::Find(std::string_view section) {
  for (RSection& s : sections_)
    if (SameIgnoringCase(s.name, section)) return &s;
  return nullptr;
}

const CIniDocument::RSection* CIniDocument::Find(std::string_view section) const {
  for (const RSection& s : sections_)
    if (SameIgnoringCase(s.name, section)) return &s;
  return nullptr;
}

int CIniDocument::FindKey(const RSection& s, std::string_view key) {
  for (size_t i = 0; i < s.lines.size(); ++i) {
    std::string_view k;
    if (LineKey(s.lines[i], k) && SameIgnoringCase(k, key)) return int(i);
  }
  return -1;
}

bool CIniDocument::ReadString(std::string_view section, std::string_view key, std::string& value) const {
  const RSection* s = Find(section);
  if (!s) return false;
  const int i = FindKey(*s, key);
  if (i < 0) return false;
  const std::string& line = s->lines[size_t(i)];
  value = line.substr(line.find('=') + 1);
  return true;
}

void CIniDocument::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  RSection* s = Find(section);
  if (!s) {
    sections_.push_back({std::string(section), {}});
    s = &sections_.back();
  }
  std::string line(key);
  line += '=';
  line += value;
  const int i = FindKey(*s, key);
  if (i >= 0)
    s->lines[size_t(i)] = std::move(line);
  else
    s->lines.push_back(std::move(line));
}

bool CIniDocument::KeyExists(std::string_view section, std::string_view key) const {
  const RSection* s = Find(section);
  return s && FindKey(*s, key) >= 0;
}

bool CIniDocument::SectionExists(std::string_view section) const {
  const RSection* s = Find(section);
  return s && !s->lines.empty();
}

void CIniDocument::DeleteKey(std::string_view section, std::string_view key) {
  RSection* s = Find(section);
  if (!s) return;
  const int i = FindKey(*s, key);
  if (i >= 0) s->lines.erase(s->lines.begin() + i);
}

void CIniDocument::DeleteSection(std::string_view section) {
  for (size_t i = 0; i < sections_.size(); ++i)
    if (SameIgnoringCase(sections_[i].name, section)) {
      sections_.erase(sections_.begin() + std::ptrdiff_t(i));
      return;
    }
}

std::string IniRealText(double x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
  if (x == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", x);
  std::string s = buf;
  std::string sign;
  if (s[0] == '-') {
    sign = "-";
    s.erase(0, 1);
  }
  const size_t e = s.find('e');
  const int exponent = std::atoi(s.c_str() + e + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int n = exponent + 1;  // x = 0.d1d2... * 10^n
  if (n >= -3 && n <= 15) {
    if (n <= 0) return sign + "0." + std::string(size_t(-n), '0') + digits;
    if (digits.size() <= size_t(n)) return sign + digits + std::string(size_t(n) - digits.size(), '0');
    return sign + digits.substr(0, size_t(n)) + "." + digits.substr(size_t(n));
  }
  std::string mantissa = digits.substr(0, 1);
  if (digits.size() > 1) mantissa += "." + digits.substr(1);
  return sign + mantissa + "E" + std::to_string(n - 1);
}

double IniRealValue(std::string_view text) {
  // The digits are gathered and converted once: the nearest double to what is written.
  std::string whole, fraction, exponent;
  bool separator = false, mark = false;
  int signMantissa = 1, signExponent = 1;
  for (char c : text) {
    if (c == '.' || c == ',') {
      if (mark || separator) break;
      separator = true;
    } else if (c == 'E' || c == 'e') {
      if (mark) break;
      mark = true;
    } else if (c == '-') {
      if (mark)
        signExponent = -signExponent;
      else
        signMantissa = -signMantissa;
    } else if (c >= '0' && c <= '9') {
      if (mark) {
        if (!(exponent.empty() && c == '0') && exponent.size() < 9) exponent += c;
      } else {
        (separator ? fraction : whole) += c;
      }
    } else {
      break;
    }
  }
  std::string number = (whole.empty() ? "0" : whole) + "." + fraction + "0";
  if (!exponent.empty()) number += std::string("e") + (signExponent < 0 ? "-" : "") + exponent;
  return signMantissa * std::strtod(number.c_str(), nullptr);
}

bool CIniFile::Open(const std::string& path) {
  open_ = true;
  dirty_ = false;
  path_ = path;
  doc_.Clear();
  existed_ = os::IsFile(path);
  readable_ = true;
  if (!existed_) return true;
  std::vector<uint8_t> bytes;
  if (!os::ReadFileBytes(path, bytes, kMaxIniBytes)) {
    readable_ = false;
    return false;
  }
  doc_.Load(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return true;
}

bool CIniFile::Close() {
  if (!open_) return true;
  open_ = false;
  // A file that was only read keeps its comments and layout; one that could not be read is never
  // replaced by what little is known of it.
  const bool write = readable_ && (dirty_ || !existed_);
  bool ok = true;
  if (write) ok = os::WriteFileAtomically(path_, doc_.Save());
  doc_.Clear();
  dirty_ = false;
  return ok;
}

CIniFile& IniFile() {
  static CIniFile file;
  return file;
}

}  // namespace kestro::files
