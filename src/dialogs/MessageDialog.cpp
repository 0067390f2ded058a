#include "dialogs/MessageDialog.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "dialogs/CodePages.h"
#include "dialogs/DialogDraw.h"
#include "graphics/Graphics.h"
#include "script/Numeric.h"

namespace kestro::dialogs {

namespace {

constexpr int kKeyEnter = 13, kKeyEscape = 27, kKeySpace = 32, kKeyEnd = 35, kKeyHome = 36, kKeyLeft = 37,
              kKeyRight = 39, kKeyDelete = 46, kKeyControl = 17, kKeyLeftControl = 162, kKeyRightControl = 163;

bool IsContinuation(char b) { return (static_cast<unsigned char>(b) & 0xC0) == 0x80; }

// The first code point of `s` from byte `at` (a byte that starts no sequence stands for itself).
uint32_t CodePointAt(std::string_view s, size_t at, size_t* length = nullptr) {
  unsigned char b = static_cast<unsigned char>(s[at]);
  size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
  if (at + len > s.size()) len = 1;
  for (size_t k = 1; k < len; ++k)
    if (!IsContinuation(s[at + k])) len = 1;
  uint32_t c = len == 1 ? b : len == 2 ? b & 0x1Fu : len == 3 ? b & 0x0Fu : b & 0x07u;
  for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[at + k]) & 0x3Fu);
  if (length) *length = len;
  return c;
}

uint32_t Upper(uint32_t c) { return c < 128 ? uint32_t(std::toupper(int(c))) : c; }

bool IsControlKey(int key) { return key == kKeyControl || key == kKeyLeftControl || key == kKeyRightControl; }

}  // namespace

std::string HashTreatment(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '#') {
      out += c;
    } else if (!out.empty() && out.back() == '\\') {
      out.back() = '#';
    } else {
      out += '\n';
    }
  }
  return out;
}

std::string MessageText(const RValue& v) {
  return HashTreatment(v.IsString() ? std::string(v.str.view()) : DisplayString(v));
}

uint32_t ShortKeyOf(std::string_view text) {
  size_t amp = text.find('&');
  if (amp == std::string_view::npos || amp + 1 >= text.size()) return 0;
  return CodePointAt(text, amp + 1);
}

std::string ShownText(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '&') {
      out += '&';
      ++i;
    }
  }
  return out;
}

void RDialogFont::Change(const RValue& newName, double newSize, double newColour, double style) {
  if (newName.IsString() && !newName.str.view().empty()) name = std::string(newName.str.view());
  if (newSize >= 0) size = int(std::clamp<int64_t>(RoundToInt64(newSize), 0, 256));
  if (newColour >= 0) colour = int32_t(RoundToInt64(std::min(newColour, 16777215.0)));
  int64_t s = RoundToInt64(style);
  if (s >= 0 && s <= 3 && std::isfinite(style)) {
    bold = (s & 1) != 0;
    italic = (s & 2) != 0;
  }
}

RMessageSettings& MessageSettings() {
  static RMessageSettings settings;
  return settings;
}

void ResetMessageSettings() { MessageSettings() = RMessageSettings(); }

// ---- showing ----

void CMessageDialog::SetMessage(const std::string& text, const std::string& b1, const std::string& b2,
                                const std::string& b3) {
  const RMessageSettings& s = MessageSettings();
  label_ = TextForCharset(text, s.textFont.charset);
  const std::string* texts[3] = {&b1, &b2, &b3};
  for (size_t k = 0; k < 3; ++k) {
    RDialogButton& b = buttons_[k];
    b = RDialogButton();
    b.text = TextForCharset(*texts[k], s.buttonFont.charset);
    b.visible = !texts[k]->empty();
    b.shortKey = ShortKeyOf(b.text);
  }
  inputVisible_ = false;
  input_.clear();
  caret_ = 0;
  selected_ = false;
  result_ = 0;
  done_ = false;
  ctrl_ = false;
}

void CMessageDialog::SetInput(const std::string& text, const std::string& def) {
  SetMessage(text, "", "OK", "");
  inputVisible_ = true;
  input_ = TextForCharset(def, MessageSettings().inputFont.charset);
  caret_ = input_.size();
  selected_ = true;
}

void CMessageDialog::Layout(ITextMetrics& metrics, int screenW, int screenH) {
  const RMessageSettings& s = MessageSettings();
  const int b = s.buttonH;
  const int e = metrics.LineHeight(s.inputFont) + 6;
  const int clientW = s.fixedWidth >= 1 ? s.fixedWidth : s.BackWidth();
  labelBox_ = {24, 16, clientW - 48, 0};
  labelBox_.h = metrics.WrappedHeight(s.textFont, label_ + " ", std::max(labelBox_.w, 1));
  int clientH = s.fixedHeight >= 1 ? s.fixedHeight : labelBox_.h + b + 48 + (inputVisible_ ? e + 16 : 0);
  for (size_t k = 0; k < 3; ++k) {
    RRectI& box = buttons_[k].box;
    box.w = s.buttonW;
    box.h = s.buttonH;
    box.x = k == 0 ? 24 : k == 1 ? (clientW - box.w) / 2 : clientW - box.w - 24;
    box.y = clientH - box.h - 16;
  }
  inputBox_ = {24, buttons_[0].box.y - e - 16, clientW - 48, e};
  const int frameW = s.border ? 2 * kFrame : 0, frameH = s.border ? 2 * kFrame + kCaptionBar : 0;
  window_.w = clientW + frameW;
  window_.h = clientH + frameH;
  window_.x = s.fixedLeft >= 0 ? s.fixedLeft : (screenW - window_.w) / 2;
  window_.y = s.fixedTop >= 0 ? s.fixedTop : (screenH - window_.h) / 2;
  client_ = {window_.x + (s.border ? kFrame : 0), window_.y + (s.border ? kFrame + kCaptionBar : 0), clientW, clientH};
}

// ---- events ----

void CMessageDialog::Close(int result) {
  if (done_) return;
  result_ = result;
  done_ = true;
}

int CMessageDialog::FirstVisible() const {
  for (int k = 1; k <= 3; ++k)
    if (buttons_[size_t(k - 1)].visible) return k;
  return 0;
}

void CMessageDialog::Feed(const RInputEvent& e) {
  if (done_) return;
  switch (e.kind) {
    case RInputEvent::kKeyDown: Key(int(e.value)); break;
    case RInputEvent::kKeyUp:
      if (IsControlKey(int(e.value))) ctrl_ = false;
      break;
    case RInputEvent::kChar:
      if (e.value >= 0 && e.value <= 0x10FFFF) Char(uint32_t(e.value));
      break;
    case RInputEvent::kMouse: Pointer(e.x, e.y); break;
    case RInputEvent::kButtonDown:
      if (e.value == 1)
        for (RDialogButton& b : buttons_) b.down = b.visible && b.inside;
      break;
    case RInputEvent::kButtonUp:
      if (e.value == 1) {
        for (size_t k = 0; k < 3; ++k) {
          bool clicked = buttons_[k].down && buttons_[k].inside && buttons_[k].visible;
          buttons_[k].down = false;
          if (clicked) Close(int(k) + 1);
        }
      }
      break;
    case RInputEvent::kClose: Close(0); break;
    case RInputEvent::kWheel: break;
  }
}

void CMessageDialog::Key(int key) {
  if (IsControlKey(key)) {
    ctrl_ = true;
    return;
  }
  if (key == kKeyEscape) return Close(0);
  if (key == kKeyEnter || (key == kKeySpace && !inputVisible_)) {
    if (int k = FirstVisible()) Close(k);
    return;
  }
  if (ctrl_) {
    for (size_t k = 0; k < 3; ++k)
      if (buttons_[k].visible && buttons_[k].shortKey != 0 && uint32_t(key) == Upper(buttons_[k].shortKey))
        return Close(int(k) + 1);
  }
  if (!inputVisible_) return;
  // Editing keys of the input line.
  auto previous = [&](size_t at) {
    if (at == 0) return at;
    --at;
    while (at > 0 && IsContinuation(input_[at])) --at;
    return at;
  };
  auto next = [&](size_t at) {
    if (at >= input_.size()) return input_.size();
    size_t len = 1;
    CodePointAt(input_, at, &len);
    return at + len;
  };
  switch (key) {
    case kKeyLeft: caret_ = selected_ ? 0 : previous(caret_), selected_ = false; break;
    case kKeyRight: caret_ = selected_ ? input_.size() : next(caret_), selected_ = false; break;
    case kKeyHome: caret_ = 0, selected_ = false; break;
    case kKeyEnd: caret_ = input_.size(), selected_ = false; break;
    case kKeyDelete:
      if (selected_) {
        input_.clear();
        caret_ = 0;
        selected_ = false;
      } else {
        input_.erase(caret_, next(caret_) - caret_);
      }
      break;
    default: break;
  }
}

void CMessageDialog::Char(uint32_t c) {
  if (c == uint32_t(kKeyEscape)) return Close(0);
  if (c == uint32_t(kKeyEnter)) {
    if (int k = FirstVisible()) Close(k);
    return;
  }
  if (!inputVisible_) {
    if (c < 32 || c == uint32_t(kKeySpace)) {
      if (c == uint32_t(kKeySpace))
        if (int k = FirstVisible()) Close(k);
      return;
    }
    for (size_t k = 0; k < 3; ++k)
      if (buttons_[k].visible && buttons_[k].shortKey != 0 && Upper(buttons_[k].shortKey) == Upper(c))
        return Close(int(k) + 1);
    return;
  }
  if (c == 8) {
    if (selected_) {
      input_.clear();
      caret_ = 0;
      selected_ = false;
    } else if (caret_ > 0) {
      size_t at = caret_ - 1;
      while (at > 0 && IsContinuation(input_[at])) --at;
      input_.erase(at, caret_ - at);
      caret_ = at;
    }
    return;
  }
  if (c < 32 || c == 127 || (c >= 0xD800 && c <= 0xDFFF)) return;
  if (selected_) {
    input_.clear();
    caret_ = 0;
    selected_ = false;
  }
  std::string ch;
  AppendUtf8(ch, char32_t(c));
  input_.insert(caret_, ch);
  caret_ += ch.size();
}

void CMessageDialog::Pointer(double x, double y) {
  for (RDialogButton& b : buttons_) {
    RRectI box{client_.x + b.box.x, client_.y + b.box.y, b.box.w, b.box.h};
    b.inside = b.visible && box.Contains(x, y);
  }
}

void CMessageDialog::Draw() { DrawMessageDialog(*this); }

void CMessageDialog::Answer(const std::string& answer) {
  if (inputVisible_) {
    input_ = answer;
    return Close(2);
  }
  char* end = nullptr;
  long n = std::strtol(answer.c_str(), &end, 10);
  if (!answer.empty() && *end == '\0' && n >= 0 && n <= 3 && (n == 0 || buttons_[size_t(n - 1)].visible))
    return Close(int(n));
  for (size_t k = 0; k < 3; ++k) {
    std::string shown = ShownText(buttons_[k].text);
    if (buttons_[k].visible && shown.size() == answer.size() &&
        std::equal(shown.begin(), shown.end(), answer.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        }))
      return Close(int(k) + 1);
  }
  Close(0);
}

std::string CMessageDialog::Describe() const {
  std::string d = inputVisible_ ? "input \"" : "message \"";
  for (char c : label_) d += c == '\n' ? '#' : c;
  d += "\"";
  if (inputVisible_) return d + " -> \"" + InputResult() + "\"";
  d += " [";
  for (size_t k = 0; k < 3; ++k) d += (k ? "|" : "") + ShownText(buttons_[k].text);
  return d + "] -> " + std::to_string(result_);
}

std::string CMessageDialog::InputResult() const { return TextFromCharset(input_, MessageSettings().inputFont.charset); }

// ---- the two ways of showing it ----

int ShowMessageDialog(const std::string& text, const std::string& b1, const std::string& b2, const std::string& b3) {
  CMessageDialog d;
  d.SetMessage(text, b1, b2, b3);
  d.Layout(DrawingMetrics(), Graphics().RegionWidth(), Graphics().RegionHeight());
  RunModal(d);
  return d.Result();
}

std::string ShowInputDialog(const std::string& text, const std::string& def) {
  CMessageDialog d;
  d.SetInput(text, def);
  d.Layout(DrawingMetrics(), Graphics().RegionWidth(), Graphics().RegionHeight());
  RunModal(d);
  return d.InputResult();
}

}  // namespace kestro::dialogs
