#include "splash/Splash.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "dialogs/DialogDraw.h"
#include "dialogs/ModalLoop.h"
#include "files/GameNames.h"
#include "graphics/Clock.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "io/Messages.h"
#include "platform/posix/Files.h"
#include "resources/Bitmap32.h"
#include "resources/GameResources.h"
#include "script/Numeric.h"
#include "script/builtins/BuiltinError.h"
#include "splash/RichText.h"

namespace kestro::splash {

namespace {

RSplashSettings g_settings;
// Where the last splash window was: the position setting -1 keeps it.
int g_windowLeft = -1, g_windowTop = -1;
bool g_showing = false;
std::function<void(const std::string&)> g_notice;

// Texts and game information files are read whole, up to this size.
constexpr uint64_t kMaxTextFile = 64ull << 20;
// The margin between a text's panel and its lines.
constexpr int kTextMargin = 4;
// The background of a text shown by splash_show_text: pale yellow.
constexpr int32_t kTextBackground = 0xE1FFFF;

RRectI Clip(RRectI r, int w, int h) {
  const int x0 = std::clamp(r.x, 0, w), y0 = std::clamp(r.y, 0, h);
  const int x1 = std::clamp(r.x + r.w, 0, w), y1 = std::clamp(r.y + r.h, 0, h);
  return {x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

RSplashSettings& SplashSettings() { return g_settings; }

void ResetSplashSettings() {
  g_settings = RSplashSettings();
  g_windowLeft = g_windowTop = -1;
}

void SetSplashNotice(std::function<void(const std::string&)> notice) { g_notice = std::move(notice); }

void SplashNotice(const std::string& text) {
  if (g_notice) {
    g_notice(text);
    return;
  }
  std::fprintf(stderr, "[kestro] %s\n", text.c_str());
  std::fflush(stderr);
}

bool SplashShowing() { return g_showing; }

RSplashLayout LayoutSplash(const RSplashSettings& s, int regionW, int regionH, int itemW, int itemH) {
  RSplashLayout out;
  out.embedded = s.main;
  regionW = std::max(regionW, 1);
  regionH = std::max(regionH, 1);
  const bool ownWindow = !s.main && !s.fullScreen;
  if (ownWindow) {
    out.window.w = std::clamp(s.width, 1, regionW);
    out.window.h = std::clamp(s.height, 1, regionH);
  } else {
    out.window = {0, 0, regionW, regionH};
  }
  if (itemW > 0 && itemH > 0) {
    out.scale = s.scale > 0 ? s.scale : std::min(double(out.window.w) / itemW, double(out.window.h) / itemH);
    out.item.w = int(std::clamp<int64_t>(RoundToInt64(itemW * out.scale), 0, 1 << 20));
    out.item.h = int(std::clamp<int64_t>(RoundToInt64(itemH * out.scale), 0, 1 << 20));
    out.stretched = out.scale != 1;
    if (ownWindow && s.adapt) {
      // The window's client area takes the item's size (within the game's region).
      out.window.w = std::clamp(out.item.w, 1, regionW);
      out.window.h = std::clamp(out.item.h, 1, regionH);
    }
  }
  if (ownWindow) {
    // Kept inside the game window, where it is drawn.
    const int x = s.left >= 0 ? s.left : g_windowLeft >= 0 ? g_windowLeft : (regionW - out.window.w) / 2;
    const int y = s.top >= 0 ? s.top : g_windowTop >= 0 ? g_windowTop : (regionH - out.window.h) / 2;
    out.window.x = std::clamp(x, 0, regionW - out.window.w);
    out.window.y = std::clamp(y, 0, regionH - out.window.h);
    out.border = s.border;
  }
  if (itemW > 0 && itemH > 0) {
    out.item.x = out.window.x + (out.window.w - out.item.w) / 2;
    out.item.y = out.window.y + (out.window.h - out.item.h) / 2;
  }
  if (s.closeButton)
    out.closeButton = {out.window.x + out.window.w - kCloseButtonSize, out.window.y, kCloseButtonSize,
                       kCloseButtonSize};
  return out;
}

namespace {

// What ends a splash besides its timer.
struct RRules {
  bool stopKey = true;          // Escape
  bool escapeOnRelease = true;  // in the game window Escape ends it when released
  bool anyKeyUp = false;        // the game information in the game window: any key released
  bool stopMouse = true;
  int64_t deadline = -1;  // on the step clock, microseconds; -1 none
};

// One splash on the screen: its events, what ends it, and its drawing.
class CSplashView final : public dialogs::IModalView {
 public:
  CSplashView(RSplashLayout layout, RRules rules, std::function<void()> draw, std::string describe)
      : layout_(layout), rules_(rules), draw_(std::move(draw)), describe_(std::move(describe)) {}

  void Feed(const RInputEvent& e) override {
    switch (e.kind) {
      case RInputEvent::kMouse:
        mx_ = e.x;
        my_ = e.y;
        known_ = true;
        break;
      case RInputEvent::kKeyDown:
        if (e.value == 27 && rules_.stopKey && !rules_.escapeOnRelease) End(ESplashEnd::kKey);
        if (e.value == 38 || e.value == 40) scroll_ += e.value == 38 ? -kScrollStep : kScrollStep;
        break;
      case RInputEvent::kKeyUp:
        if (rules_.anyKeyUp || (e.value == 27 && rules_.stopKey && rules_.escapeOnRelease)) End(ESplashEnd::kKey);
        break;
      case RInputEvent::kWheel: scroll_ += e.value > 0 ? -kScrollStep : kScrollStep; break;
      case RInputEvent::kButtonDown:
        if (layout_.closeButton.w > 0 && known_ && layout_.closeButton.Contains(mx_, my_))
          End(ESplashEnd::kCloseButton);
        else if (rules_.stopMouse && (!known_ || layout_.window.Contains(mx_, my_)))
          End(ESplashEnd::kMouse);
        break;
      case RInputEvent::kClose: End(ESplashEnd::kWindowClose); break;
      default: break;
    }
  }
  bool Done() const override { return done_; }
  void Draw() override {
    if (draw_) draw_();
  }
  void Answer(const std::string&) override { End(ESplashEnd::kNoInput); }
  void Cancel() override { End(ESplashEnd::kNoInput); }
  std::string Describe() const override { return describe_; }

  void End(ESplashEnd how) {
    if (done_) return;
    done_ = true;
    end_ = how;
  }
  ESplashEnd How() const { return end_; }
  int Scroll() const { return scroll_; }
  void ClampScroll(int max) { scroll_ = std::clamp(scroll_, 0, std::max(max, 0)); }
  const RRules& Rules() const { return rules_; }

 private:
  static constexpr int kScrollStep = 16;
  RSplashLayout layout_;
  RRules rules_;
  std::function<void()> draw_;
  std::string describe_;
  bool done_ = false;
  ESplashEnd end_ = ESplashEnd::kNoInput;
  double mx_ = 0, my_ = 0;
  bool known_ = false;
  int scroll_ = 0;
};

// The panel's background, the frame of a window of its own and the close button.
void DrawPanel(const RSplashLayout& l, int32_t colour) {
  if (l.border) {
    const RRectI& w = l.window;
    dialogs::FillRect({w.x - 1, w.y - 1, w.w + 2, w.h + 2}, 0x808080, 1);
  }
  dialogs::FillRect(l.window, colour, 1);
}

void DrawCloseButton(const RSplashLayout& l) {
  const RRectI& b = l.closeButton;
  if (b.w <= 0) return;
  dialogs::FillRect(b, 0xC0C0C0, 1);
  dialogs::FillRect({b.x, b.y, b.w, 1}, 0xFFFFFF, 1);
  dialogs::FillRect({b.x, b.y, 1, b.h}, 0xFFFFFF, 1);
  dialogs::FillRect({b.x, b.y + b.h - 1, b.w, 1}, 0x404040, 1);
  dialogs::FillRect({b.x + b.w - 1, b.y, 1, b.h}, 0x404040, 1);
  const uint32_t c = VertexColour(0, 1);
  CGraphics& g = Graphics();
  for (int d = 0; d < 2; ++d) {
    g.DrawLine(b.x + 7 + d, b.y + 7, b.x + b.w - 7 + d, b.y + b.h - 7, c, c);
    g.DrawLine(b.x + b.w - 7 + d, b.y + 7, b.x + 7 + d, b.y + b.h - 7, c, c);
  }
}

// Shows a splash until it ends. `embedded` sets the game window's colour meanwhile; `cursor`
// off hides the pointer.
ESplashEnd RunSplash(CSplashView& view, bool embedded, int32_t colour, bool cursor) {
  g_showing = true;
  CGameWindow* window = GameWindow();
  const int32_t savedColour = window ? window->State().colour : 0;
  const int savedCursor = window ? window->Cursor() : 0;
  if (window) {
    if (embedded) window->SetColour(colour);
    if (!cursor) window->SetCursor(-1);
  }
  {
    dialogs::CModalFrame frame;
    frame.Show(view);
    std::vector<RInputEvent> events;
    CStepClock& clock = StepClock();
    while (!view.Done()) {
      events.clear();
      if (!dialogs::DialogEvents().Poll(events)) {
        // Nobody can end it: a run never waits on a splash nobody sees.
        view.End(ESplashEnd::kNoInput);
        SplashNotice(view.Describe() + " (no input: ended)");
        break;
      }
      const int scroll = view.Scroll();
      for (RInputEvent e : events) {
        if (view.Done()) break;
        if (e.kind == RInputEvent::kMouse) {
          Input().MouseMove(e.x, e.y);
          dialogs::ClientToRegionPoint(e.x, e.y, e.x, e.y);
        }
        view.Feed(e);
      }
      if (!view.Done() && view.Rules().deadline >= 0 && clock.MicrosecondClock() >= view.Rules().deadline)
        view.End(ESplashEnd::kTimer);
      if (!view.Done() && (!events.empty() || view.Scroll() != scroll)) frame.Show(view);
    }
  }
  if (window) {
    if (embedded) window->SetColour(savedColour);
    if (!cursor) window->SetCursor(savedCursor);
  }
  g_showing = false;
  return view.How();
}

RRules RulesFor(const RSplashSettings& s, double delayMs) {
  RRules r;
  r.stopKey = s.stopKey;
  r.escapeOnRelease = s.main;
  r.stopMouse = s.stopMouse;
  if (delayMs > 0) r.deadline = StepClock().MicrosecondClock() + int64_t(std::min(delayMs, 1e12) * 1000);
  return r;
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// A text in the panel, lines laid out at the panel's width and scrolled by the view.
ESplashEnd ShowTextIn(const RSplashLayout& layout, const RRules& rules, const std::string& text, int32_t background,
                      bool embedded, int32_t windowColour, bool cursor, const std::string& describe) {
  const std::vector<RTextParagraph> paragraphs = ParseRichText(text);
  const RTextLayout lines = LayoutRichText(paragraphs, layout.window.w - 2 * kTextMargin, dialogs::DrawingMetrics());
  CSplashView* self = nullptr;
  auto draw = [&] {
    CGraphics& g = Graphics();
    DrawPanel(layout, background);
    self->ClampScroll(lines.height + 2 * kTextMargin - layout.window.h);
    const RRectI clip = Clip(layout.window, g.RegionWidth(), g.RegionHeight());
    if (clip.w > 0 && clip.h > 0) {
      const CGraphics::RViewState view = g.SaveView();
      // Lines drawn in the panel's own coordinates, cut at its edges.
      g.SetViewport(clip.x, clip.y, clip.w, clip.h);
      g.SetProjection(clip.x - layout.window.x, clip.y - layout.window.y, clip.w, clip.h, 0);
      const int top = kTextMargin - self->Scroll();
      for (const RPlacedText& piece : lines.pieces) {
        if (piece.y + top + piece.h < 0 || piece.y + top > layout.window.h) continue;
        dialogs::DrawTextLine(piece.font, piece.text, kTextMargin + piece.x, top + piece.y, piece.font.colour, 1);
        if (piece.underline)
          dialogs::FillRect({kTextMargin + piece.x, top + piece.y + piece.h - 2, piece.w, 1}, piece.font.colour, 1);
      }
      g.RestoreView(view);
    }
    DrawCloseButton(layout);
  };
  CSplashView view(layout, rules, draw, describe);
  self = &view;
  return RunSplash(view, embedded, windowColour, cursor);
}

}  // namespace

ESplashEnd ShowImage(const std::string& fname, double delayMs) {
  const std::string path = files::GamePath(fname);
  if (!FileExists(path)) {
    ReportBuiltinError("Image file not found.");
    Input().Clear();
    return ESplashEnd::kNotShown;
  }
  TBitmap32 picture;
  if (!picture.LoadFromImageFile(path)) {
    ReportBuiltinError("Image file could not be read: " + fname);
    Input().Clear();
    return ESplashEnd::kNotShown;
  }
  const RSplashSettings& s = g_settings;
  CGraphics& g = Graphics();
  const RSplashLayout layout = LayoutSplash(s, g.RegionWidth(), g.RegionHeight(), picture.Width(), picture.Height());
  if (!layout.embedded && !s.fullScreen) g_windowLeft = layout.window.x, g_windowTop = layout.window.y;
  int tex = -1;
  if (g.HasDevice())
    tex =
        g.TextureCreateFromPixels(picture.Width(), picture.Height(), reinterpret_cast<const uint8_t*>(picture.Data()));
  auto draw = [&] {
    DrawPanel(layout, s.colour);
    if (tex >= 0)
      Graphics().DrawTexture(tex, 0xFFFFFF, 0, 0, layout.item.x, layout.item.y, double(layout.item.w) / picture.Width(),
                             double(layout.item.h) / picture.Height(), 0, 1);
    DrawCloseButton(layout);
  };
  CSplashView view(layout, RulesFor(s, delayMs), draw, "splash image \"" + fname + "\"");
  const ESplashEnd end = RunSplash(view, layout.embedded, s.colour, s.cursor);
  if (tex >= 0) g.TextureFree(tex);
  Input().Clear();
  return end;
}

ESplashEnd ShowText(const std::string& fname, double delayMs, int32_t background) {
  const std::string path = files::GamePath(fname);
  std::vector<uint8_t> bytes;
  if (!FileExists(path) || os::ReadFile(path, bytes, kMaxTextFile) != os::ReadStatus::kOk) {
    ReportBuiltinError("Text file not found.");
    Input().Clear();
    return ESplashEnd::kNotShown;
  }
  const RSplashSettings& s = g_settings;
  const CGraphics& g = Graphics();
  const RSplashLayout layout = LayoutSplash(s, g.RegionWidth(), g.RegionHeight(), 0, 0);
  if (!layout.embedded && !s.fullScreen) g_windowLeft = layout.window.x, g_windowTop = layout.window.y;
  const std::string text(bytes.begin(), bytes.end());
  // The text area has a pale yellow of its own; show_text gives it the background colour instead.
  if (background < 0) background = kTextBackground;
  const ESplashEnd end = ShowTextIn(layout, RulesFor(s, delayMs), text, background, layout.embedded, s.colour, s.cursor,
                                    "splash text \"" + fname + "\"");
  Input().Clear();
  return end;
}

ESplashEnd ShowVideo(const std::string& fname, bool loop) {
  const std::string path = files::GamePath(fname);
  if (fname.size() >= 127 || !FileExists(path)) {
    ReportBuiltinError("Video file not found (or name too long).");
    Input().Clear();
    return ESplashEnd::kNotShown;
  }
  SplashNotice("splash video \"" + fname + "\"" + (loop ? " (looping)" : "") +
               ": videos cannot be played on this system; skipped as if stopped");
  Input().Clear();
  return ESplashEnd::kNotShown;
}

ESplashEnd ShowWeb(const std::string& url, double) {
  SplashNotice("splash web page \"" + url + "\": web pages cannot be shown on this system; skipped as if stopped");
  Input().Clear();
  return ESplashEnd::kNotShown;
}

ESplashEnd ShowGameInformation() {
  const CGameInformation& info = GameInformation();
  const CGraphics& g = Graphics();
  // The window's settings as a splash's: its size within the region, centred when its position
  // is negative; the text area in the information's colour.
  RSplashSettings s;
  s.main = info.showInGameWindow;
  s.fullScreen = false;
  s.width = info.width;
  s.height = info.height;
  s.left = info.left >= 0 ? info.left : (g.RegionWidth() - std::min(info.width, g.RegionWidth())) / 2;
  s.top = info.top >= 0 ? info.top : (g.RegionHeight() - std::min(info.height, g.RegionHeight())) / 2;
  s.border = info.showBorder;
  s.closeButton = !info.showInGameWindow;
  RSplashLayout layout = LayoutSplash(s, g.RegionWidth(), g.RegionHeight(), 0, 0);
  RRules rules;
  rules.stopKey = true;
  rules.escapeOnRelease = false;
  rules.anyKeyUp = info.showInGameWindow;
  rules.stopMouse = false;
  const std::string caption = info.caption.empty() ? std::string("Game Information") : info.caption;
  const ESplashEnd end = ShowTextIn(layout, rules, info.text, info.backgroundColor, info.showInGameWindow,
                                    info.backgroundColor, true, "game information \"" + caption + "\"");
  // Where nobody can see it, its text goes the way of messages (standard error).
  if (end == ESplashEnd::kNoInput) {
    const std::string body = RichTextToPlain(info.text);
    ShowMessage(body.empty() ? caption : caption + "\n\n" + body);
  }
  Input().Clear();
  return end;
}

bool LoadGameInformation(const std::string& fname) {
  std::vector<uint8_t> bytes;
  if (os::ReadFile(files::GamePath(fname), bytes, kMaxTextFile) != os::ReadStatus::kOk) return false;
  GameInformation().text.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace kestro::splash
