#include "dialogs/CodePages.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "script/Value.h"

namespace kestro::dialogs {

namespace {

constexpr const char* kSystemCodePage = "CP1252";

// Converts `in` from one encoding to another; a character the target cannot hold becomes "?" and a
// byte the source cannot read is passed over. False when the converter is missing.
bool Convert(const std::string& in, const char* from, const char* to, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return false;
  out.clear();
  std::vector<char> buffer(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  while (left > 0) {
    char* dst = buffer.data();
    size_t room = buffer.size();
    size_t n = iconv(cd, &src, &left, &dst, &room);
    out.append(buffer.data(), size_t(dst - buffer.data()));
    if (n != size_t(-1)) break;
    if (errno == E2BIG) continue;
    // An unconvertible or broken character: "?" in its place, then on past it.
    if (errno == EILSEQ || errno == EINVAL) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      // Every code page here keeps ASCII where it is.
      out.push_back('?');
      // One whole UTF-8 character of the source, or one byte of any other encoding.
      size_t skip = 1;
      if (std::string_view(from) == "UTF-8")
        while (skip < left && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
      src += skip;
      left -= skip;
      continue;
    }
    break;
  }
  iconv_close(cd);
  return true;
}

}  // namespace

std::string CodePageOf(int charset) {
  switch (charset) {
    case 2: return "CP1252";  // symbol fonts draw the bytes
    case 77: return "MACINTOSH";
    case 128: return "CP932";
    case 129: return "CP949";
    case 130: return "JOHAB";
    case 134: return "CP936";
    case 136: return "CP950";
    case 161: return "CP1253";
    case 162: return "CP1254";
    case 163: return "CP1258";
    case 177: return "CP1255";
    case 178: return "CP1256";
    case 186: return "CP1257";
    case 204: return "CP1251";
    case 222: return "CP874";
    case 238: return "CP1250";
    case 255: return "CP437";
    default: return "";
  }
}

std::string TextForCharset(const std::string& text, int charset) {
  std::string page = CodePageOf(charset);
  if (page.empty()) return text;
  std::string bytes, shown;
  if (!Convert(text, "UTF-8", kSystemCodePage, bytes)) return text;
  if (!Convert(bytes, page.c_str(), "UTF-8", shown)) return text;
  return shown;
}

std::string TextFromCharset(const std::string& text, int charset) {
  std::string page = CodePageOf(charset);
  if (page.empty()) return text;
  std::string bytes;
  if (!Convert(text, "UTF-8", page.c_str(), bytes)) return text;
  std::string out;
  for (unsigned char b : bytes) AppendUtf8(out, char32_t(b));
  return out;
}

}  // namespace kestro::dialogs
