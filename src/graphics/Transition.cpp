#include "graphics/Transition.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/Graphics.h"
#include "graphics/RoomDraw.h"
#include "graphics/Surfaces.h"
#include "script/CodeError.h"
#include "script/NameLookup.h"
#include "script/Numeric.h"
#include "script/Scripts.h"
#include "world/ErrorReport.h"
#include "world/Instance.h"
#include "world/World.h"

namespace kestro {

CTransitions& Transitions() {
  static CTransitions t;
  return t;
}

bool CTransitions::Define(int kind, const std::string& name) {
  const std::optional<int32_t> id = ScriptNames().FindFunction(name);
  if (!id) return false;
  if (kind < 1 || kind > kTransitionMaxUserKind) return true;
  if (size_t(kind) >= user_.size()) user_.resize((size_t(kind) / kBlock + 1) * kBlock);
  user_[size_t(kind)] = RUserKind{*id, name};
  return true;
}

const CTransitions::RUserKind* CTransitions::UserKind(int kind) const {
  if (kind < 1 || size_t(kind) >= user_.size() || user_[size_t(kind)].id < 0) return nullptr;
  return &user_[size_t(kind)];
}

bool CTransitions::Exists(int kind) const {
  return (kind >= 1 && kind <= kTransitionBuiltinKinds) || UserKind(kind) != nullptr;
}

void CTransitions::Capture(int kind) {
  // A capture that was never played goes first: one pair of pictures at a time.
  Drop();
  kind_ = kind;
  if (!Exists(kind)) return;
  CGraphics& g = Graphics();
  width_ = g.RegionWidth();
  height_ = g.RegionHeight();
  CSurfaces& s = Surfaces();
  oldPicture_ = s.Create(width_, height_);
  if (oldPicture_ < 0) {
    kind_ = -1;
    return;
  }
  if (s.SetTarget(oldPicture_)) {
    g.ClearScreen(0);
    // The room is drawn as it is; its draw events run with the room change set aside.
    CWorld& w = World();
    const int pending = w.pendingChange;
    w.pendingChange = kNoChange;
    DrawRoom();
    w.pendingChange = pending;
  }
  newPicture_ = s.Create(width_, height_);
  if (newPicture_ < 0 || !s.SetTarget(newPicture_)) {
    kind_ = -1;
    Drop();
    return;
  }
  // The new room starts from black where it draws nothing.
  g.ClearScreen(0);
}

void CTransitions::Drop() {
  CSurfaces& s = Surfaces();
  for (int* id : {&oldPicture_, &newPicture_}) {
    if (*id >= 0) {
      if (s.Target() == *id) s.ResetTarget();
      s.Free(*id);
    }
    *id = -1;
  }
}

void CTransitions::Play() {
  CGraphics& g = Graphics();
  if (!Exists(kind_) || !Captured()) {
    Drop();
    g.PresentFrame();
    return;
  }
  Surfaces().ResetTarget();
  // Drawn as plain copies: normal blending, no filtering, modulated by white, untransformed.
  const RRenderState kept = g.KeptState();
  const CGraphics::RViewState view = g.SaveView();
  const RMatrix world = g.World();
  const int32_t colour = g.Colour();
  const double alpha = g.Alpha();
  g.SetWorld(RMatrix::Identity());
  g.SetViewport(0, 0, g.RegionWidth(), g.RegionHeight());
  g.SetProjection(0, 0, g.RegionWidth(), g.RegionHeight(), 0);
  g.SetBlendMode(0);
  g.SetInterpolation(false);
  g.SetTextureBlending(true);
  const int steps = std::max(1, World().transitionSteps);
  for (int k = 0; k <= steps; ++k) {
    const double p = double(k) / steps;
    g.BeginFrame();
    DrawTransitionFrame(kind_, p, oldPicture_, newPicture_, width_, height_, steps);
    g.WaitVerticalBlank();
    g.PresentFrame();
  }
  g.SetWorld(world);
  g.RestoreView(view);
  g.SetColour(colour);
  g.SetAlpha(alpha);
  g.SetBlendFactors(kept.srcBlend, kept.destBlend);
  g.SetInterpolation(kept.linearFilter);
  g.SetTextureBlending(kept.modulate);
  Drop();
}

void CTransitions::Reset() {
  Drop();
  user_.clear();
  kind_ = 0;
}

namespace {

int R(double v) { return RoundToInt32(v); }

// A part (l, t, w, h) of surface `id` at (x, y), scale 1, white, alpha 1.
void Part(int id, int l, int t, int w, int h, int x, int y) {
  const RSurface* s = Surfaces().Get(id);
  if (!s || w <= 0 || h <= 0) return;
  Graphics().DrawTexturePart(s->tex, 0xFFFFFF, l, t, w, h, x, y, 1, 1, 0, 1);
}

void Whole(int id, double x, double y, double alpha = 1, double scale = 1, double degrees = 0) {
  const RSurface* s = Surfaces().Get(id);
  if (!s || alpha <= 0) return;
  Graphics().DrawTexture(s->tex, 0xFFFFFF, 0, 0, x, y, scale, scale, degrees * std::numbers::pi / 180, alpha);
}

// The wipes 1..4 of B over A (A already drawn).
void Wipe(int kind, double p, int b, int w, int h) {
  const int pw = R(w * p), ph = R(h * p);
  switch (kind) {
    case 1: Part(b, 0, 0, pw, h, 0, 0); break;
    case 2: Part(b, w - pw, 0, pw, h, w - pw, 0); break;
    case 3: Part(b, 0, 0, w, ph, 0, 0); break;
    case 4: Part(b, 0, h - ph, w, ph, 0, h - ph); break;
    default: break;
  }
}

// Kinds 10..13: every other stripe of B one by one, then a wipe over the rest.
void Interlaced(int kind, double p, int b, int w, int h, int steps) {
  const bool horizontal = kind == 10 || kind == 11;
  const bool fromStart = kind == 10 || kind == 12;
  const int d = steps, k = R(p * d), g = d / 2;
  if (k >= d) {
    Whole(b, 0, 0);
    return;
  }
  // A is already drawn whole; past the half a wipe covers it.
  if (k > g && g > 0) Wipe(horizontal ? (fromStart ? 1 : 2) : (fromStart ? 3 : 4), double(k - g) / g, b, w, h);
  for (int i = 0; i <= g; ++i) {
    if (fromStart ? i > k : i < g - k) continue;
    if (horizontal) {
      const int x = R(2.0 * i * w / d);
      Part(b, x, 0, R(double(w) / d), h, x, 0);
    } else {
      const int y = R(2.0 * i * h / d);
      Part(b, 0, y, w, R(double(h) / d), 0, y);
    }
  }
}

// Kinds 18 and 19: B grows from the centre while it turns (counter-clockwise or clockwise).
void Turn(bool counterClockwise, double p, int b, int w, int h) {
  const double degrees = (counterClockwise ? 360 : -360) * std::sqrt(p);
  const double t = degrees * std::numbers::pi / 180;
  const double x = w / 2.0 - p * (w * std::cos(t) + h * std::sin(t)) / 2;
  const double y = h / 2.0 + p * (w * std::sin(t) - h * std::cos(t)) / 2;
  if (p > 0) Whole(b, x, y, 1, p, degrees);
}

// A user kind's function with a temporary instance as self and other.
void RunUserKind(const CTransitions::RUserKind& user, double p, int a, int b, int w, int h) {
  if (user.id < kScriptIdBase) return;  // a built-in function: stored, never run
  CInstance temp;
  temp.Create(0, 0, 0, 0);
  const RValue args[5] = {RValue::Real(a), RValue::Real(b), RValue::Real(w), RValue::Real(h), RValue::Real(p)};
  RValue result;
  ClearCodeError();
  CallFunctionId(user.id, &temp, &temp, 5, args, result);
  if (CodeErrorPending()) HandlePendingCodeError("ERROR in transition function " + user.name + "\r", false);
}

}  // namespace

void DrawTransitionFrame(int kind, double p, int a, int b, int w, int h, int steps) {
  if (const CTransitions::RUserKind* user = Transitions().UserKind(kind)) {
    RunUserKind(*user, p, a, b, w, h);
    return;
  }
  if (kind < 1 || kind > kTransitionBuiltinKinds) return;
  CGraphics& g = Graphics();
  // Whatever A and B do not cover (a region larger than the pictures) is black.
  g.ClearScreen(0);
  // A whole first, except where it moves (the pushes) or fades (21).
  if (kind != 21 && (kind < 14 || kind > 17)) Whole(a, 0, 0);
  const int pw = R(w * p), ph = R(h * p);
  switch (kind) {
    case 1:
    case 2:
    case 3:
    case 4: Wipe(kind, p, b, w, h); break;
    case 5: {
      const int x = R((w - w * p) / 2), y = R((h - h * p) / 2);
      Part(b, x, y, pw, ph, x, y);
      break;
    }
    case 6: Whole(b, pw - w, 0); break;
    case 7: Whole(b, w - pw, 0); break;
    case 8: Whole(b, 0, ph - h); break;
    case 9: Whole(b, 0, h - ph); break;
    case 10:
    case 11:
    case 12:
    case 13: Interlaced(kind, p, b, w, h, steps); break;
    case 14:
      Whole(a, pw, 0);
      Whole(b, pw - w, 0);
      break;
    case 15:
      Whole(a, -pw, 0);
      Whole(b, w - pw, 0);
      break;
    case 16:
      Whole(a, 0, ph);
      Whole(b, 0, ph - h);
      break;
    case 17:
      Whole(a, 0, -ph);
      Whole(b, 0, h - ph);
      break;
    case 18: Turn(true, p, b, w, h); break;
    case 19: Turn(false, p, b, w, h); break;
    case 20: Whole(b, 0, 0, p); break;
    case 21:
      if (p > 0.5)
        Whole(b, 0, 0, 2 * p - 1);
      else
        Whole(a, 0, 0, 1 - 2 * p);
      break;
    default: break;
  }
}

}  // namespace kestro
