// The drawing functions of game code: colours and the drawing state, primitives and the shapes
// made of them, user primitives, sprites and backgrounds in all their forms, textures, and the
// screen (redrawing, refreshing, saving, reading a pixel). Positions and sizes are reals;
// indices, frames and colours are rounded, flags true from 0.5.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Bindings.h"
#include "graphics/Colours.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/RoomDraw.h"
#include "graphics/SpriteDraw.h"
#include "graphics/Surfaces.h"
#include "resources/GameResources.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/GameState.h"
#include "world/Instance.h"
#include "world/World.h"

namespace kestro {

namespace {

double D(const RValue& v) { return v.val; }
int32_t Col(const RValue& v) { return int32_t(ArgInt(v)); }
void SetReal(RValue& r, double v) { r = RValue::Real(v); }
CGraphics& G() { return Graphics(); }

// --- colours and state ---

KESTRO_BUILTIN(DrawSetColor) { G().SetColour(Col(a[0])); }
KESTRO_BUILTIN(DrawSetAlpha) { G().SetAlpha(D(a[0])); }
KESTRO_BUILTIN(DrawGetColor) { SetReal(r, G().Colour()); }
KESTRO_BUILTIN(DrawGetAlpha) { SetReal(r, G().Alpha()); }
KESTRO_BUILTIN(MakeColorRgb) { SetReal(r, double(MakeColourRgb(ArgInt(a[0]), ArgInt(a[1]), ArgInt(a[2])))); }
KESTRO_BUILTIN(MakeColorHsv) { SetReal(r, double(MakeColourHsv(ArgInt(a[0]), ArgInt(a[1]), ArgInt(a[2])))); }
KESTRO_BUILTIN(ColorGetRed) { SetReal(r, double(ColourRed(ArgInt(a[0])))); }
KESTRO_BUILTIN(ColorGetGreen) { SetReal(r, double(ColourGreen(ArgInt(a[0])))); }
KESTRO_BUILTIN(ColorGetBlue) { SetReal(r, double(ColourBlue(ArgInt(a[0])))); }
int Hsv(const RValue& v, int which) {
  int h = 0, s = 0, val = 0;
  ColourToHsv(ArgInt(v), h, s, val);
  return which == 0 ? h : which == 1 ? s : val;
}
KESTRO_BUILTIN(ColorGetHue) { SetReal(r, Hsv(a[0], 0)); }
KESTRO_BUILTIN(ColorGetSaturation) { SetReal(r, Hsv(a[0], 1)); }
KESTRO_BUILTIN(ColorGetValue) { SetReal(r, Hsv(a[0], 2)); }
KESTRO_BUILTIN(MergeColor) { SetReal(r, double(MergeColour(ArgInt(a[0]), ArgInt(a[1]), D(a[2])))); }
KESTRO_BUILTIN(DrawSetBlendMode) { G().SetBlendMode(int(ArgInt(a[0]))); }
KESTRO_BUILTIN(DrawSetBlendModeExt) { G().SetBlendFactors(int(ArgInt(a[0])), int(ArgInt(a[1]))); }
KESTRO_BUILTIN(DrawSetCirclePrecision) { G().SetCirclePrecision(int(std::clamp<int64_t>(ArgInt(a[0]), -1000, 1000))); }

// --- primitives ---

uint32_t Dc() { return G().DrawColour(); }
uint32_t Ca(const RValue& v) { return G().ColourWithAlpha(Col(v)); }

KESTRO_BUILTIN(DrawClear) { G().ClearScreen(Col(a[0])); }
KESTRO_BUILTIN(DrawClearAlpha) { G().ClearScreen(Col(a[0]), D(a[1])); }
KESTRO_BUILTIN(DrawPoint) { G().DrawPoint(D(a[0]), D(a[1]), Dc()); }
KESTRO_BUILTIN(DrawPointColor) { G().DrawPointColour(D(a[0]), D(a[1]), Ca(a[2])); }
KESTRO_BUILTIN(DrawLine) { G().DrawLine(D(a[0]), D(a[1]), D(a[2]), D(a[3]), Dc(), Dc()); }
KESTRO_BUILTIN(DrawLineColor) { G().DrawLine(D(a[0]), D(a[1]), D(a[2]), D(a[3]), Ca(a[4]), Ca(a[5])); }
KESTRO_BUILTIN(DrawLineWidth) { G().DrawLineWidth(D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), Dc(), Dc()); }
KESTRO_BUILTIN(DrawLineWidthColor) {
  G().DrawLineWidth(D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), Ca(a[5]), Ca(a[6]));
}
KESTRO_BUILTIN(DrawRectangle) {
  uint32_t c[4] = {Dc(), Dc(), Dc(), Dc()};
  G().DrawRectangle(D(a[0]), D(a[1]), D(a[2]), D(a[3]), c, ArgBool(a[4]));
}
KESTRO_BUILTIN(DrawRectangleColor) {
  uint32_t c[4] = {Ca(a[4]), Ca(a[5]), Ca(a[6]), Ca(a[7])};
  G().DrawRectangle(D(a[0]), D(a[1]), D(a[2]), D(a[3]), c, ArgBool(a[8]));
}
KESTRO_BUILTIN(DrawRoundrect) {
  G().DrawRoundRect(D(a[0]), D(a[1]), D(a[2]), D(a[3]), 10, 10, Dc(), Dc(), ArgBool(a[4]));
}
KESTRO_BUILTIN(DrawRoundrectColor) {
  G().DrawRoundRect(D(a[0]), D(a[1]), D(a[2]), D(a[3]), 10, 10, Ca(a[4]), Ca(a[5]), ArgBool(a[6]));
}
KESTRO_BUILTIN(DrawTriangle) {
  G().DrawTriangle(D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), Dc(), Dc(), Dc(), ArgBool(a[6]));
}
KESTRO_BUILTIN(DrawTriangleColor) {
  G().DrawTriangle(D(a[0]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), Ca(a[6]), Ca(a[7]), Ca(a[8]), ArgBool(a[9]));
}
KESTRO_BUILTIN(DrawCircle) {
  double x = D(a[0]), y = D(a[1]), rr = D(a[2]);
  G().DrawEllipse(x - rr, y - rr, x + rr, y + rr, Dc(), Dc(), ArgBool(a[3]));
}
KESTRO_BUILTIN(DrawCircleColor) {
  double x = D(a[0]), y = D(a[1]), rr = D(a[2]);
  G().DrawEllipse(x - rr, y - rr, x + rr, y + rr, Ca(a[3]), Ca(a[4]), ArgBool(a[5]));
}
KESTRO_BUILTIN(DrawEllipse) { G().DrawEllipse(D(a[0]), D(a[1]), D(a[2]), D(a[3]), Dc(), Dc(), ArgBool(a[4])); }
KESTRO_BUILTIN(DrawEllipseColor) {
  G().DrawEllipse(D(a[0]), D(a[1]), D(a[2]), D(a[3]), Ca(a[4]), Ca(a[5]), ArgBool(a[6]));
}

KESTRO_BUILTIN(DrawArrow) {
  double x1 = D(a[0]), y1 = D(a[1]), x2 = D(a[2]), y2 = D(a[3]), size = D(a[4]);
  double l = std::hypot(x2 - x1, y2 - y1);
  if (l == 0 || !std::isfinite(l)) return;
  double s = std::min(l, size), dx = (x2 - x1) * s / l, dy = (y2 - y1) * s / l;
  G().DrawLine(x1, y1, x2, y2, Dc(), Dc());
  G().DrawTriangle(x2, y2, x2 - dx - dy / 3, y2 - dy + dx / 3, x2 - dx + dy / 3, y2 - dy - dx / 3, Dc(), Dc(), Dc(),
                   false);
}

KESTRO_BUILTIN(DrawButton) {
  double x1 = D(a[0]), y1 = D(a[1]), x2 = D(a[2]), y2 = D(a[3]);
  bool up = ArgBool(a[4]);
  uint32_t white = G().ColourWithAlpha(0xFFFFFF), grey = G().ColourWithAlpha(0x808080);
  uint32_t first = up ? white : grey, second = up ? grey : white;
  G().DrawTriangle(x1, y1, x2, y1, x1, y2, first, first, first, false);
  G().DrawTriangle(x1, y2, x2, y1, x2, y2, second, second, second, false);
  uint32_t c[4] = {Dc(), Dc(), Dc(), Dc()};
  G().DrawRectangle(x1 + 2, y1 + 2, x2 - 2, y2 - 2, c, false);
}

KESTRO_BUILTIN(DrawHealthbar) {
  double x1 = D(a[0]), y1 = D(a[1]), x2 = D(a[2]), y2 = D(a[3]);
  double amount = std::clamp(std::isnan(D(a[4])) ? 0.0 : D(a[4]), 0.0, 100.0);
  int64_t back = ArgInt(a[5]), minc = ArgInt(a[6]), maxc = ArgInt(a[7]);
  int64_t direction = ArgInt(a[8]);
  bool showBack = ArgBool(a[9]), border = ArgBool(a[10]);
  uint32_t black = G().ColourWithAlpha(0);
  uint32_t blacks[4] = {black, black, black, black};
  if (showBack) {
    uint32_t c = G().ColourWithAlpha(int32_t(back));
    uint32_t cs[4] = {c, c, c, c};
    G().DrawRectangle(x1, y1, x2, y2, cs, false);
    if (border) G().DrawRectangle(x1, y1, x2, y2, blacks, true);
  }
  double f = amount / 100;
  double bx1 = x1, by1 = y1, bx2 = x2, by2 = y2;
  switch (direction) {
    case 1: bx1 = x2 - (x2 - x1) * f; break;
    case 2: by2 = y1 + (y2 - y1) * f; break;
    case 3: by1 = y2 - (y2 - y1) * f; break;
    default: bx2 = x1 + (x2 - x1) * f; break;
  }
  int64_t mid = MergeColour(minc, maxc, 0.5);
  int64_t colour = amount <= 50 ? MergeColour(minc, mid, amount / 50) : MergeColour(mid, maxc, (amount - 50) / 50);
  uint32_t c = G().ColourWithAlpha(int32_t(colour));
  uint32_t cs[4] = {c, c, c, c};
  G().DrawRectangle(bx1, by1, bx2, by2, cs, false);
  if (border) G().DrawRectangle(bx1, by1, bx2, by2, blacks, true);
}

KESTRO_BUILTIN(DrawPath) {
  const CPath* p = Paths().Get(int(std::clamp<int64_t>(ArgInt(a[0]), -1, INT32_MAX)));
  if (!p) {
    ReportBuiltinError("Trying to drawn non-existing path.");
    return;
  }
  double dx = 0, dy = 0;
  if (!ArgBool(a[3])) {
    RWayPoint start = p->GetPosition(0);
    dx = D(a[1]) - start.x;
    dy = D(a[2]) - start.y;
  }
  double n = std::round(p->i_length / 4);
  // A path longer than any room is drawn with a bounded number of points.
  n = std::min(n, 1e6);
  if (!(n >= 1)) return;
  int count = int(n);
  constexpr int kChunk = 500;
  std::vector<RVertex> strip;
  strip.reserve(kChunk + 1);
  uint32_t c = Dc();
  float z = float(G().Depth());
  for (int i = 0; i <= count; ++i) {
    RWayPoint q = p->GetPosition(double(i) / count);
    strip.push_back(RVertex{float(q.x + dx), float(q.y + dy), z, c});
    if (int(strip.size()) == kChunk + 1 || i == count) {
      G().DrawPrimitive(EPrimitive::LineStrip, strip.data(), int(strip.size()), -1);
      RVertex last = strip.back();
      strip.clear();
      strip.push_back(last);
    }
  }
}

// --- user primitives ---

struct RUserPrimitive {
  int kind = 0;
  int texture = -1;
  std::vector<RVertex> vertices;
};
RUserPrimitive& UserPrimitive() {
  static RUserPrimitive p;
  return p;
}
constexpr size_t kMaxUserVertices = 1001;

void BeginPrimitive(int64_t kind, int texture) {
  RUserPrimitive& p = UserPrimitive();
  p.kind = int(std::clamp<int64_t>(kind, -1, 100));
  p.texture = texture;
  p.vertices.clear();
}
void AddVertex(double x, double y, double u, double v, uint32_t c) {
  RUserPrimitive& p = UserPrimitive();
  if (p.vertices.size() >= kMaxUserVertices) return;
  p.vertices.push_back(RVertex{float(x), float(y), float(G().Depth()), c, float(u), float(v)});
}
KESTRO_BUILTIN(DrawPrimitiveBegin) { BeginPrimitive(ArgInt(a[0]), -1); }
KESTRO_BUILTIN(DrawPrimitiveBeginTexture) {
  BeginPrimitive(ArgInt(a[0]), int(std::clamp<int64_t>(ArgInt(a[1]), -1, INT32_MAX)));
}
KESTRO_BUILTIN(DrawVertex) { AddVertex(D(a[0]), D(a[1]), 0, 0, Dc()); }
KESTRO_BUILTIN(DrawVertexColor) { AddVertex(D(a[0]), D(a[1]), 0, 0, VertexColour(Col(a[2]), D(a[3]))); }
KESTRO_BUILTIN(DrawVertexTexture) { AddVertex(D(a[0]), D(a[1]), D(a[2]), D(a[3]), Dc()); }
KESTRO_BUILTIN(DrawVertexTextureColor) {
  AddVertex(D(a[0]), D(a[1]), D(a[2]), D(a[3]), VertexColour(Col(a[4]), D(a[5])));
}
KESTRO_BUILTIN(DrawPrimitiveEnd) {
  RUserPrimitive& p = UserPrimitive();
  if (p.kind >= 1 && p.kind <= 6 && !p.vertices.empty())
    G().DrawPrimitive(EPrimitive(p.kind), p.vertices.data(), int(p.vertices.size()), p.texture);
  p.vertices.clear();
}

// --- sprites ---

const CSprite* SpriteArg(const RValue& v) {
  int64_t i = ArgInt(v);
  const CSprite* s = i >= 0 && i <= INT32_MAX ? Sprites().Get(int(i)) : nullptr;
  if (!s) ReportBuiltinError("Trying to draw non-existing sprite.");
  return s;
}
// A frame below 0 is the calling instance's current frame.
int Frame(const RValue& v, CInstance* self) {
  int64_t f = ArgInt(v);
  if (f < 0) {
    double i = self ? std::floor(self->i_imageindex) : 0;
    f = std::isfinite(i) ? int64_t(std::clamp(i, -1e9, 1e9)) : 0;
  }
  return int(std::clamp<int64_t>(f, INT32_MIN, INT32_MAX));
}
const CLiveRoom& Room() { return World().Room(); }

KESTRO_BUILTIN(DrawSelf) {
  if (!self) return;
  const CSprite* s = Sprites().Get(self->i_spriteindex);
  if (!s) {
    ReportBuiltinError("Trying to draw non-existing sprite.");
    return;
  }
  double f = std::floor(self->i_imageindex);
  Draw(*s, std::isfinite(f) ? int(std::clamp(f, -1e9, 1e9)) : 0, self->i_imageblend, self->i_imagealpha,
       self->i_imageangle, self->i_imagescalex, self->i_imagescaley, self->i_x, self->i_y);
}
KESTRO_BUILTIN(DrawSprite) {
  if (const CSprite* s = SpriteArg(a[0])) DrawSimple(*s, Frame(a[1], self), D(a[2]), D(a[3]));
}
KESTRO_BUILTIN(DrawSpriteExt) {
  if (const CSprite* s = SpriteArg(a[0]))
    Draw(*s, Frame(a[1], self), Col(a[7]), D(a[8]), D(a[6]), D(a[4]), D(a[5]), D(a[2]), D(a[3]));
}
KESTRO_BUILTIN(DrawSpriteStretched) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawStretched(*s, Frame(a[1], self), 0xFFFFFF, 1, D(a[4]), D(a[5]), D(a[2]), D(a[3]));
}
KESTRO_BUILTIN(DrawSpriteStretchedExt) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawStretched(*s, Frame(a[1], self), Col(a[6]), D(a[7]), D(a[4]), D(a[5]), D(a[2]), D(a[3]));
}
KESTRO_BUILTIN(DrawSpritePart) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawPart(*s, Frame(a[1], self), 0xFFFFFF, 1, D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), 1, 1);
}
KESTRO_BUILTIN(DrawSpritePartExt) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawPart(*s, Frame(a[1], self), Col(a[10]), D(a[11]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]),
             D(a[9]));
}
KESTRO_BUILTIN(DrawSpriteGeneral) {
  if (const CSprite* s = SpriteArg(a[0])) {
    int32_t c[4] = {Col(a[11]), Col(a[12]), Col(a[13]), Col(a[14])};
    DrawGeneral(*s, Frame(a[1], self), c, D(a[15]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]),
                D(a[9]), D(a[10]));
  }
}
KESTRO_BUILTIN(DrawSpriteTiled) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawTiled(*s, Frame(a[1], self), true, true, D(a[2]), D(a[3]), 1, 1, 0, 0, Room().r_width, Room().r_height,
              0xFFFFFF, 1);
}
KESTRO_BUILTIN(DrawSpriteTiledExt) {
  if (const CSprite* s = SpriteArg(a[0]))
    DrawTiled(*s, Frame(a[1], self), true, true, D(a[2]), D(a[3]), D(a[4]), D(a[5]), 0, 0, Room().r_width,
              Room().r_height, Col(a[6]), D(a[7]));
}

// --- backgrounds ---

const CBackground* BackArg(const RValue& v) {
  int64_t i = ArgInt(v);
  const CBackground* b = i >= 0 && i <= INT32_MAX ? Backgrounds().Get(int(i)) : nullptr;
  if (!b) ReportBuiltinError("Trying to draw non-existing background.");
  return b;
}
KESTRO_BUILTIN(DrawBackground) {
  if (const CBackground* b = BackArg(a[0])) DrawSimple(*b, D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawBackgroundExt) {
  if (const CBackground* b = BackArg(a[0])) Draw(*b, Col(a[6]), D(a[7]), D(a[5]), D(a[3]), D(a[4]), D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawBackgroundStretched) {
  if (const CBackground* b = BackArg(a[0])) DrawStretched(*b, 0xFFFFFF, 1, D(a[3]), D(a[4]), D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawBackgroundStretchedExt) {
  if (const CBackground* b = BackArg(a[0])) DrawStretched(*b, Col(a[5]), D(a[6]), D(a[3]), D(a[4]), D(a[1]), D(a[2]));
}
KESTRO_BUILTIN(DrawBackgroundPart) {
  if (const CBackground* b = BackArg(a[0]))
    DrawPart(*b, 0xFFFFFF, 1, D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), 1, 1);
}
KESTRO_BUILTIN(DrawBackgroundPartExt) {
  if (const CBackground* b = BackArg(a[0]))
    DrawPart(*b, Col(a[9]), D(a[10]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]));
}
KESTRO_BUILTIN(DrawBackgroundGeneral) {
  if (const CBackground* b = BackArg(a[0])) {
    int32_t c[4] = {Col(a[10]), Col(a[11]), Col(a[12]), Col(a[13])};
    DrawGeneral(*b, c, D(a[14]), D(a[1]), D(a[2]), D(a[3]), D(a[4]), D(a[5]), D(a[6]), D(a[7]), D(a[8]), D(a[9]));
  }
}
KESTRO_BUILTIN(DrawBackgroundTiled) {
  if (const CBackground* b = BackArg(a[0]))
    DrawTiled(*b, true, true, D(a[1]), D(a[2]), 1, 1, 0, 0, Room().r_width, Room().r_height, 0xFFFFFF, 1);
}
KESTRO_BUILTIN(DrawBackgroundTiledExt) {
  if (const CBackground* b = BackArg(a[0]))
    DrawTiled(*b, true, true, D(a[1]), D(a[2]), D(a[3]), D(a[4]), 0, 0, Room().r_width, Room().r_height, Col(a[5]),
              D(a[6]));
}

// --- textures ---

KESTRO_BUILTIN(SpriteGetTexture) {
  int64_t i = ArgInt(a[0]);
  const CSprite* s = i >= 0 && i <= INT32_MAX ? Sprites().Get(int(i)) : nullptr;
  SetReal(r, s ? s->GetTexture(Frame(a[1], self)) : -1);
}
KESTRO_BUILTIN(BackgroundGetTexture) {
  int64_t i = ArgInt(a[0]);
  const CBackground* b = i >= 0 && i <= INT32_MAX ? Backgrounds().Get(int(i)) : nullptr;
  if (!b) {
    ReportBuiltinError("Trying to get texture from non-existing background.");
    SetReal(r, -1);
    return;
  }
  SetReal(r, b->i_tex);
}
int TexArg(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), -1, INT32_MAX)); }
KESTRO_BUILTIN(TextureExists) { SetReal(r, G().TextureExists(TexArg(a[0])) ? 1 : 0); }
KESTRO_BUILTIN(TextureGetWidth) { SetReal(r, G().TextureWidth(TexArg(a[0]))); }
KESTRO_BUILTIN(TextureGetHeight) { SetReal(r, G().TextureHeight(TexArg(a[0]))); }
// Textures live in the device's memory from the start: nothing to load or rank.
KESTRO_BUILTIN(TexturePreload) {}
KESTRO_BUILTIN(TextureSetPriority) {}
KESTRO_BUILTIN(TextureSetInterpolation) { G().SetInterpolation(ArgBool(a[0])); }
KESTRO_BUILTIN(TextureSetBlending) { G().SetTextureBlending(ArgBool(a[0])); }
KESTRO_BUILTIN(TextureSetRepeat) { G().SetTextureRepeat(ArgBool(a[0])); }

// --- the screen ---

KESTRO_BUILTIN(ScreenRedraw) {
  DrawRoom();
  G().PresentFrame();
  G().BeginFrame();
}
KESTRO_BUILTIN(ScreenRefresh) { G().RefreshWindow(); }
KESTRO_BUILTIN(SetAutomaticDraw) { GameState().automaticDraw = ArgBool(a[0]); }

int Pos(const RValue& v) { return int(std::clamp<int64_t>(ArgInt(v), -(int64_t(1) << 30), int64_t(1) << 30)); }

void SaveScreen(const std::string& fname, int x, int y, int w, int h) {
  if (fname.empty()) {
    ReportBuiltinError("Trying to save screen to empty image file name.");
    return;
  }
  RGrab grab;
  if (G().GrabScreen(x, y, w, h, grab)) SaveGrab(grab, fname, true);
}
KESTRO_BUILTIN(ScreenSave) { SaveScreen(ArgText(a[0]), 0, 0, G().RegionWidth(), G().RegionHeight()); }
KESTRO_BUILTIN(ScreenSavePart) { SaveScreen(ArgText(a[0]), Pos(a[1]), Pos(a[2]), Pos(a[3]), Pos(a[4])); }

KESTRO_BUILTIN(DrawGetpixel) {
  double x = D(a[0]), y = D(a[1]);
  int view = GameState().viewCurrent;
  if (view >= 0 && view < CPortTable::kPorts) {
    const RPort& p = Ports().Get(view);
    double rx = 0, ry = 0;
    if (p.used && CPortTable::RoomToRegion(p, x, y, rx, ry)) x = rx, y = ry;
  }
  int32_t c = G().GetPixel(int(std::clamp<double>(std::round(x), -1e9, 1e9)),
                           int(std::clamp<double>(std::round(y), -1e9, 1e9)));
  SetReal(r, c < 0 ? 0 : c);
}

const RBinding kDrawFunctions[] = {
    {"draw_set_color", DrawSetColor},
    {"draw_set_alpha", DrawSetAlpha},
    {"draw_get_color", DrawGetColor},
    {"draw_get_alpha", DrawGetAlpha},
    {"make_color", MakeColorRgb},
    {"make_color_rgb", MakeColorRgb},
    {"make_color_hsv", MakeColorHsv},
    {"color_get_red", ColorGetRed},
    {"color_get_green", ColorGetGreen},
    {"color_get_blue", ColorGetBlue},
    {"color_get_hue", ColorGetHue},
    {"color_get_saturation", ColorGetSaturation},
    {"color_get_value", ColorGetValue},
    {"merge_color", MergeColor},
    {"draw_set_blend_mode", DrawSetBlendMode},
    {"draw_set_blend_mode_ext", DrawSetBlendModeExt},
    {"draw_set_circle_precision", DrawSetCirclePrecision},
    {"draw_clear", DrawClear},
    {"draw_clear_alpha", DrawClearAlpha},
    {"draw_point", DrawPoint},
    {"draw_point_color", DrawPointColor},
    {"draw_line", DrawLine},
    {"draw_line_color", DrawLineColor},
    {"draw_line_width", DrawLineWidth},
    {"draw_line_width_color", DrawLineWidthColor},
    {"draw_rectangle", DrawRectangle},
    {"draw_rectangle_color", DrawRectangleColor},
    {"draw_roundrect", DrawRoundrect},
    {"draw_roundrect_color", DrawRoundrectColor},
    {"draw_triangle", DrawTriangle},
    {"draw_triangle_color", DrawTriangleColor},
    {"draw_circle", DrawCircle},
    {"draw_circle_color", DrawCircleColor},
    {"draw_ellipse", DrawEllipse},
    {"draw_ellipse_color", DrawEllipseColor},
    {"draw_arrow", DrawArrow},
    {"draw_button", DrawButton},
    {"draw_healthbar", DrawHealthbar},
    {"draw_path", DrawPath},
    {"draw_primitive_begin", DrawPrimitiveBegin},
    {"draw_primitive_begin_texture", DrawPrimitiveBeginTexture},
    {"draw_primitive_end", DrawPrimitiveEnd},
    {"draw_vertex", DrawVertex},
    {"draw_vertex_color", DrawVertexColor},
    {"draw_vertex_texture", DrawVertexTexture},
    {"draw_vertex_texture_color", DrawVertexTextureColor},
    {"draw_self", DrawSelf},
    {"draw_sprite", DrawSprite},
    {"draw_sprite_ext", DrawSpriteExt},
    {"draw_sprite_stretched", DrawSpriteStretched},
    {"draw_sprite_stretched_ext", DrawSpriteStretchedExt},
    {"draw_sprite_part", DrawSpritePart},
    {"draw_sprite_part_ext", DrawSpritePartExt},
    {"draw_sprite_general", DrawSpriteGeneral},
    {"draw_sprite_tiled", DrawSpriteTiled},
    {"draw_sprite_tiled_ext", DrawSpriteTiledExt},
    {"draw_background", DrawBackground},
    {"draw_background_ext", DrawBackgroundExt},
    {"draw_background_stretched", DrawBackgroundStretched},
    {"draw_background_stretched_ext", DrawBackgroundStretchedExt},
    {"draw_background_part", DrawBackgroundPart},
    {"draw_background_part_ext", DrawBackgroundPartExt},
    {"draw_background_general", DrawBackgroundGeneral},
    {"draw_background_tiled", DrawBackgroundTiled},
    {"draw_background_tiled_ext", DrawBackgroundTiledExt},
    {"sprite_get_texture", SpriteGetTexture},
    {"background_get_texture", BackgroundGetTexture},
    {"texture_exists", TextureExists},
    {"texture_get_width", TextureGetWidth},
    {"texture_get_height", TextureGetHeight},
    {"texture_preload", TexturePreload},
    {"texture_set_priority", TextureSetPriority},
    {"texture_set_interpolation", TextureSetInterpolation},
    {"texture_set_blending", TextureSetBlending},
    {"texture_set_repeat", TextureSetRepeat},
    {"screen_redraw", ScreenRedraw},
    {"screen_refresh", ScreenRefresh},
    {"set_automatic_draw", SetAutomaticDraw},
    {"screen_save", ScreenSave},
    {"screen_save_part", ScreenSavePart},
    {"draw_getpixel", DrawGetpixel},
};

}  // namespace

RBindingTable DrawFunctions() { return kDrawFunctions; }

}  // namespace kestro
