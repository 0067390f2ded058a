// The draw step against a recording device: what is drawn in which order (instances, tiles,
// particle systems, layers, the cursor), views following their instances, the port table and
// the mouse through it, the region a room gets and the caption. Pixels are checked through the
// real device in tests/platform.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "graphics/Display.h"
#include "graphics/FakeDevice.h"
#include "graphics/GameWindow.h"
#include "graphics/Graphics.h"
#include "graphics/Input.h"
#include "graphics/RoomDraw.h"
#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "support/WorldFixture.h"
#include "world/GameState.h"
#include "world/RoomTiles.h"

namespace kestro::test {
namespace {

// Also keeps the viewport each primitive was drawn in.
class ViewDevice : public FakeDevice {
 public:
  void Draw(EPrimitive type, const RVertex* v, int count) override {
    FakeDevice::Draw(type, v, count);
    viewports.push_back(viewport);
  }
  std::vector<RPixelRect> viewports;
};

class FakeParticles : public IRoomParticles {
 public:
  std::vector<double> depths;  // highest first
  std::string* log = nullptr;
  double HighestDepth() override { return depths.empty() ? -1e9 : depths.front(); }
  double DepthBelow(double d) override {
    for (double x : depths)
      if (x < d) return x;
    return -1e9;
  }
  void DrawAt(double d) override { *log += "P" + std::to_string(int(d)); }
};

class RoomDraw_ : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    CGraphics& g = Graphics();
    g.Stop();
    g = CGraphics();
    g.Attach(&dev, &windowState);
    g.Start(false);
    dev.clears.clear();
    GameState().Reset();
    Input().Reset();
    Input().MouseMove(0, 0);
    SetGameWindow(nullptr);
    Ports().Clear();
  }
  void TearDown() override {
    SetRoomParticles(nullptr);
    SetGameWindow(nullptr);
    Ports().Clear();
    GameState().Reset();
    Input().Reset();
    WorldFixture::TearDown();
    Graphics().Stop();
    Graphics() = CGraphics();
  }

  int Handle(int textureId) { return int(Graphics().Texture(textureId)->handle); }
  int AddSprite(char label, int w = 4, int h = 4) {
    auto s = std::make_unique<CSprite>();
    s->i_bitmap = {TBitmap32(w, h, 0xFFFFFFFFu)};
    s->i_numb = 1;
    s->ComputeMask({});
    s->InitTexture();
    labels_[Handle(s->GetTexture(0))] = label;
    return Sprites().Add(std::move(s), std::string(1, label));
  }
  int AddBackground(char label, int w = 4, int h = 4) {
    auto b = std::make_unique<CBackground>();
    b->i_bitmap = TBitmap32(w, h, 0xFFFFFFFFu);
    b->InitTexture();
    labels_[Handle(b->GetTexture())] = label;
    return Backgrounds().Add(std::move(b), std::string(1, label));
  }
  int AddObject(int sprite, int parent = -1) {
    auto o = std::make_unique<CObject>();
    o->o_spriteindex = sprite;
    o->o_parent = parent;
    return Objects().Add(std::move(o), "obj" + std::to_string(Objects().Count()));
  }
  void DrawEvent(int obj, const std::string& code) {
    CEvent* ev = Objects().Get(obj)->CreateEvent(kEventDraw, 0);
    CAction act;
    act.act_exetype = kExeCode;
    act.act_codecode = std::make_shared<CCode>(code, CodeKind::kProgram);
    ASSERT_TRUE(act.act_codecode->Compile()) << code;
    ev->e_actions = {act};
    ev->e_number = 1;
  }
  CInstance* Add(int obj, double x, double y, double depth = 0) {
    CInstance* inst = World().Room().AddInstance(obj, x, y, World().lastInstanceId);
    inst->i_depth = depth;
    return inst;
  }
  RTile Tile(int back, double x, double y, double depth, int w = 4, int h = 4) {
    RTile t;
    t.index = back;
    t.x = x;
    t.y = y;
    t.w = w;
    t.h = h;
    t.depth = depth;
    return t;
  }
  // The labels of the textures of the primitives drawn since the last call, in order ('-' for
  // none, '?' for an unknown one); draw events' messages are interleaved where they happen.
  std::string Drawn() {
    std::string s;
    for (const auto& c : dev.calls)
      s += c.texture == 0 ? '-' : labels_.count(int(c.texture)) ? labels_[int(c.texture)] : '?';
    dev.calls.clear();
    dev.viewports.clear();
    return s;
  }
  void Run(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    ASSERT_TRUE(code.Compile()) << text;
    CInstance temporary;
    RValue r;
    ASSERT_TRUE(ExecuteCode(&temporary, &temporary, code, r)) << text;
  }
  double Eval(const std::string& expr) {
    CCode code("return " + expr, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << expr;
    CInstance temporary;
    RValue r;
    EXPECT_TRUE(ExecuteCode(&temporary, &temporary, code, r)) << expr;
    return r.val;
  }

  ViewDevice dev;
  CWindowState windowState;
  std::map<int, char> labels_;
};

TEST_F(RoomDraw_, InstancesTilesAndParticleSystemsMergeByDepth) {
  const int a = AddObject(AddSprite('A')), b = AddObject(AddSprite('B')), c = AddObject(AddSprite('C'));
  const int back = AddBackground('T');
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_showcolor = false;
  CInstance* ia = Add(a, 0, 0);
  CInstance* ib = Add(b, 0, 0);
  Add(c, 0, 0);
  // Equal depths keep the order of creation.
  DrawRoom();
  EXPECT_EQ(Drawn(), "ABC");
  // A deeper instance comes first from then on; the others keep their order.
  ib->i_depth = 10;
  DrawRoom();
  EXPECT_EQ(Drawn(), "BAC");
  ib->i_depth = 0;
  DrawRoom();
  EXPECT_EQ(Drawn(), "BAC");  // the sorted order stays in the room

  // Tiles between the instances; at equal depths the instance comes first, the tile over it. A
  // particle system at the same depth comes before both.
  int lastTile = 0;
  AddTile(room, Tile(back, 0, 0, 0), lastTile);
  AddTile(room, Tile(back, 0, 0, 100), lastTile);
  ia->i_depth = 100;
  std::string log;
  FakeParticles particles;
  particles.depths = {200, 100, -5};
  particles.log = &log;
  SetRoomParticles(&particles);
  DrawRoom();
  EXPECT_EQ(log, "P200P100P-5");
  EXPECT_EQ(Drawn(), "ATBCT");
  // Where they come between the others: the number of primitives drawn before each.
  log.clear();
  struct Counting : FakeParticles {
    ViewDevice* d = nullptr;
    void DrawAt(double depth) override {
      *log += std::to_string(d->calls.size()) + "@" + std::to_string(int(depth)) + " ";
    }
  } counting;
  counting.depths = {200, 100, -5};
  counting.log = &log;
  counting.d = &dev;
  SetRoomParticles(&counting);
  DrawRoom();
  EXPECT_EQ(log, "0@200 0@100 5@-5 ");
  EXPECT_EQ(Drawn(), "ATBCT");
  // Drawing the room again from inside the draw step does nothing.
  struct Again : FakeParticles {
    void DrawAt(double) override { DrawRoom(); }
  } again;
  again.depths = {0};
  SetRoomParticles(&again);
  DrawRoom();
  EXPECT_EQ(Drawn(), "ATBCT");
  // Invisible and destroyed instances and invisible tiles are passed over.
  SetRoomParticles(nullptr);
  ia->i_visible = false;
  room.r_tile[0].visible = false;
  room.Mark(ib);
  DrawRoom();
  EXPECT_EQ(Drawn(), "CT");
}

TEST_F(RoomDraw_, LargeRoomsSortAsTheInsertionSortWould) {
  // Many instances on few depths, shuffled: whether the sort finishes by moving instances one
  // place at a time or goes by depth and position, equal depths keep their order.
  const int obj = AddObject(-1);
  StartWorld();
  CLiveRoom& room = World().Room();
  uint32_t seed = 7;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 3000; ++i) Add(obj, 0, 0, round == 2 && i == 1500 ? 50 : double(next() % 16));
    if (round == 1)  // nearly sorted: one instance out of place
      for (const auto& inst : room.Active()) inst->i_depth = 0;
    if (round == 1) room.Active()[2999]->i_depth = 5;
    std::vector<std::pair<double, int>> expect;
    for (const auto& inst : room.Active()) expect.push_back({inst->i_depth, inst->i_id});
    for (size_t i = 1; i < expect.size(); ++i)
      for (size_t j = i; j > 0 && expect[j].first > expect[j - 1].first; --j) std::swap(expect[j], expect[j - 1]);
    room.SortInstances();
    std::vector<std::pair<double, int>> got;
    for (const auto& inst : room.Active()) got.push_back({inst->i_depth, inst->i_id});
    EXPECT_EQ(got, expect) << "round " << round;
    room.ClearInstances();
  }
  // A depth that is not a number stays where it is.
  Add(obj, 0, 0, 1);
  Add(obj, 0, 0, std::nan(""));
  Add(obj, 0, 0, 2);
  room.SortInstances();
  EXPECT_EQ(room.Active()[0]->i_depth, 1);
  EXPECT_TRUE(std::isnan(room.Active()[1]->i_depth));
  EXPECT_EQ(room.Active()[2]->i_depth, 2);
}

TEST_F(RoomDraw_, DepthAboveTheNearestPlaneIsDrawnFirstAtTheNearestZ) {
  const int a = AddObject(AddSprite('A')), b = AddObject(AddSprite('B'));
  StartWorld();
  World().Room().r_showcolor = false;
  Add(a, 0, 0, 0);
  Add(b, 0, 0, 20000);
  Graphics().Set3DMode(true, true, false);
  DrawRoom();
  ASSERT_EQ(dev.calls.size(), 2u);
  EXPECT_EQ(dev.calls[0].v[0].z, 11000.f);
  EXPECT_EQ(dev.calls[1].v[0].z, 0.f);
  EXPECT_EQ(Drawn(), "BA");
  Graphics().Set3DMode(false, false, false);
}

TEST_F(RoomDraw_, DrawEventsReplaceTheSpriteAndSeeTheViewBeingDrawn) {
  const int spr = AddSprite('S');
  const int drawsItself = AddObject(spr), child = AddObject(spr, drawsItself), plain = AddObject(spr);
  StartWorld();
  DrawEvent(drawsItself, "show_debug_message(string(view_current) + string(id))");
  CLiveRoom& room = World().Room();
  room.r_showcolor = false;
  CInstance* own = Add(drawsItself, 0, 0);
  CInstance* inherited = Add(child, 0, 0);
  Add(plain, 0, 0);
  room.r_enableviews = true;
  for (int v : {1, 3}) {
    room.r_view[size_t(v)].visible = true;
    room.r_view[size_t(v)].wport = room.r_view[size_t(v)].hport = 32;
  }
  DrawRoom();
  const std::string a = std::to_string(own->i_id), b = std::to_string(inherited->i_id);
  EXPECT_EQ(out_, "1" + a + ";1" + b + ";3" + a + ";3" + b + ";");
  EXPECT_EQ(Drawn(), "SS");  // only the instance without a draw event, once per view
  EXPECT_EQ(Eval("view_current"), 0);
}

TEST_F(RoomDraw_, LayersFramePartsAroundInstancesAndTheCursor) {
  const int obj = AddObject(AddSprite('I'));
  const int cursor = AddSprite('C');
  const int back = AddBackground('B', 16, 16), fore = AddBackground('F', 16, 16);
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_width = 64;
  room.r_height = 32;
  room.r_showcolor = false;
  Add(obj, 5, 5);
  // Foregrounds in layer 0, backgrounds after them: the flag decides, not the layer number.
  CBack& f = room.r_background[0];
  f.visible = f.foreground = true;
  f.index = fore;
  f.htiled = f.vtiled = false;
  CBack& b = room.r_background[2];
  b.visible = true;
  b.index = back;
  room.r_background[3] = b;
  room.r_background[3].visible = false;
  room.r_background[4] = b;
  room.r_background[4].index = 99;  // deleted: skipped
  GameState().cursorSprite = cursor;
  GameState().cursorFrame = 7;
  Input().MouseMove(20, 10);
  // The background tiled over the room (4 x 2 tiles), the instance, one untiled foreground, the
  // cursor at the mouse.
  DrawRoom();
  std::vector<std::pair<float, float>> corners;
  for (const auto& c : dev.calls) corners.push_back({c.v[0].x, c.v[0].y});
  EXPECT_EQ(Drawn(), "BBBBBBBBIFC");
  EXPECT_EQ(corners.back(), std::make_pair(19.5f, 9.5f));
  EXPECT_EQ(corners[0], std::make_pair(-0.5f, -0.5f));
  EXPECT_EQ(corners[7], std::make_pair(47.5f, 15.5f));
  EXPECT_EQ(corners[8], std::make_pair(4.5f, 4.5f));
  // A layer that moved tiles from its offset; the rounded position anchors the grid.
  b.x = 5.4;
  b.htiled = true;
  b.vtiled = false;
  GameState().cursorSprite = 42;  // no such sprite: no cursor
  DrawRoom();
  corners.clear();
  for (const auto& c : dev.calls) corners.push_back({c.v[0].x, c.v[0].y});
  EXPECT_EQ(Drawn(), "BBBBBIF");
  EXPECT_EQ(corners[0], std::make_pair(-11.5f, -0.5f));
  EXPECT_EQ(corners[4], std::make_pair(52.5f, -0.5f));
}

TEST_F(RoomDraw_, TilesAreCulledToTheViewWithTheirMirroredBox) {
  const int back = AddBackground('T', 16, 16);
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_width = room.r_height = 200;
  room.r_showcolor = false;
  room.r_enableviews = true;
  CView& v = room.r_view[0];
  v.visible = true;
  v.xview = 100;
  v.yview = 0;
  v.wview = v.hview = 50;
  v.wport = v.hport = 50;
  int last = 0;
  const struct {
    double x, y, xscale;
    bool drawn;
  } cases[] = {
      {120, 10, 1, true},   // inside
      {84, 10, 1, true},    // its right edge touches the view's left
      {83, 10, 1, false},   // one pixel short
      {150, 10, 1, true},   // its left edge on the view's right edge
      {110, 10, -1, true},  // mirrored: 94 ... 110
      {90, 10, -1, false},  // mirrored: 74 ... 90
      {60, 10, 3, true},    // stretched: 60 ... 108
  };
  for (const auto& c : cases) {
    room.r_tile.clear();
    RTile t = Tile(back, c.x, c.y, 0, 16, 16);
    t.xscale = c.xscale;
    AddTile(room, t, last);
    DrawRoom();
    EXPECT_EQ(Drawn(), c.drawn ? "T" : "") << c.x << " x" << c.xscale;
  }
  // A tile cut from a background that no longer exists draws nothing.
  room.r_tile[0].index = 5;
  DrawRoom();
  EXPECT_EQ(Drawn(), "");
}

TEST_F(RoomDraw_, ViewsFollowWithBordersSpeedsAndTheRoomEdges) {
  const int parent = AddObject(-1), child = AddObject(-1, parent), other = AddObject(-1);
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_enableviews = true;
  CInstance* followed = Add(child, 0, 0);
  Add(other, 0, 0);
  const struct {
    int roomW, wview, xview, hborder, hspeed;
    double x;
    int expect;
  } cases[] = {
      {1000, 200, 0, 32, -1, 100, 0},        // inside the borders: stays
      {1000, 200, 0, 32, -1, 180, 12},       // past the right border
      {1000, 200, 300, 32, -1, 310.5, 278},  // before the left border (310.5 rounds to 310)
      {1000, 200, 300, 32, 4, 310, 296},     // at most 4 per step
      {1000, 200, 0, 32, 4, 980, 4},         // the other way
      {1000, 640, 0, 400, -1, 500, 180},     // borders wider than the view: centred
      {1000, 200, 0, 32, -1, 5, 0},          // never left of the room
      {1000, 200, 0, 32, -1, 990, 800},      // nor past its right edge
      {400, 640, 0, 32, -1, 100, -240},      // a view wider than the room
  };
  for (const auto& c : cases) {
    room.r_width = c.roomW;
    CView& v = room.r_view[2];
    v = CView();
    v.visible = true;
    v.index = parent;  // the first instance of the object or of a descendant
    v.wview = c.wview;
    v.xview = c.xview;
    v.hborder = c.hborder;
    v.hspeed = c.hspeed;
    followed->i_x = c.x;
    FollowViews(room);
    EXPECT_EQ(v.xview, c.expect) << c.x << " in " << c.xview << "+" << c.wview;
  }
  // Vertically the same with the vertical values; by instance id; a destroyed instance is not
  // followed and an object without instances leaves the view where it is.
  room.r_height = 480;
  CView& v = room.r_view[2];
  v = CView();
  v.visible = true;
  v.hview = 100;
  v.vborder = 10;
  v.index = followed->i_id;
  followed->i_y = 300;
  FollowViews(room);
  EXPECT_EQ(v.yview, 210);
  room.Mark(followed);
  followed->i_y = 0;
  FollowViews(room);
  EXPECT_EQ(v.yview, 210);
  v.index = parent;
  FollowViews(room);
  EXPECT_EQ(v.yview, 210);
  // An invisible view does not follow.
  room.Active()[1]->i_y = 0;
  v.index = other;
  v.visible = false;
  FollowViews(room);
  EXPECT_EQ(v.yview, 210);
}

TEST_F(RoomDraw_, TwoViewsDrawTheRoomIntoTheirPortsAndTheMouseGoesThroughThem) {
  const int obj = AddObject(AddSprite('I'));
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_width = room.r_height = 1000;
  room.r_enableviews = true;
  Add(obj, 500, 500);
  CView& v0 = room.r_view[0];
  v0.visible = true;
  v0.xview = 400;
  v0.yview = 400;
  v0.wview = v0.hview = 200;
  v0.xport = v0.yport = 0;
  v0.wport = v0.hport = 100;
  CView& v1 = room.r_view[4];
  v1 = v0;
  v1.xview = 0;
  v1.yview = 0;
  v1.xport = 100;
  v1.wport = 300;
  v1.hport = 150;
  v1.wview = 600;
  v1.hview = 300;
  SizeRegionToRoom();
  EXPECT_EQ(Graphics().RegionWidth(), 400);
  EXPECT_EQ(Graphics().RegionHeight(), 150);
  DrawRoom();
  // The region cleared, then each view cleared in its port and the instance drawn in it.
  ASSERT_EQ(dev.clears.size(), 3u);
  EXPECT_EQ(dev.clears[0], (RPixelRect{0, 0, 400, 150}));
  EXPECT_EQ(dev.clears[1], (RPixelRect{0, 0, 100, 100}));
  EXPECT_EQ(dev.clears[2], (RPixelRect{100, 0, 300, 150}));
  ASSERT_EQ(dev.viewports.size(), 2u);
  EXPECT_EQ(dev.viewports[0], (RPixelRect{0, 0, 100, 100}));
  EXPECT_EQ(dev.viewports[1], (RPixelRect{100, 0, 300, 150}));
  EXPECT_EQ(dev.viewport, (RPixelRect{0, 0, 400, 150}));  // back to the region
  // The ports of the drawn views convert the mouse: view 4 where its port is, view 0 elsewhere.
  Input().MouseMove(250, 75);
  EXPECT_EQ(Eval("mouse_x"), 300);
  EXPECT_EQ(Eval("mouse_y"), 150);
  Input().MouseMove(50, 50);
  EXPECT_EQ(Eval("mouse_x"), 500);
  EXPECT_EQ(Eval("mouse_y"), 500);
  // With views switched off the ports are emptied and the mouse is in region coordinates.
  room.r_enableviews = false;
  DrawRoom();
  EXPECT_EQ(Eval("mouse_x"), 50);
  EXPECT_EQ(Ports().UsedCount(), 0);
}

TEST_F(RoomDraw_, RoomColourClearsOnlyWhenShownAndTurnedViewsWidenTheirArea) {
  const int back = AddBackground('T', 10, 10);
  StartWorld();
  CLiveRoom& room = World().Room();
  room.r_width = room.r_height = 1000;
  room.r_showcolor = false;
  DrawRoom();
  EXPECT_TRUE(dev.clears.empty());  // the last picture stays under the new one
  room.r_showcolor = true;
  DrawRoom();
  EXPECT_EQ(dev.clears.size(), 1u);
  // A view turned by 45 degrees also draws tiles beyond its rectangle, by half the other side.
  room.r_showcolor = false;
  room.r_enableviews = true;
  CView& v = room.r_view[0];
  v.visible = true;
  v.xview = v.yview = 500;
  v.wview = 100;
  v.hview = 50;
  int last = 0;
  AddTile(room, Tile(back, 465, 500, 0, 10, 10), last);  // left of the view, within hview / 2
  AddTile(room, Tile(back, 500, 440, 0, 10, 10), last);  // above it, within wview / 2
  DrawRoom();
  EXPECT_EQ(Drawn(), "");
  v.angle = 45;
  DrawRoom();
  EXPECT_EQ(Drawn(), "TT");
  v.angle = 0.005;  // too little to count as turned
  DrawRoom();
  EXPECT_EQ(Drawn(), "");
}

TEST_F(RoomDraw_, RegionOfARoomFromItsSizeOrItsPorts) {
  StartWorld();
  CGameWindow window;
  SetGameWindow(&window);
  CLiveRoom& room = World().Room();
  room.r_width = 300;
  room.r_height = 200;
  SizeRegionToRoom();
  EXPECT_EQ(window.State().regionW, 300);
  EXPECT_EQ(window.State().regionH, 200);
  EXPECT_EQ(window.State().clientW, 300);  // the window takes its default size
  EXPECT_EQ(Graphics().RegionWidth(), 300);
  // Views on but none visible: 8 x 8.
  room.r_enableviews = true;
  SizeRegionToRoom();
  EXPECT_EQ(window.State().regionW, 8);
  EXPECT_EQ(Graphics().RegionHeight(), 8);
  // The extent of the visible ports, cut to the screen.
  room.r_view[1].visible = true;
  room.r_view[1].xport = 100;
  room.r_view[1].wport = 250;
  room.r_view[1].yport = 5000;
  room.r_view[1].hport = 10;
  room.r_view[6].visible = true;
  room.r_view[6].wport = 500;
  room.r_view[6].hport = 40;
  SizeRegionToRoom();
  EXPECT_EQ(window.State().regionW, 500);
  EXPECT_EQ(window.State().regionH, Display().Height());
  // Room start empties the port table.
  Ports().Set(3, RPort{true, 0, 0, 1, 1, 0, 0, 1, 1, 0});
  SizeRegionToRoom();
  EXPECT_EQ(Ports().UsedCount(), 0);
}

TEST_F(RoomDraw_, CaptionShowsScoreLivesAndHealthAsAsked) {
  StartWorld();
  CGameWindow window;
  SetGameWindow(&window);
  World().Room().r_caption = "Level";
  DrawRoom();
  EXPECT_EQ(window.Caption(), "Level");  // score 0 never shown explicitly
  Run("score = 5");
  DrawRoom();
  EXPECT_EQ(window.Caption(), "Level Score: 5");
  Run("score = 0; show_score = 1; show_lives = 1; lives = 3; show_health = 1; health = 42.5;"
      "caption_health = 'HP '");
  DrawRoom();
  EXPECT_EQ(window.Caption(), "Level Score: 0 Lives: 3 HP 42");
  // Set every step: a caption set by the game in between is replaced.
  window.SetCaption("other");
  DrawRoom();
  EXPECT_EQ(window.Caption(), "Level Score: 0 Lives: 3 HP 42");
}

}  // namespace
}  // namespace kestro::test
