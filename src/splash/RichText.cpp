#include "splash/RichText.h"

#include <algorithm>
#include <cctype>

#include "script/Value.h"

namespace kestro::splash {

namespace {

using dialogs::RDialogFont;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Bytes 0x80..0x9F of the Western code page; the rest of it is Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

char32_t FromCodePage(int byte) { return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char32_t(byte); }

// What a group carries: the character format, the paragraph's alignment, and whether its text
// is skipped or read as a table entry.
enum class EDest { kText, kSkip, kFontTable, kColourTable };
struct RState {
  RDialogFont font;
  bool underline = false;
  int fontIndex = -1;
  EAlign align = EAlign::kLeft;
  EDest dest = EDest::kText;
  int uc = 1;
};

class CReader {
 public:
  explicit CReader(const std::string& rtf) : rtf_(rtf) {}

  std::vector<RTextParagraph> Read() {
    RState base;
    base.font = DefaultTextFont();
    groups_.push_back(base);
    paragraphs_.emplace_back();
    const size_t n = rtf_.size();
    size_t i = 0;
    while (i < n) {
      const char c = rtf_[i];
      if (c == '{') {
        groups_.push_back(groups_.back());
        ++i;
      } else if (c == '}') {
        EndGroup();
        ++i;
      } else if (c == '\\' && i + 1 < n) {
        i = ControlAt(i);
      } else {
        if (c != '\r' && c != '\n') Char(static_cast<unsigned char>(c), true);
        ++i;
      }
    }
    // A final empty paragraph is the end of the text, not a line of its own.
    while (paragraphs_.size() > 1 && paragraphs_.back().runs.empty()) paragraphs_.pop_back();
    return std::move(paragraphs_);
  }

 private:
  RState& S() { return groups_.back(); }

  void EndGroup() {
    if (S().dest == EDest::kFontTable && fontIndex_ >= 0 && !fontName_.empty()) SetFontName();
    if (groups_.size() > 1) groups_.pop_back();
  }

  void SetFontName() {
    std::string name = fontName_;
    while (!name.empty() && (name.back() == ';' || name.back() == ' ')) name.pop_back();
    if (size_t(fontIndex_) >= fonts_.size()) fonts_.resize(size_t(fontIndex_) + 1);
    fonts_[size_t(fontIndex_)] = name;
    fontName_.clear();
  }

  // A character of the text (already decoded); `raw` bytes of plain text are UTF-8 as they are.
  void Char(char32_t c, bool raw) {
    if (fallback_ > 0) {
      --fallback_;
      return;
    }
    switch (S().dest) {
      case EDest::kSkip: return;
      case EDest::kFontTable:
        if (c == ';') {
          if (fontIndex_ >= 0) SetFontName();
        } else {
          AppendUtf8(fontName_, c);
        }
        return;
      case EDest::kColourTable:
        if (c == ';') {
          colours_.push_back(red_ | green_ << 8 | blue_ << 16);
          red_ = green_ = blue_ = 0;
        }
        return;
      case EDest::kText: break;
    }
    RTextParagraph& p = paragraphs_.back();
    p.align = S().align;
    if (p.runs.empty() || !(p.runs.back().font == S().font) || p.runs.back().underline != S().underline)
      p.runs.push_back(RTextRun{"", S().font, S().underline});
    if (raw)
      p.runs.back().text += char(c);
    else
      AppendUtf8(p.runs.back().text, c);
  }

  void Paragraph() {
    if (S().dest != EDest::kText) return;
    paragraphs_.back().align = S().align;
    paragraphs_.emplace_back();
    paragraphs_.back().align = S().align;
  }

  size_t ControlAt(size_t i) {
    const size_t n = rtf_.size();
    const char d = rtf_[i + 1];
    if (d == '\\' || d == '{' || d == '}') {
      Char(char32_t(d), false);
      return i + 2;
    }
    if (d == '*') {
      S().dest = EDest::kSkip;
      return i + 2;
    }
    if (d == '\'') {
      if (i + 3 < n && HexDigit(rtf_[i + 2]) >= 0 && HexDigit(rtf_[i + 3]) >= 0) {
        Char(FromCodePage(HexDigit(rtf_[i + 2]) * 16 + HexDigit(rtf_[i + 3])), false);
        return i + 4;
      }
      return i + 2;
    }
    if (d == '\r' || d == '\n') {  // an escaped line end is a paragraph
      Paragraph();
      return i + 2;
    }
    if (!std::isalpha(static_cast<unsigned char>(d))) {
      if (d == '~') Char(U'\u00A0', false);
      return i + 2;
    }
    size_t j = i + 1;
    while (j < n && std::isalpha(static_cast<unsigned char>(rtf_[j])) && j - i < 32) ++j;
    const std::string word = rtf_.substr(i + 1, j - i - 1);
    bool hasNumber = false, negative = false;
    long number = 0;
    if (j < n && rtf_[j] == '-') {
      negative = true;
      ++j;
    }
    while (j < n && std::isdigit(static_cast<unsigned char>(rtf_[j]))) {
      if (number < 10000000) number = number * 10 + (rtf_[j] - '0');
      hasNumber = true;
      ++j;
    }
    if (negative) number = -number;
    if (j < n && rtf_[j] == ' ') ++j;  // the delimiter belongs to the control word
    Word(word, hasNumber, number);
    return j;
  }

  void Word(const std::string& word, bool hasNumber, long number) {
    RState& s = S();
    const bool on = !hasNumber || number != 0;
    if (word == "fonttbl") {
      s.dest = EDest::kFontTable;
      fontIndex_ = -1;
      fontName_.clear();
    } else if (word == "colortbl") {
      s.dest = EDest::kColourTable;
      red_ = green_ = blue_ = 0;
    } else if (word == "stylesheet" || word == "info" || word == "pict" || word == "header" || word == "footer" ||
               word == "listtable" || word == "listoverridetable" || word == "object" || word == "field" ||
               word == "fldinst" || word == "themedata" || word == "generator") {
      s.dest = EDest::kSkip;
    } else if (s.dest == EDest::kFontTable) {
      if (word == "f" && hasNumber && number >= 0 && number < 4096) {
        fontIndex_ = int(number);
        fontName_.clear();
      }
    } else if (s.dest == EDest::kColourTable) {
      const int v = int(std::clamp<long>(number, 0, 255));
      if (word == "red") red_ = v;
      if (word == "green") green_ = v;
      if (word == "blue") blue_ = v;
    } else if (s.dest == EDest::kSkip) {
    } else if (word == "par" || word == "line" || word == "sect" || word == "page") {
      Paragraph();
    } else if (word == "tab") {
      for (int k = 0; k < 4; ++k) Char(U' ', false);
    } else if (word == "b") {
      s.font.bold = on;
    } else if (word == "i") {
      s.font.italic = on;
    } else if (word == "ul") {
      s.underline = on;
    } else if (word == "ulnone") {
      s.underline = false;
    } else if (word == "fs" && hasNumber && number > 0) {
      // Half points; sizes the fonts cannot have are brought within 1..256 points.
      s.font.size = int(std::clamp<long>((number + 1) / 2, 1, 256));
    } else if (word == "f" && hasNumber && number >= 0) {
      s.fontIndex = int(std::min<long>(number, 1 << 20));
      if (size_t(s.fontIndex) < fonts_.size() && !fonts_[size_t(s.fontIndex)].empty())
        s.font.name = fonts_[size_t(s.fontIndex)];
    } else if (word == "cf" && hasNumber) {
      // Entry 0 (and anything outside the table) is the automatic colour: black.
      s.font.colour = number > 0 && size_t(number) < colours_.size() ? colours_[size_t(number)] : 0;
    } else if (word == "plain") {
      const RDialogFont def = DefaultTextFont();
      s.font.bold = s.font.italic = false;
      s.underline = false;
      s.font.size = def.size;
      s.font.colour = def.colour;
    } else if (word == "pard") {
      s.align = EAlign::kLeft;
    } else if (word == "qc") {
      s.align = EAlign::kCentre;
    } else if (word == "qr") {
      s.align = EAlign::kRight;
    } else if (word == "ql" || word == "qj") {
      s.align = EAlign::kLeft;
    } else if (word == "uc" && hasNumber) {
      s.uc = int(std::clamp<long>(number, 0, 16));
    } else if (word == "u" && hasNumber) {
      const long unit = number < 0 ? number + 65536 : number;
      if (unit >= 0 && unit < 0x10000) Char(char32_t(unit), false);
      fallback_ = s.uc;
    } else if (word == "emdash") {
      Char(U'\u2014', false);
    } else if (word == "endash") {
      Char(U'\u2013', false);
    } else if (word == "bullet") {
      Char(U'\u2022', false);
    } else if (word == "lquote" || word == "rquote") {
      Char(word == "lquote" ? U'\u2018' : U'\u2019', false);
    } else if (word == "ldblquote" || word == "rdblquote") {
      Char(word == "ldblquote" ? U'\u201C' : U'\u201D', false);
    }
  }

  const std::string& rtf_;
  std::vector<RState> groups_;
  std::vector<RTextParagraph> paragraphs_;
  std::vector<std::string> fonts_;
  std::vector<int32_t> colours_;
  int fontIndex_ = -1;
  std::string fontName_;
  int red_ = 0, green_ = 0, blue_ = 0;
  int fallback_ = 0;
};

}  // namespace

dialogs::RDialogFont DefaultTextFont() {
  RDialogFont f;
  f.name = "Arial";
  f.size = 10;
  f.colour = 0;
  return f;
}

std::vector<RTextParagraph> ParseRichText(const std::string& text) {
  if (text.rfind("{\\rtf", 0) == 0) return CReader(text).Read();
  // Plain text: a paragraph per line (LF, CR LF or CR).
  std::vector<RTextParagraph> out;
  std::string line;
  auto flush = [&] {
    RTextParagraph p;
    if (!line.empty()) p.runs.push_back(RTextRun{line, DefaultTextFont(), false});
    out.push_back(std::move(p));
    line.clear();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      flush();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\t') {
      line += "    ";
    } else {
      line += c;
    }
  }
  if (!line.empty() || out.empty()) flush();
  return out;
}

RTextLayout LayoutRichText(const std::vector<RTextParagraph>& paragraphs, int width, dialogs::ITextMetrics& metrics) {
  RTextLayout out;
  width = std::max(width, 1);
  int y = 0;
  for (const RTextParagraph& para : paragraphs) {
    // Words with the spaces that follow them, each in its run's font.
    struct RWord {
      std::string text;
      size_t run;
      int w;
      bool lineBreakBefore = false;
    };
    std::vector<RWord> words;
    for (size_t r = 0; r < para.runs.size(); ++r) {
      const std::string& t = para.runs[r].text;
      size_t i = 0;
      while (i < t.size()) {
        size_t j = i;
        while (j < t.size() && t[j] != ' ') ++j;
        while (j < t.size() && t[j] == ' ') ++j;
        const std::string w = t.substr(i, j - i);
        words.push_back(RWord{w, r, metrics.TextWidth(para.runs[r].font, w)});
        i = j;
      }
    }
    // Lines: as many words as fit; the spaces at a line's end do not count.
    size_t k = 0;
    do {
      std::vector<RPlacedText> line;
      int x = 0, lineH = 0;
      const size_t first = k;
      while (k < words.size()) {
        const RWord& wd = words[k];
        std::string trimmed = wd.text;
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
        const RTextRun& run = para.runs[wd.run];
        const int trimmedW = trimmed.size() == wd.text.size() ? wd.w : metrics.TextWidth(run.font, trimmed);
        if (k > first && x + trimmedW > width) break;
        if (!line.empty() && line.back().font == run.font && line.back().underline == run.underline &&
            line.back().x + line.back().w == x) {
          line.back().text += wd.text;
          line.back().w += wd.w;
        } else {
          line.push_back(RPlacedText{wd.text, run.font, run.underline, x, 0, wd.w, metrics.LineHeight(run.font)});
        }
        lineH = std::max(lineH, metrics.LineHeight(run.font));
        x += wd.w;
        ++k;
      }
      if (line.empty()) {
        // An empty paragraph is a line of the size of its (or the default) font.
        const RDialogFont f = para.runs.empty() ? DefaultTextFont() : para.runs.front().font;
        lineH = metrics.LineHeight(f);
      }
      // Trailing spaces leave the line's width for the alignment.
      int used = 0;
      if (!line.empty()) {
        RPlacedText& last = line.back();
        std::string t = last.text;
        while (!t.empty() && t.back() == ' ') t.pop_back();
        if (t.size() != last.text.size()) {
          last.text = t;
          last.w = metrics.TextWidth(last.font, t);
        }
        used = last.x + last.w;
      }
      const int shift = para.align == EAlign::kCentre  ? std::max(0, (width - used) / 2)
                        : para.align == EAlign::kRight ? std::max(0, width - used)
                                                       : 0;
      for (RPlacedText& piece : line) {
        piece.x += shift;
        piece.y = y + lineH - piece.h;
        // Spaces alone show nothing (unless underlined).
        if (piece.underline ? !piece.text.empty() : piece.text.find_first_not_of(' ') != std::string::npos)
          out.pieces.push_back(std::move(piece));
      }
      y += lineH;
    } while (k < words.size());
  }
  out.height = y;
  return out;
}

}  // namespace kestro::splash
