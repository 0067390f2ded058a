#include "dialogs/PopupMenu.h"

#include <algorithm>
#include <cctype>

#include "dialogs/DialogDraw.h"
#include "graphics/Graphics.h"

namespace kestro::dialogs {

namespace {
constexpr int kKeyEnter = 13, kKeyEscape = 27, kKeyUp = 38, kKeyDown = 40;
}

std::vector<RMenuItem> ParseMenu(const std::string& text) {
  std::vector<RMenuItem> items;
  int next = 0;
  size_t start = 0;
  while (true) {
    size_t bar = text.find('|', start);
    RMenuItem item;
    item.text = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
    if (item.text != "-") item.number = next++;
    items.push_back(std::move(item));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return items;
}

void CPopupMenu::Layout(ITextMetrics& metrics, double x, double y, int screenW, int screenH) {
  const RDialogFont& font = MessageSettings().buttonFont;
  int width = kMinWidth;
  for (const RMenuItem& item : items_)
    if (item.number >= 0) width = std::max(width, metrics.TextWidth(font, ShownText(item.text)) + 2 * kPadding);
  int height = 4;
  for (const RMenuItem& item : items_) height += item.number >= 0 ? kItemHeight : kSeparatorHeight;
  int left = int(std::clamp(x, -1e9, 1e9)), top = int(std::clamp(y, -1e9, 1e9));
  // Kept inside the screen where it fits, as pop-up menus open towards the free side.
  if (left + width > screenW) left = std::max(0, left - width);
  if (top + height > screenH) top = std::max(0, top - height);
  left = std::max(left, 0);
  top = std::max(top, 0);
  box_ = {left, top, width, height};
  int at = top + 2;
  for (RMenuItem& item : items_) {
    int h = item.number >= 0 ? kItemHeight : kSeparatorHeight;
    item.box = {left + 2, at, width - 4, h};
    at += h;
  }
}

void CPopupMenu::Choose(int index) {
  if (index < 0 || size_t(index) >= items_.size() || items_[size_t(index)].number < 0) return;
  result_ = items_[size_t(index)].number;
  done_ = true;
}

void CPopupMenu::Move(int direction) {
  const int n = int(items_.size());
  int at = hot_;
  for (int k = 0; k < n; ++k) {
    at = at < 0 ? (direction > 0 ? 0 : n - 1) : (at + direction + n) % n;
    if (items_[size_t(at)].number >= 0) {
      hot_ = at;
      return;
    }
  }
}

void CPopupMenu::Feed(const RInputEvent& e) {
  if (done_) return;
  switch (e.kind) {
    case RInputEvent::kMouse:
      x_ = e.x;
      y_ = e.y;
      hot_ = -1;
      for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].number >= 0 && items_[i].box.Contains(x_, y_)) hot_ = int(i);
      break;
    case RInputEvent::kButtonDown:
      // A press outside closes the menu without a choice; inside, the release chooses.
      if (!box_.Contains(x_, y_))
        done_ = true;
      else
        pressed_ = true;
      break;
    case RInputEvent::kButtonUp:
      if (pressed_)
        for (size_t i = 0; i < items_.size(); ++i)
          if (items_[i].box.Contains(x_, y_)) Choose(int(i));
      pressed_ = false;
      break;
    case RInputEvent::kKeyDown:
      if (e.value == kKeyEscape) done_ = true;
      if (e.value == kKeyEnter) Choose(hot_);
      if (e.value == kKeyUp) Move(-1);
      if (e.value == kKeyDown) Move(1);
      break;
    case RInputEvent::kChar:
      // Letters marked with "&" choose their item; none are assigned by themselves.
      if (e.value > 32 && e.value < 0x110000)
        for (size_t i = 0; i < items_.size(); ++i) {
          uint32_t k = ShortKeyOf(items_[i].text);
          auto up = [](int64_t c) { return c < 128 ? std::toupper(int(c)) : int(c); };
          if (items_[i].number >= 0 && k != 0 && up(k) == up(e.value)) return Choose(int(i));
        }
      break;
    case RInputEvent::kClose: done_ = true; break;
    default: break;
  }
}

void CPopupMenu::Draw() { DrawPopupMenu(*this); }

void CPopupMenu::Answer(const std::string& answer) {
  char* end = nullptr;
  long n = std::strtol(answer.c_str(), &end, 10);
  if (!answer.empty() && *end == '\0')
    for (const RMenuItem& item : items_)
      if (item.number == n) result_ = int(n);
  done_ = true;
}

std::string CPopupMenu::Describe() const {
  std::string d = "menu \"";
  for (size_t i = 0; i < items_.size(); ++i) d += (i ? "|" : "") + items_[i].text;
  return d + "\" -> " + std::to_string(result_);
}

int ShowMenu(const std::string& text, int def, double x, double y) {
  CPopupMenu menu(text, def);
  menu.Layout(DrawingMetrics(), x, y, Graphics().RegionWidth(), Graphics().RegionHeight());
  RunModal(menu);
  return menu.Result();
}

}  // namespace kestro::dialogs
