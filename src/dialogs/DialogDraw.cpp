#include "dialogs/DialogDraw.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>

#include "graphics/Graphics.h"
#include "resources/Font.h"
#include "resources/Typeface.h"

namespace kestro::dialogs {

namespace {

// ---- the built-in pictures ----

TColor32 Rgb(int r, int g, int b, int a = 255) {
  return {uint8_t(std::clamp(b, 0, 255)), uint8_t(std::clamp(g, 0, 255)), uint8_t(std::clamp(r, 0, 255)), uint8_t(a)};
}

int Mix(int a, int b, double t) { return int(std::lround(a + (b - a) * t)); }

// A rounded shape's coverage of pixel (x, y) in a w x h box with corner radius rad.
bool InsideRounded(int x, int y, int w, int h, int rad) {
  int cx = x < rad ? rad : x >= w - rad ? w - rad - 1 : x;
  int cy = y < rad ? rad : y >= h - rad ? h - rad - 1 : y;
  int dx = x - cx, dy = y - cy;
  return dx * dx + dy * dy <= rad * rad;
}

TBitmap32 MakeBackground() {
  const int w = kBuiltinBackWidth, h = kBuiltinBackHeight;
  TBitmap32 bm(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double t = double(y) / (h - 1);
      TColor32 c = Rgb(Mix(52, 22, t), Mix(64, 28, t), Mix(88, 40, t));
      if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
        c = Rgb(120, 140, 180);
      else if (y == 1)
        c = Rgb(90, 106, 140);
      bm.Data()[size_t(y) * size_t(w) + size_t(x)] = c;
    }
  return bm;
}

// State 0 normal, 1 mouse inside, 2 pressed.
TBitmap32 MakeButton(int state) {
  const int w = kButtonWidth, h = kButtonHeight, rad = 5;
  TBitmap32 bm(w, h);  // transparent where nothing is drawn (the corners)
  const int top[3][3] = {{70, 96, 150}, {92, 124, 190}, {30, 44, 80}};
  const int bottom[3][3] = {{36, 50, 90}, {50, 72, 130}, {56, 78, 130}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!InsideRounded(x, y, w, h, rad)) continue;
      double t = double(y) / (h - 1);
      TColor32 c = Rgb(Mix(top[state][0], bottom[state][0], t), Mix(top[state][1], bottom[state][1], t),
                       Mix(top[state][2], bottom[state][2], t));
      bool edge = !InsideRounded(x - 1, y, w, h, rad) || !InsideRounded(x + 1, y, w, h, rad) ||
                  !InsideRounded(x, y - 1, w, h, rad) || !InsideRounded(x, y + 1, w, h, rad) || x == 0 || y == 0 ||
                  x == w - 1 || y == h - 1;
      if (edge) c = state == 1 ? Rgb(200, 215, 245) : Rgb(140, 160, 200);
      bm.Data()[size_t(y) * size_t(w) + size_t(x)] = c;
    }
  return bm;
}

// ---- fonts ----

struct RFontKey {
  std::string name;
  int size;
  bool bold, italic;
  auto operator<=>(const RFontKey&) const = default;
};

struct RFontEntry {
  CFont font;
  int generation = -1;
};

std::map<RFontKey, std::unique_ptr<RFontEntry>>& FontCache() {
  static std::map<RFontKey, std::unique_ptr<RFontEntry>> cache;
  return cache;
}

// The font of a dialog font (made on first need; its texture follows the drawing device).
const CFont& FontOf(const RDialogFont& f) {
  auto& slot = FontCache()[RFontKey{f.name, f.size, f.bold, f.italic}];
  // A font made while no typeface could be rendered is made again once one can.
  if (!slot || (slot->font.s_FontHeight == 0 && TypefaceRasterizer())) {
    slot = std::make_unique<RFontEntry>();
    slot->font.CreateFont(f.name, f.size, f.bold, f.italic, 32, 255);
  }
  if (slot->generation != Graphics().Generation()) {
    // The old id belongs to a table that no longer exists.
    slot->font.s_tex = -1;
    if (Graphics().HasDevice()) slot->font.InitTexture();
    slot->generation = Graphics().Generation();
  }
  return slot->font;
}

void Decode(const std::string& s, std::vector<uint32_t>& out) {
  out.clear();
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
    if (i + len > s.size()) len = 1;
    uint32_t c = len == 1 ? b : len == 2 ? b & 0x1Fu : len == 3 ? b & 0x0Fu : b & 0x07u;
    for (size_t k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    out.push_back(c);
    i += len;
  }
}

// Character sizes: the font's, or, when no typeface could be rendered (no rasterizer), a fixed
// measure from the point size so that the layout still has sizes.
int CharWidth(const CFont& f, const RDialogFont& d, uint32_t c) {
  if (f.s_FontHeight > 0) {
    if (c >= uint32_t(std::max(f.s_first, 0)) && int64_t(c) <= f.s_last && c < 256) return f.s_shift[c];
    return f.s_shift[32];
  }
  return std::max(1, FontPixelSize(d.size) / 2);
}

int LineHeightOf(const CFont& f, const RDialogFont& d) {
  return f.s_FontHeight > 0 ? f.s_FontHeight : FontPixelSize(d.size) + 3;
}

// Lines of text broken at line breaks and, within `width`, after spaces and hyphens.
std::vector<std::vector<uint32_t>> Wrap(const CFont& f, const RDialogFont& d, const std::string& text, int width) {
  std::vector<std::vector<uint32_t>> lines;
  std::vector<uint32_t> codes;
  Decode(text, codes);
  std::vector<uint32_t> line, word;
  int lineW = 0, wordW = 0;
  auto flushWord = [&] {
    if (!line.empty() && lineW + wordW > width) {
      lines.push_back(line);
      line.clear();
      lineW = 0;
    }
    line.insert(line.end(), word.begin(), word.end());
    lineW += wordW;
    word.clear();
    wordW = 0;
  };
  for (size_t i = 0; i < codes.size(); ++i) {
    uint32_t c = codes[i];
    if (c == '\r' && i + 1 < codes.size() && codes[i + 1] == '\n') continue;
    if (c == '\n' || c == '\r') {
      flushWord();
      lines.push_back(line);
      line.clear();
      lineW = 0;
      continue;
    }
    word.push_back(c);
    wordW += CharWidth(f, d, c);
    if (c == ' ' || c == '-') flushWord();
  }
  flushWord();
  lines.push_back(line);
  return lines;
}

class CDrawingMetrics final : public ITextMetrics {
 public:
  int WrappedHeight(const RDialogFont& f, const std::string& text, int width) override {
    const CFont& font = FontOf(f);
    return int(Wrap(font, f, text, width).size()) * LineHeightOf(font, f);
  }
  int TextWidth(const RDialogFont& f, const std::string& text) override {
    const CFont& font = FontOf(f);
    std::vector<uint32_t> codes;
    Decode(text, codes);
    int w = 0;
    for (uint32_t c : codes) w += CharWidth(font, f, c);
    return w;
  }
  int LineHeight(const RDialogFont& f) override { return LineHeightOf(FontOf(f), f); }
};

void DrawCodes(const CFont& f, const std::vector<uint32_t>& codes, double x, double y, int32_t colour, double alpha) {
  if (f.s_tex < 0) return;
  CGraphics& g = Graphics();
  const int32_t corners[4] = {colour, colour, colour, colour};
  double pen = 0;
  for (uint32_t c : codes) {
    if (c >= uint32_t(std::max(f.s_first, 0)) && int64_t(c) <= f.s_last && c < 256) {
      if (f.s_w[c] > 0 && f.s_h[c] > 0)
        g.DrawTextureGeneral(f.s_tex, corners, alpha, f.s_x[c], f.s_y[c], f.s_w[c], f.s_h[c],
                             std::floor(x + pen + f.s_offset[c]), std::floor(y), 1, 1, 0);
      pen += f.s_shift[c];
    } else {
      pen += f.s_shift[32];
    }
  }
}

int CodesWidth(const CFont& f, const RDialogFont& d, const std::vector<uint32_t>& codes) {
  int w = 0;
  for (uint32_t c : codes) w += CharWidth(f, d, c);
  return w;
}

// The textures of the current frame's pictures.
struct RFrameTextures {
  int background = -1;
  std::array<int, 3> buttons{-1, -1, -1};
};
RFrameTextures g_textures;

// A picture's texture: opaque unless its transparency is used (then the pixels of the transparent
// colour are see-through too, as with a window's transparent colour).
int MakeTexture(const TBitmap32& source, bool transparent, uint32_t key) {
  if (source.Empty()) return -1;
  TBitmap32 bm = source;
  for (int i = 0; i < bm.Width() * bm.Height(); ++i) {
    TColor32& p = bm.Data()[i];
    if (!transparent)
      p.a = 255;
    else if ((p.Value() & 0xFFFFFF) == key)
      p.a = 0;
  }
  return Graphics().TextureCreateFromPixels(bm.Width(), bm.Height(), reinterpret_cast<const uint8_t*>(bm.Data()));
}

uint32_t BottomLeft(const TBitmap32& bm) { return bm.Empty() ? 0 : bm.GetPixel(0, bm.Height() - 1).Value() & 0xFFFFFF; }

void DrawStretched(int tex, const RRectI& r, double alpha) {
  if (tex < 0) return;
  CGraphics& g = Graphics();
  const RTexture* t = g.Texture(tex);
  double tw = t ? t->w : 1, th = t ? t->h : 1;
  g.DrawTexturePart(tex, 0xFFFFFF, 0, 0, tw, th, r.x, r.y, r.w / std::max(tw, 1.0), r.h / std::max(th, 1.0), 0, alpha);
}

}  // namespace

const TBitmap32& BuiltinBackground() {
  static const TBitmap32 bm = MakeBackground();
  return bm;
}

const std::array<TBitmap32, 3>& BuiltinButtons() {
  static const std::array<TBitmap32, 3> images = {MakeButton(0), MakeButton(1), MakeButton(2)};
  return images;
}

ITextMetrics& DrawingMetrics() {
  static CDrawingMetrics metrics;
  return metrics;
}

void FillRect(const RRectI& r, int32_t colour, double alpha) {
  uint32_t c = VertexColour(colour, alpha);
  const uint32_t cs[4] = {c, c, c, c};
  Graphics().DrawRectangle(r.x, r.y, r.x + r.w - 1, r.y + r.h - 1, cs, false);
}

void DrawTextLine(const RDialogFont& font, const std::string& text, double x, double y, int32_t colour, double alpha) {
  std::vector<uint32_t> codes;
  Decode(text, codes);
  DrawCodes(FontOf(font), codes, x, y, colour, alpha);
}

// ---- the frame ----

struct CModalFrame::RSaved {
  CGraphics::RViewState view;
  RMatrix world;
};

CModalFrame::CModalFrame() {
  CGraphics& g = Graphics();
  if (!g.HasDevice()) return;
  drawing_ = true;
  saved_ = new RSaved{g.SaveView(), g.World()};
  target_ = g.RenderTarget();
  colour_ = g.Colour();
  alpha_ = g.Alpha();
  state_ = g.KeptState();
  mode3d_ = g.Mode3D();
  perspective_ = g.Perspective();
  depth_ = g.Depth();
  // Flat and unlit, whatever the game draws in.
  g.Set3DMode(false, false, false);
  g.SetLightingOn(false);
  g.SetCulling(false);
  g.SetShading(true);
  g.SetFog(false, 0, 0, 0);
  g.SetRenderTarget(-1);
  g.SetWorld(RMatrix::Identity());
  g.SetViewport(0, 0, g.RegionWidth(), g.RegionHeight());
  g.SetProjection(0, 0, g.RegionWidth(), g.RegionHeight(), 0);
  g.SetBlendMode(0);
  g.SetTextureBlending(true);
  g.SetTextureRepeat(false);
  g.SetInterpolation(false);
  g.SetAlpha(1);
  RGrab grab;
  if (g.GrabScreen(0, 0, g.RegionWidth(), g.RegionHeight(), grab) && grab.width > 0 && grab.height > 0)
    backdrop_ = g.TextureCreateFromPixels(grab.width, grab.height, grab.bgra.data());
  const RMessageSettings& s = MessageSettings();
  if (s.background.Empty())
    g_textures.background = MakeTexture(BuiltinBackground(), true, 0xFFFFFFFF);
  else
    g_textures.background = MakeTexture(s.background, s.transparent, s.transparentColour);
  for (size_t k = 0; k < 3; ++k) {
    if (s.buttonImages[0].Empty())
      g_textures.buttons[k] = MakeTexture(BuiltinButtons()[k], true, 0xFFFFFFFF);
    else
      g_textures.buttons[k] =
          MakeTexture(s.buttonImages[k], s.buttonsMasked, s.buttonsMasked ? BottomLeft(s.buttonImages[0]) : 0);
  }
}

CModalFrame::~CModalFrame() {
  if (!drawing_) return;
  CGraphics& g = Graphics();
  // The game's own frame again, without the dialog: the game may go on drawing into it in the same
  // step, and it is what the window shows until the next frame.
  if (backdrop_ >= 0) {
    g.SetBlendFactors(kBlendOne, kBlendZero);
    g.DrawTexture(backdrop_, 0xFFFFFF, 0, 0, 0, 0, 1, 1, 0, 1);
    g.PresentFrame();
  }
  for (int* t :
       {&backdrop_, &g_textures.background, &g_textures.buttons[0], &g_textures.buttons[1], &g_textures.buttons[2]}) {
    if (*t >= 0) g.TextureFree(*t);
    *t = -1;
  }
  g.SetRenderTarget(target_);
  g.Set3DMode(mode3d_, state_.depthTest, perspective_);
  g.SetDepth(depth_);
  g.SetLightingOn(state_.lighting);
  g.SetCulling(state_.cullCCW);
  g.SetShading(state_.gouraud);
  const uint32_t fog = state_.fogColour;
  g.SetFog(state_.fog, int32_t(((fog >> 16) & 0xFF) | (fog & 0xFF00) | ((fog & 0xFF) << 16)), state_.fogStart,
           state_.fogEnd);
  g.RestoreView(saved_->view);
  g.SetWorld(saved_->world);
  g.SetColour(colour_);
  g.SetAlpha(alpha_);
  g.SetBlendFactors(state_.srcBlend, state_.destBlend);
  g.SetInterpolation(state_.linearFilter);
  g.SetTextureBlending(state_.modulate);
  g.SetTextureRepeat(state_.wrap);
  delete saved_;
}

void CModalFrame::Show(IModalView& view) {
  if (!drawing_) return;
  CGraphics& g = Graphics();
  g.ClearScreen(0);
  g.SetBlendMode(0);
  if (backdrop_ >= 0) g.DrawTexture(backdrop_, 0xFFFFFF, 0, 0, 0, 0, 1, 1, 0, 1);
  view.Draw();
  g.PresentFrame();
}

// ---- the message dialog ----

void DrawMessageDialog(const CMessageDialog& d) {
  const RMessageSettings& s = MessageSettings();
  const double alpha = s.alpha < 255 ? std::max(s.alpha, 0) / 255.0 : 1.0;
  const RRectI c = d.Client();
  if (s.border) {
    FillRect(d.Window(), 0xC0C0C0, alpha);
    FillRect({d.Window().x + kFrame, d.Window().y + kFrame, d.Window().w - 2 * kFrame, kCaptionBar}, 0x6A2400, alpha);
    RDialogFont captionFont;
    captionFont.bold = true;
    DrawTextLine(captionFont, s.caption, d.Window().x + kFrame + 4, d.Window().y + kFrame + 3, 0xFFFFFF, alpha);
  }
  DrawStretched(g_textures.background, c, alpha);

  const CFont& textFont = FontOf(s.textFont);
  const RRectI lb = d.LabelBox();
  double y = c.y + lb.y;
  for (const std::vector<uint32_t>& line : Wrap(textFont, s.textFont, d.LabelText() + " ", std::max(lb.w, 1))) {
    DrawCodes(textFont, line, c.x + lb.x, y, s.textFont.colour, alpha);
    y += LineHeightOf(textFont, s.textFont);
  }

  if (d.InputVisible()) {
    const RRectI ib = d.InputBox();
    const RRectI box{c.x + ib.x, c.y + ib.y, ib.w, ib.h};
    FillRect(box, s.inputColour, alpha);
    const CFont& inputFont = FontOf(s.inputFont);
    std::vector<uint32_t> all, before;
    Decode(d.InputText(), all);
    Decode(d.InputText().substr(0, d.Caret()), before);
    const double tx = box.x + 3, ty = box.y + 3;
    if (d.InputSelected() && !all.empty())
      FillRect({int(tx), int(ty), CodesWidth(inputFont, s.inputFont, all), LineHeightOf(inputFont, s.inputFont)},
               0xD77800, alpha);
    DrawCodes(inputFont, all, tx, ty, s.inputFont.colour, alpha);
    if (!d.InputSelected())
      FillRect({int(tx) + CodesWidth(inputFont, s.inputFont, before), int(ty), 1, LineHeightOf(inputFont, s.inputFont)},
               s.inputFont.colour, alpha);
  }

  const CFont& buttonFont = FontOf(s.buttonFont);
  for (int k = 1; k <= 3; ++k) {
    const RDialogButton& b = d.Button(k);
    if (!b.visible) continue;
    const RRectI box{c.x + b.box.x, c.y + b.box.y, b.box.w, b.box.h};
    const int image = b.down && b.inside ? 2 : b.inside ? 1 : 0;
    DrawStretched(g_textures.buttons[size_t(image)], box, alpha);
    std::vector<uint32_t> codes;
    Decode(ShownText(b.text), codes);
    const int w = CodesWidth(buttonFont, s.buttonFont, codes), h = LineHeightOf(buttonFont, s.buttonFont);
    DrawCodes(buttonFont, codes, box.x + (box.w - w) / 2, box.y + (box.h - h) / 2,
              b.inside ? s.mouseColour : s.buttonFont.colour, alpha);
  }
}

// ---- the pop-up menu ----

void DrawPopupMenu(const CPopupMenu& m) {
  const RMessageSettings& s = MessageSettings();
  RDialogFont font = s.buttonFont;
  font.bold = false;
  const RRectI box = m.Box();
  FillRect(box, 0x707070, 1);
  FillRect({box.x + 1, box.y + 1, box.w - 2, box.h - 2}, 0xF0F0F0, 1);
  const CFont& f = FontOf(font);
  const auto& items = m.Items();
  for (size_t i = 0; i < items.size(); ++i) {
    const RMenuItem& item = items[i];
    if (item.number < 0) {
      FillRect({item.box.x + 4, item.box.y + item.box.h / 2, item.box.w - 8, 1}, 0xA0A0A0, 1);
      continue;
    }
    const bool hot = int(i) == m.Highlighted();
    if (hot) FillRect(item.box, 0xD77800, 1);
    DrawTextLine(font, ShownText(item.text), item.box.x + CPopupMenu::kPadding - 2,
                 item.box.y + (item.box.h - LineHeightOf(f, font)) / 2, hot ? 0xFFFFFF : 0x000000, 1);
  }
}

}  // namespace kestro::dialogs
