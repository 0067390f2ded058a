#include "resources/Room.h"

#include <cmath>

namespace kestro {

// The version of a room's stored form.
constexpr int32_t kRoomVersion = 541;
// The version of the room order block.
constexpr int32_t kRoomOrderVersion = 700;

namespace {
int32_t AsInt(double v) { return int32_t(std::nearbyint(v)); }
}  // namespace

bool CRoom::LoadFromStream(CStream& s, const CResourceList<CBackground>& backgrounds) {
  Clear();
  if (s.ReadInteger() != kRoomVersion) return false;
  r_caption = s.ReadString();
  r_width = s.ReadInteger();
  r_height = s.ReadInteger();
  r_speed = s.ReadInteger();
  r_persistent = s.ReadBoolean();
  r_color = s.ReadInteger();
  r_showcolor = s.ReadBoolean();
  r_code = s.ReadString();
  int32_t b = s.ReadInteger();
  if (b < 0 || b > kRoomLayers) return false;
  storedLayers = b;
  for (int i = 0; i < b; ++i) {
    CBack& l = r_background[size_t(i)];
    l.visible = s.ReadBoolean();
    l.foreground = s.ReadBoolean();
    l.index = s.ReadInteger();
    l.x = s.ReadInteger();
    l.y = s.ReadInteger();
    l.htiled = s.ReadBoolean();
    l.vtiled = s.ReadBoolean();
    l.hspeed = s.ReadInteger();
    l.vspeed = s.ReadInteger();
    l.stretch = s.ReadBoolean();
    if (const CBackground* bg = backgrounds.Get(l.index); l.stretch && bg) {
      if (bg->GetWidth() > 0) l.xscale = double(r_width) / bg->GetWidth();
      if (bg->GetHeight() > 0) l.yscale = double(r_height) / bg->GetHeight();
    }
  }
  r_enableviews = s.ReadBoolean();
  int32_t v = s.ReadInteger();
  if (v < 0 || v > kRoomViews) return false;
  storedViews = v;
  for (int i = 0; i < v; ++i) {
    CView& w = r_view[size_t(i)];
    w.visible = s.ReadBoolean();
    w.xview = s.ReadInteger();
    w.yview = s.ReadInteger();
    w.wview = s.ReadInteger();
    w.hview = s.ReadInteger();
    w.xport = s.ReadInteger();
    w.yport = s.ReadInteger();
    w.wport = s.ReadInteger();
    w.hport = s.ReadInteger();
    w.hborder = s.ReadInteger();
    w.vborder = s.ReadInteger();
    w.hspeed = s.ReadInteger();
    w.vspeed = s.ReadInteger();
    w.index = s.ReadInteger();
  }
  int32_t n = s.ReadInteger();
  if (!CountFits(s, n, 20)) return false;
  r_placed.resize(size_t(n));
  for (RRoomInstance& in : r_placed) {
    in.x = s.ReadInteger();
    in.y = s.ReadInteger();
    in.object = s.ReadInteger();
    in.id = s.ReadInteger();
    in.code = s.ReadString();
  }
  int32_t t = s.ReadInteger();
  if (!CountFits(s, t, 36)) return false;
  r_tile.resize(size_t(t));
  for (RTile& tl : r_tile) {
    tl.x = s.ReadInteger();
    tl.y = s.ReadInteger();
    tl.index = s.ReadInteger();
    tl.xo = s.ReadInteger();
    tl.yo = s.ReadInteger();
    tl.w = s.ReadInteger();
    tl.h = s.ReadInteger();
    tl.depth = s.ReadInteger();
    tl.id = s.ReadInteger();
  }
  r_tnumb = t;
  return true;
}

void CRoom::SaveToStream(CStream& s) const {
  s.WriteInteger(kRoomVersion);
  s.WriteString(r_caption);
  s.WriteInteger(r_width);
  s.WriteInteger(r_height);
  s.WriteInteger(r_speed);
  s.WriteBoolean(r_persistent);
  s.WriteInteger(r_color);
  s.WriteBoolean(r_showcolor);
  s.WriteString(r_code);
  s.WriteInteger(storedLayers);
  for (int i = 0; i < storedLayers; ++i) {
    const CBack& l = r_background[size_t(i)];
    s.WriteBoolean(l.visible);
    s.WriteBoolean(l.foreground);
    s.WriteInteger(l.index);
    s.WriteInteger(AsInt(l.x));
    s.WriteInteger(AsInt(l.y));
    s.WriteBoolean(l.htiled);
    s.WriteBoolean(l.vtiled);
    s.WriteInteger(AsInt(l.hspeed));
    s.WriteInteger(AsInt(l.vspeed));
    s.WriteBoolean(l.stretch);
  }
  s.WriteBoolean(r_enableviews);
  s.WriteInteger(storedViews);
  for (int i = 0; i < storedViews; ++i) {
    const CView& w = r_view[size_t(i)];
    s.WriteBoolean(w.visible);
    for (int v : {w.xview, w.yview, w.wview, w.hview, w.xport, w.yport, w.wport, w.hport, w.hborder,
                  w.vborder, w.hspeed, w.vspeed, w.index})
      s.WriteInteger(v);
  }
  s.WriteInteger(int32_t(r_placed.size()));
  for (const RRoomInstance& in : r_placed) {
    s.WriteInteger(in.x);
    s.WriteInteger(in.y);
    s.WriteInteger(in.object);
    s.WriteInteger(in.id);
    s.WriteString(in.code);
  }
  s.WriteInteger(int32_t(r_tile.size()));
  for (const RTile& t : r_tile) {
    for (int v : {AsInt(t.x), AsInt(t.y), t.index, t.xo, t.yo, t.w, t.h, AsInt(t.depth), t.id})
      s.WriteInteger(v);
  }
}

bool LoadRoomBlock(CStream& s, CRoomBlock& block, const CResourceList<CBackground>& backgrounds) {
  block = CRoomBlock();
  if (!LoadListBlock(s, kListBlockVersion, block.rooms, true,
                     [&](CRoom& o, CStream& in) { return o.LoadFromStream(in, backgrounds); }))
    return false;
  block.lastInstanceId = s.ReadInteger();
  block.lastTileId = s.ReadInteger();
  return true;
}

void SaveRoomBlock(CStream& s, const CRoomBlock& block) {
  SaveListBlock(s, kListBlockVersion, block.rooms, true,
                [](const CRoom& o, CStream& out) { o.SaveToStream(out); });
  s.WriteInteger(block.lastInstanceId);
  s.WriteInteger(block.lastTileId);
}

bool LoadRoomOrderBlock(CStream& s, std::vector<int>& order) {
  order.clear();
  if (s.ReadInteger() != kRoomOrderVersion) return false;
  int32_t n = s.ReadInteger();
  if (n <= 0 || !CountFits(s, n, 4)) return false;  // a game needs at least one room
  order.resize(size_t(n));
  for (int& r : order) r = s.ReadInteger();
  return true;
}

void SaveRoomOrderBlock(CStream& s, const std::vector<int>& order) {
  s.WriteInteger(kRoomOrderVersion);
  s.WriteInteger(int32_t(order.size()));
  for (int r : order) s.WriteInteger(r);
}

}  // namespace kestro
