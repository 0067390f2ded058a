#include "resources/GameInformation.h"

#include <cctype>
#include <vector>

#include "io/Stream.h"
#include "script/Value.h"

namespace kestro {

// The version of the game information block.
constexpr int32_t kGameInformationVersion = 800;

bool CGameInformation::SkimCaption(CStream& s, std::string& caption) {
  if (s.ReadInteger() != kGameInformationVersion) return false;
  std::unique_ptr<CStream> b = s.ReadStreamC();
  b->ReadInteger();  // background colour
  b->ReadBoolean();  // shown in the game window
  caption = b->ReadString();
  return true;
}

bool CGameInformation::LoadFromStream(CStream& s) {
  Clear();
  text.clear();
  if (s.ReadInteger() != kGameInformationVersion) return false;
  std::unique_ptr<CStream> b = s.ReadStreamC();
  backgroundColor = b->ReadInteger();
  showInGameWindow = b->ReadBoolean();
  caption = b->ReadString();
  left = b->ReadInteger();
  top = b->ReadInteger();
  width = b->ReadInteger();
  height = b->ReadInteger();
  showBorder = b->ReadBoolean();
  sizeable = b->ReadBoolean();
  stayOnTop = b->ReadBoolean();
  pauseGame = b->ReadBoolean();
  std::unique_ptr<CStream> t = b->ReadStream();
  text.assign(t->Buffer().begin(), t->Buffer().end());
  return true;
}

void CGameInformation::SaveToStream(CStream& s) const {
  s.WriteInteger(kGameInformationVersion);
  CStream b;
  b.WriteInteger(backgroundColor);
  b.WriteBoolean(showInGameWindow);
  b.WriteString(caption);
  b.WriteInteger(left);
  b.WriteInteger(top);
  b.WriteInteger(width);
  b.WriteInteger(height);
  b.WriteBoolean(showBorder);
  b.WriteBoolean(sizeable);
  b.WriteBoolean(stayOnTop);
  b.WriteBoolean(pauseGame);
  b.WriteInteger(int32_t(text.size()));
  b.WriteBytes(text.data(), text.size());
  s.WriteStreamC(b);
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string RichTextToPlain(const std::string& rtf) {
  if (rtf.rfind("{\\rtf", 0) != 0) return rtf;
  std::string out;
  // Per group: whether its text is skipped (destinations and tables), and how many characters
  // follow a \u escape as its fallback.
  struct RGroup {
    bool skip = false;
    int uc = 1;
  };
  std::vector<RGroup> groups{RGroup{}};
  int fallback = 0;  // fallback characters still to drop after a \u escape
  const size_t n = rtf.size();
  for (size_t i = 0; i < n;) {
    const char c = rtf[i];
    if (c == '{') {
      groups.push_back(groups.back());
      ++i;
      continue;
    }
    if (c == '}') {
      if (groups.size() > 1) groups.pop_back();
      ++i;
      continue;
    }
    RGroup& g = groups.back();
    if (c == '\\' && i + 1 < n) {
      const char d = rtf[i + 1];
      if (d == '\\' || d == '{' || d == '}') {
        if (!g.skip && fallback == 0) out += d;
        if (fallback > 0) --fallback;
        i += 2;
        continue;
      }
      if (d == '*') {
        g.skip = true;
        i += 2;
        continue;
      }
      if (d == '\'' && i + 3 < n && HexDigit(rtf[i + 2]) >= 0 && HexDigit(rtf[i + 3]) >= 0) {
        if (fallback > 0) {
          --fallback;
        } else if (!g.skip) {
          AppendUtf8(out, char32_t(HexDigit(rtf[i + 2]) * 16 + HexDigit(rtf[i + 3])));
        }
        i += 4;
        continue;
      }
      if (!std::isalpha(static_cast<unsigned char>(d))) {
        // Other control symbols: ~ is a hard space, the others carry no text.
        if (d == '~' && !g.skip) out += ' ';
        i += 2;
        continue;
      }
      size_t j = i + 1;
      while (j < n && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
      const std::string word = rtf.substr(i + 1, j - i - 1);
      bool hasNumber = false;
      long number = 0;
      bool negative = false;
      if (j < n && rtf[j] == '-') {
        negative = true;
        ++j;
      }
      while (j < n && std::isdigit(static_cast<unsigned char>(rtf[j])) && number < 1000000) {
        number = number * 10 + (rtf[j] - '0');
        hasNumber = true;
        ++j;
      }
      if (negative) number = -number;
      if (j < n && rtf[j] == ' ') ++j;  // the delimiter belongs to the control word
      i = j;
      if (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" || word == "pict" ||
          word == "header" || word == "footer" || word == "listtable" || word == "listoverridetable") {
        g.skip = true;
      } else if (g.skip) {
      } else if (word == "par" || word == "line" || word == "sect" || word == "page") {
        out += '\n';
      } else if (word == "tab") {
        out += '\t';
      } else if (word == "uc" && hasNumber) {
        g.uc = int(number);
      } else if (word == "u" && hasNumber) {
        // A 16-bit code unit (negative written for the upper half); anything else is dropped.
        const auto unit = number < 0 ? number + 65536 : number;
        if (unit >= 0 && unit < 0x10000) AppendUtf8(out, char32_t(unit));
        fallback = g.uc;
      }
      continue;
    }
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (fallback > 0) {
      --fallback;
    } else if (!g.skip) {
      out += c;
    }
    ++i;
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

}  // namespace kestro
