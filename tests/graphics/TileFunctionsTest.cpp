// The tile functions on the current room, run as game code: ids from the game-wide counter, the
// fields, finding by id after the depth sort, the searches with their half-open and closed
// boxes, the layer operations, and the reports for unknown tiles and backgrounds.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/RoomDraw.h"
#include "resources/GameResources.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "support/WorldFixture.h"
#include "world/RoomTiles.h"

namespace kestro::test {
namespace {

class TileFunctions_ : public WorldFixture {
 protected:
  void SetUp() override {
    WorldFixture::SetUp();
    auto b = std::make_unique<CBackground>();
    b->i_bitmap = TBitmap32(32, 32, 0xFFFFFFFFu);
    Backgrounds().Add(std::move(b), "back");
    GameResources().rooms.lastTileId = 10000020;
    StartWorld();
  }
  double Eval(const std::string& text) {
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile()) << text;
    CInstance temporary;
    RValue r;
    EXPECT_TRUE(ExecuteCode(&temporary, &temporary, code, r)) << text;
    return r.val;
  }
  std::vector<RTile>& Tiles() { return World().Room().r_tile; }
  // The ids of the room's tiles in array order.
  std::string Ids() {
    std::string s;
    for (const RTile& t : Tiles()) s += std::to_string(t.id - 10000020) + " ";
    return s;
  }
};

TEST_F(TileFunctions_, AddGivesIdsFromTheGameCounterAndFieldsReadBack) {
  EXPECT_EQ(Eval("return tile_add(back, 1.4, 2.6, 8, 16, 10.25, 20.5, -3.5)"), 10000021);
  EXPECT_EQ(Eval("return tile_add(back, 0, 0, 4, 4, 0, 0, 0)"), 10000022);
  EXPECT_EQ(World().lastTileId, 10000022);
  EXPECT_EQ(World().Room().r_tnumb, 2);
  const char* reads[][2] = {
      {"tile_get_x(10000021)", "10.25"},        {"tile_get_y(10000021)", "20.5"},
      {"tile_get_left(10000021)", "1"},         {"tile_get_top(10000021)", "3"},
      {"tile_get_width(10000021)", "8"},        {"tile_get_height(10000021)", "16"},
      {"tile_get_depth(10000021)", "-3.5"},     {"tile_get_visible(10000021)", "1"},
      {"tile_get_xscale(10000021)", "1"},       {"tile_get_yscale(10000021)", "1"},
      {"tile_get_blend(10000021)", "16777215"}, {"tile_get_alpha(10000021)", "1"},
      {"tile_get_background(10000021)", "0"},   {"tile_exists(10000021)", "1"},
      {"tile_exists(10000023)", "0"},
  };
  for (auto& [expr, want] : reads) EXPECT_EQ(Eval(std::string("return ") + expr), std::stod(want)) << expr;
  Eval(
      "tile_set_visible(10000021, 0.4); tile_set_background(10000021, 7); tile_set_region(10000021, 1, 2, 3, 4.5);"
      "tile_set_position(10000021, -1.5, 2.5); tile_set_depth(10000021, 9); tile_set_scale(10000021, -1, 2);"
      "tile_set_blend(10000021, 255); tile_set_alpha(10000021, 0.25)");
  const RTile& t = Tiles()[0];
  EXPECT_FALSE(t.visible);
  EXPECT_EQ(t.index, 7);
  EXPECT_EQ(t.xo + t.yo * 10 + t.w * 100 + t.h * 1000, 4321);
  EXPECT_EQ(t.x, -1.5);
  EXPECT_EQ(t.y, 2.5);
  EXPECT_EQ(t.depth, 9);
  EXPECT_EQ(t.xscale, -1);
  EXPECT_EQ(t.yscale, 2);
  EXPECT_EQ(t.blend, 255);
  EXPECT_EQ(t.alpha, 0.25);
  EXPECT_TRUE(out_.empty()) << out_;

  // Unknown tiles and backgrounds: a report and the neutral result.
  EXPECT_EQ(Eval("return tile_get_x(5)"), 0);
  EXPECT_EQ(Eval("tile_set_depth(5, 1); tile_delete(5); return 1"), 1);
  EXPECT_EQ(Eval("return tile_add(3, 0, 0, 4, 4, 0, 0, 0)"), -1);
  EXPECT_EQ(out_,
            "E[Tile does not exist.];E[Tile does not exist.];E[Tile does not exist.];"
            "E[Background does not exist.];");
  EXPECT_EQ(World().lastTileId, 10000022);  // nothing was added
}

TEST_F(TileFunctions_, FoundByIdAfterSortingAndDeletingKeepsTheOrder) {
  for (int depth : {0, 5, 0, 10, 5}) Eval("tile_add(back, 0, 0, 4, 4, 0, 0, " + std::to_string(depth) + ")");
  EXPECT_EQ(Ids(), "1 2 3 4 5 ");
  SortTiles(World().Room());
  EXPECT_EQ(Ids(), "4 2 5 1 3 ");  // deeper first, equal depths in their order
  SortTiles(World().Room());
  EXPECT_EQ(Ids(), "4 2 5 1 3 ");
  // The remembered index is tried first, then the array is searched.
  CRoom& room = World().Room();
  EXPECT_EQ(FindTile(room, 10000021), 3);
  EXPECT_EQ(room.r_lasttile, 3);
  EXPECT_EQ(FindTile(room, 10000024), 0);
  EXPECT_EQ(FindTile(room, 10000099), -1);
  Eval("tile_delete(10000022)");
  EXPECT_EQ(Ids(), "4 5 1 3 ");
  EXPECT_EQ(Eval("return tile_get_depth(10000023)"), 0);
  EXPECT_EQ(room.r_tnumb, 4);
}

TEST_F(TileFunctions_, SearchesAndLayerOperations) {
  // 1: 10 ... 20 at depth 0; 2: 10 ... 20 at depth -1; 3: mirrored 0 ... 10 at depth 5.
  Eval(
      "tile_add(back, 0, 0, 10, 10, 10, 10, 0); tile_add(back, 0, 0, 10, 10, 10, 10, -1);"
      "t = tile_add(back, 0, 0, 10, 10, 10, 10, 5); tile_set_scale(t, -1, -1)");
  const struct {
    const char* expr;
    double want;
  } finds[] = {
      {"tile_find(10, 10, 0)", 10000021},         // the left and top edges are inside
      {"tile_find(19.9, 15, 1)", 10000022},       // a foreground tile lies below 0
      {"tile_find(20, 15, 0)", -1},               // the right edge is not inside
      {"tile_find(5, 5, 0)", 10000023},           // a mirrored tile by its mirrored box
      {"tile_find(5, 5, 1)", -1},                 // which is a background tile
      {"tile_layer_find(-1, 15, 15)", 10000022},  // by depth
      {"tile_layer_find(-1, 15, 20)", -1},        // the bottom edge is not inside
      {"tile_layer_find(3, 15, 15)", -1},         // no tile at that depth
  };
  for (const auto& f : finds) EXPECT_EQ(Eval(std::string("return ") + f.expr), f.want) << f.expr;

  Eval("tile_layer_hide(0)");
  EXPECT_EQ(Tiles()[0].visible + Tiles()[1].visible * 10, 10);
  Eval("tile_layer_show(0); tile_layer_shift(-1, 5, -2.5)");
  EXPECT_TRUE(Tiles()[0].visible);
  EXPECT_EQ(Tiles()[1].x, 15);
  EXPECT_EQ(Tiles()[1].y, 7.5);
  Eval("tile_layer_depth(-1, 0)");
  EXPECT_EQ(Tiles()[1].depth, 0);
  Eval("tile_layer_depth(0, -1)");
  EXPECT_EQ(Tiles()[0].depth + Tiles()[1].depth, -2);
  // Deleting at a point: the closed box; depth 0 counts for both kinds.
  Eval("tile_set_depth(10000021, 0); tile_delete_at(10, 20, 1)");
  EXPECT_EQ(Ids(), "2 3 ");  // tile 1's bottom edge holds (10, 20)
  Eval("tile_delete_at(24, 10, 0)");
  EXPECT_EQ(Ids(), "2 3 ");  // tile 2 lies below 0
  Eval("tile_layer_delete_at(-1, 25, 10)");
  EXPECT_EQ(Ids(), "2 3 ");  // half-open: 25 is its right edge
  Eval("tile_layer_delete_at(-1, 24, 10)");
  EXPECT_EQ(Ids(), "3 ");
  Eval("tile_layer_delete(5)");
  EXPECT_EQ(Ids(), "");
  EXPECT_TRUE(out_.empty()) << out_;
}

}  // namespace
}  // namespace kestro::test
