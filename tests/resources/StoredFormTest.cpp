// Stored forms read field by field from hand-made streams, the collision masks built from images,
// and damaged resource blocks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "resources/GameResources.h"
#include "runner/Runner.h"
#include "io/Stream.h"
#include "support/TestSupport.h"
#include "tools/GameData.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;

// A list block with one packed slot whose content `fill` writes after the exists flag and name.
template <typename F>
CStream ListBlock(int version, F fill, const std::string& name = "x") {
  CStream item;
  item.WriteBoolean(true);
  item.WriteString(name);
  fill(item);
  CStream s;
  s.WriteInteger(version);
  s.WriteInteger(1);
  s.WriteStreamC(item);
  s.SetPosition(0);
  return s;
}

void WriteFont(CStream& s, int32_t packedFirst, int tallGlyph) {
  s.WriteInteger(800);
  s.WriteString("Sans");
  s.WriteInteger(10);
  s.WriteBoolean(false);
  s.WriteBoolean(true);
  s.WriteInteger(packedFirst);
  s.WriteInteger(90);
  for (int c = 0; c < 256; ++c)
    for (int k = 0; k < 6; ++k) s.WriteInteger(k == 3 && c == tallGlyph ? 21 : k == 3 ? 5 : 0);
  s.WriteInteger(2);
  s.WriteInteger(1);
  s.WriteInteger(3);  // a sheet block longer than 2 x 1: only 2 bytes are taken
  s.WriteBytes("\x01\x02\x03", 3);
}

TEST(StoredForm, FontPackedFirstCharacter) {
  struct {
    int32_t packed;
    int first, charset, antialias;
  } cases[] = {{0x04000020, 32, 1, 3}, {0x01EE0041, 65, 238, 0}, {0x00000020, 32, 1, 3}};
  for (const auto& c : cases) {
    CStream s = ListBlock(800, [&](CStream& i) { WriteFont(i, c.packed, 7); });
    CResourceList<CFont> fonts;
    ASSERT_TRUE(LoadFontBlock(s, fonts));
    const CFont* f = fonts.Get(0);
    EXPECT_EQ(f->s_first, c.first);
    EXPECT_EQ(f->s_charset, c.charset);
    EXPECT_EQ(f->s_AntiAlias, c.antialias);
    EXPECT_TRUE(f->s_italic);
    // The tallest of all 256 glyphs, also outside first..last.
    EXPECT_EQ(f->s_FontHeight, 21);
    EXPECT_EQ(f->s_bytes, (std::vector<uint8_t>{1, 2}));
  }
}

TEST(StoredForm, SpriteWithoutImagesAndBitmapWithoutPixels) {
  CStream s = ListBlock(800, [](CStream& i) {
    i.WriteInteger(800);
    i.WriteInteger(4);
    i.WriteInteger(5);
    i.WriteInteger(0);  // no images
    i.WriteBoolean(true);
    // no masks follow
  });
  CResourceList<CSprite> sprites;
  ASSERT_TRUE(LoadSpriteBlock(s, sprites));
  const CSprite* spr = sprites.Get(0);
  EXPECT_EQ(spr->i_numb, 0);
  EXPECT_TRUE(spr->i_mask.empty());
  EXPECT_EQ(spr->i_bbox, (RRect{0, 0, 0, 0}));
  EXPECT_EQ(spr->GetWidth(), 1);
  EXPECT_EQ(spr->ImageIndex(5), -1);

  // Width 5, height 0: nothing after the height; a bitmap of another version stays empty.
  CStream b;
  b.WriteInteger(800);
  b.WriteInteger(5);
  b.WriteInteger(0);
  b.WriteInteger(799);
  b.WriteInteger(12345);
  b.SetPosition(0);
  TBitmap32 bm;
  EXPECT_TRUE(bm.LoadFromStream(b));
  EXPECT_EQ(b.Position(), 12u);
  EXPECT_FALSE(bm.LoadFromStream(b));
  EXPECT_TRUE(bm.Empty());
}

TEST(StoredForm, SpriteImageIndexWraps) {
  CSprite spr;
  spr.i_numb = 3;
  EXPECT_EQ(spr.ImageIndex(-1), 2);
  EXPECT_EQ(spr.ImageIndex(7), 1);
  EXPECT_EQ(spr.ImageIndex(-3), 0);
}

TEST(StoredForm, RoomLayerStretchAndCounters) {
  CResourceList<CBackground> backgrounds;
  auto bg = std::make_unique<CBackground>();
  bg->i_bitmap.Create(320, 240);
  backgrounds.Add(std::move(bg), "bg");
  for (int index : {0, 3}) {
    CRoom room;
    room.r_background[0].index = index;
    room.r_background[0].stretch = true;
    CStream s;
    room.SaveToStream(s);
    s.SetPosition(0);
    CRoom back;
    ASSERT_TRUE(back.LoadFromStream(s, backgrounds));
    double want = index == 0 ? 2.0 : 1.0;
    EXPECT_EQ(back.r_background[0].xscale, want);
    EXPECT_EQ(back.r_background[0].yscale, want);
    EXPECT_EQ(back.r_background[0].blend, 0xFFFFFF);
  }
  // The counters follow the rooms even when every slot is empty.
  CStream s;
  s.WriteInteger(800);
  s.WriteInteger(2);
  for (int i = 0; i < 2; ++i) {
    CStream item;
    item.WriteBoolean(false);
    s.WriteStreamC(item);
  }
  s.WriteInteger(100077);
  s.WriteInteger(10000055);
  s.SetPosition(0);
  CRoomBlock block;
  ASSERT_TRUE(LoadRoomBlock(s, block, backgrounds));
  EXPECT_EQ(block.rooms.Count(), 2);
  EXPECT_EQ(block.rooms.Name(1), "<undefined>");
  EXPECT_EQ(block.lastInstanceId, 100077);
  EXPECT_EQ(block.lastTileId, 10000055);
}

// Rooms and actions written field by field as the game data holds them.
TEST(StoredForm, RoomAndActionFieldOrder) {
  CStream s;
  s.WriteInteger(541);
  s.WriteString("cap");
  for (int v : {800, 600, 45}) s.WriteInteger(v);  // width, height, speed
  s.WriteBoolean(true);                            // persistent
  s.WriteInteger(0x0000FF);                         // colour
  s.WriteBoolean(false);                            // show colour
  s.WriteString("code");
  s.WriteInteger(1);  // one layer
  for (int v : {1, 1, 4, 10, 20, 0, 1, -2, 3, 0}) s.WriteInteger(v);
  s.WriteBoolean(true);
  s.WriteInteger(1);  // one view
  for (int v : {1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) s.WriteInteger(v);
  s.WriteInteger(1);
  for (int v : {5, 6, 7, 100008}) s.WriteInteger(v);
  s.WriteString("init");
  s.WriteInteger(1);
  for (int v : {1, 2, 3, 4, 5, 6, 7, 8, 10000009}) s.WriteInteger(v);
  s.SetPosition(0);
  CRoom r;
  ASSERT_TRUE(r.LoadFromStream(s, CResourceList<CBackground>()));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(r.r_caption, "cap");
  EXPECT_EQ(r.r_width, 800);
  EXPECT_EQ(r.r_height, 600);
  EXPECT_EQ(r.r_speed, 45);
  EXPECT_TRUE(r.r_persistent);
  EXPECT_EQ(r.r_color, 0xFF);
  EXPECT_FALSE(r.r_showcolor);
  const CBack& l = r.r_background[0];
  EXPECT_TRUE(l.visible && l.foreground && !l.htiled && l.vtiled);
  EXPECT_EQ(l.index, 4);
  EXPECT_EQ(l.x, 10);
  EXPECT_EQ(l.y, 20);
  EXPECT_EQ(l.hspeed, -2);
  EXPECT_EQ(l.vspeed, 3);
  EXPECT_TRUE(r.r_background[1].htiled);  // layers not stored keep their defaults
  const CView& v = r.r_view[0];
  EXPECT_EQ((std::vector<int>{v.xview, v.yview, v.wview, v.hview, v.xport, v.yport, v.wport, v.hport, v.hborder,
                              v.vborder, v.hspeed, v.vspeed, v.index}),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  ASSERT_EQ(r.r_placed.size(), 1u);
  EXPECT_EQ(r.r_placed[0].object, 7);
  EXPECT_EQ(r.r_placed[0].id, 100008);
  EXPECT_EQ(r.r_placed[0].code, "init");
  ASSERT_EQ(r.r_tile.size(), 1u);
  EXPECT_EQ(r.r_tile[0].index, 3);
  EXPECT_EQ(r.r_tile[0].h, 7);
  EXPECT_EQ(r.r_tile[0].depth, 8);
  EXPECT_EQ(r.r_tile[0].id, 10000009);

  CStream a;
  for (int n : {440, 1, 2, 7, 1, 0, 1, 2}) a.WriteInteger(n);
  a.WriteString("fn");
  a.WriteString("code");
  for (int n : {2, 2, 1, 0, -2, 1, 2}) a.WriteInteger(n);
  a.WriteString("first");
  a.WriteString("second");
  a.WriteBoolean(true);
  a.SetPosition(0);
  CAction act;
  ASSERT_TRUE(act.LoadFromStream(a));
  EXPECT_EQ(a.Remaining(), 0u);
  EXPECT_EQ(act.act_libid, 1);
  EXPECT_EQ(act.act_id, 2);
  EXPECT_EQ(act.act_kind, kActCode);
  EXPECT_TRUE(act.act_userelative && !act.act_isquestion && act.act_useapplyto);
  EXPECT_EQ(act.act_exetype, kExeCode);
  EXPECT_EQ(act.act_funcname, "fn");
  EXPECT_EQ(act.act_codestring, "code");
  EXPECT_EQ(act.act_argumentcount, 2);
  EXPECT_EQ(act.act_argtype[0], 1);
  EXPECT_EQ(act.act_who, -2);
  EXPECT_TRUE(act.act_relative);
  EXPECT_EQ(act.act_argstring[1], "second");
  EXPECT_TRUE(act.act_isnot);
  CStream back;
  act.SaveToStream(back);
  EXPECT_EQ(back.Buffer(), a.Buffer());
}

TEST(StoredForm, MissingActionFunctionIsReportedAndLoadingGoesOn) {
  CAction a;
  a.act_exetype = kExeFunction;
  a.act_funcname = "no_such_function_anywhere";
  CStream s;
  a.SaveToStream(s);
  s.SetPosition(0);
  test::MessageRecorder messages;
  SetReportMissingActionFunctions(true);
  CAction back;
  EXPECT_TRUE(back.LoadFromStream(s));
  SetReportMissingActionFunctions(false);
  EXPECT_EQ(back.act_functionid, -1);
  EXPECT_EQ(messages.messages, (std::vector<std::string>{"Failed to locate action function no_such_function_anywhere"}));
}

TEST(StoredForm, RoomOrderNeedsARoom) {
  for (int n : {0, -1}) {
    CStream s;
    s.WriteInteger(700);
    s.WriteInteger(n);
    s.SetPosition(0);
    std::vector<int> order;
    EXPECT_FALSE(LoadRoomOrderBlock(s, order));
  }
}

TEST(StoredForm, ObjectEventsAndVersions) {
  CStream s = ListBlock(800, [](CStream& i) {
    i.WriteInteger(430);
    for (int v : {3, 1, 0, -5, 0, 2, -1}) i.WriteInteger(v);
    i.WriteInteger(5);  // last type
    for (int t = 0; t <= 5; ++t) {
      if (t == 5) {
        for (int n : {39, 37}) {
          i.WriteInteger(n);
          i.WriteInteger(400);
          i.WriteInteger(1);
          i.WriteInteger(439);  // an action of another version: read no further, stays cleared
        }
        i.WriteInteger(1);
        i.WriteInteger(401);  // an event of another version: empty
      }
      i.WriteInteger(-1);
    }
  });
  CResourceList<CObject> objects;
  ASSERT_TRUE(LoadObjectBlock(s, objects));
  const CObject* o = objects.Get(0);
  EXPECT_EQ(o->o_spriteindex, 3);
  EXPECT_TRUE(o->o_solid);
  EXPECT_FALSE(o->o_visible);
  EXPECT_EQ(o->o_depth, -5);
  EXPECT_EQ(o->o_parent, 2);
  EXPECT_EQ(o->EventCount(kEvKeyboard), 40);
  ASSERT_TRUE(o->o_events[kEvKeyboard].count(37));
  EXPECT_EQ(o->o_events[kEvKeyboard].at(37).e_actions[0].act_functionid, -1);
  EXPECT_EQ(o->GetEventDirect(kEvKeyboard, 1), nullptr);   // stored, but empty
  EXPECT_EQ(o->GetEventDirect(kEvKeyboard, 38), nullptr);  // never stored
  EXPECT_NE(o->GetEventDirect(kEvKeyboard, 39), nullptr);
  EXPECT_EQ(objects.Find("x"), 0);
  EXPECT_EQ(objects.Find("y"), -1);

  // An object of another version fails the block.
  CStream bad = ListBlock(800, [](CStream& i) { i.WriteInteger(431); });
  EXPECT_FALSE(LoadObjectBlock(bad, objects));
}

TEST(StoredForm, EventNames) {
  EXPECT_EQ(EventName(kEvStep, 0, "", ""), " Step Event");
  EXPECT_EQ(EventName(kEvStep, 1, "", ""), "Begin Step Event");
  EXPECT_EQ(EventName(kEvKeyboard, 108, "", ""), "Keyboard Event for <unknown> Key");
  EXPECT_EQ(EventName(kEvKeyPress, 123, "", ""), "Key Press Event for F12 Key");
  EXPECT_EQ(EventName(kEvKeyRelease, 65, "", ""), "Key Release Event for A-key Key");
  EXPECT_EQ(EventName(kEvMouse, 43, "", ""), "Mouse Event for Joystick 2 Button 8");
  EXPECT_EQ(EventName(kEvOther, 25, "", ""), "Other Event: User Defined 15");
  EXPECT_EQ(EventName(kEvTrigger, 0, "", kDeletedTriggerName), "Trigger Event: <Deleted>");
  EXPECT_EQ(EventName(12, 0, "", ""), "<Unknown Event>");
}

TEST(StoredForm, TimeLineMoments) {
  CTimeLine tl;
  tl.AddMoment(5);
  tl.AddMoment(20);
  tl.AddMoment(10);
  tl.AddMoment(5);
  EXPECT_EQ(tl.s_step, (std::vector<int>{5, 10, 20}));
  EXPECT_EQ(tl.FindLarger(11), 2);
  EXPECT_EQ(tl.FindLarger(21), 3);
  EXPECT_EQ(tl.FindSmaller(4), -1);
  EXPECT_EQ(tl.FindSmaller(19), 1);
  tl.DeleteMoment(5);
  EXPECT_EQ(tl.s_step, (std::vector<int>{10, 20}));
  EXPECT_EQ(tl.s_count, 2);
}

TEST(StoredForm, IncludedFileWithoutStoredContent) {
  CStream s;
  s.WriteInteger(800);
  s.WriteString("a.txt");
  s.WriteString("a.txt");
  s.WriteBoolean(true);  // exists
  s.WriteInteger(10);
  s.WriteBoolean(false);  // not stored: no block follows
  s.WriteInteger(1);
  s.WriteString("");
  s.WriteBoolean(false);
  s.WriteBoolean(true);
  s.WriteBoolean(false);
  s.SetPosition(0);
  CDataFile f;
  ASSERT_TRUE(f.LoadFromStream(s));
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(f.s_exportaction, 1);
  test::ScratchDir dir;
  EXPECT_FALSE(f.ExportIt(dir / "a.txt"));
  EXPECT_FALSE(f.Prepare(dir / "tmp", dir.path()));
  EXPECT_FALSE(fs::exists(dir / "a.txt"));
}

// Export to each place; names from the data stay inside the folder they are exported to; an
// existing file is kept unless overwriting is on, and still removed at the end.
TEST(StoredForm, IncludedFileExport) {
  test::ScratchDir dir;
  fs::path temp = dir / "tmp", work = dir / "work";
  fs::create_directories(temp);
  fs::create_directories(work);
  CDataFile f;
  f.s_exists = f.s_store = true;
  f.s_data = {'n', 'e', 'w'};
  f.s_filename = "../../up/file.txt";
  f.s_exportaction = 1;
  f.s_freedata = false;
  EXPECT_TRUE(f.Prepare(temp, work));
  EXPECT_TRUE(fs::exists(temp / "up" / "file.txt"));
  EXPECT_FALSE(fs::exists(dir / "up"));
  f.s_exportaction = 3;
  f.s_exportdir = (dir / "chosen").string();
  EXPECT_TRUE(f.Prepare(temp, work));
  EXPECT_TRUE(fs::exists(dir / "chosen" / "up" / "file.txt"));
  f.s_exportaction = 2;
  f.s_filename = "kept.txt";
  test::WriteBytes(work / "kept.txt", {'o', 'l', 'd'});
  EXPECT_FALSE(f.Prepare(temp, work));
  EXPECT_EQ(test::ReadBytes(work / "kept.txt"), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(f.Remove(temp, work));
  EXPECT_FALSE(fs::exists(work / "kept.txt"));
  f.s_overwrite = true;
  f.s_freedata = true;
  EXPECT_TRUE(f.Prepare(temp, work));
  EXPECT_EQ(test::ReadBytes(work / "kept.txt"), (std::vector<uint8_t>{'n', 'e', 'w'}));
  EXPECT_FALSE(f.s_exists);  // content dropped after exporting
}

TEST(StoredForm, NamesFromGameDataStayInsideTheirFolder) {
  struct {
    const char* name;
    const char* safe;
  } cases[] = {{"../../etc/passwd", "etc/passwd"}, {"/abs/file", "abs/file"}, {"C:\\games\\x.dll", "games/x.dll"},
               {"sub\\..\\..\\f", "sub/f"}, {"..", ""}, {"plain.txt", "plain.txt"}};
  for (const auto& c : cases) EXPECT_EQ(SafeRelativePath(c.name).generic_string(), c.safe) << c.name;
}

// An extension package: script files split at their #define lines, library files written into
// the package folder, which stays inside the temporary folder whatever its stored name.
TEST(StoredForm, ExtensionPackageFilesAndScripts) {
  CExtensionPackage p;
  p.s_name = "pkg";
  p.s_folder = "../../outside";
  p.contentKey = 99;
  CExtensionFile script;
  script.s_filename = "s.txt";
  script.s_kind = kExtScript;
  script.s_data = std::vector<uint8_t>();
  std::string text = "ignored\r\n#define a\r\nreturn 1\r\n#define  b \r\nreturn 2";
  script.s_data->assign(text.begin(), text.end());
  CExtensionFunction fa, fb;
  fa.s_name = " fa ";
  fa.s_extname = "a";
  fb.s_name = "fb";
  fb.s_argcount = 6;
  fb.s_argtype[0] = 1;
  script.s_functions = {fa, fb};
  script.s_functions[1].s_extname = "";
  CExtensionFile lib;
  lib.s_filename = "../lib.so";
  lib.s_kind = kExtLibrary;
  lib.s_data = std::vector<uint8_t>{7, 7, 7};
  p.s_includes = {script, lib};
  CStream s;
  SaveExtensionBlock(s, {p});
  s.SetPosition(0);
  test::ScratchDir temp;
  std::vector<CExtensionPackage> loaded;
  ASSERT_TRUE(LoadExtensionBlock(s, loaded, (temp / "tmp").string()));
  ASSERT_EQ(loaded.size(), 1u);
  const CExtensionFile& f = loaded[0].s_includes[0];
  EXPECT_EQ(f.s_functions[0].s_name, "fa");
  EXPECT_EQ(f.s_functions[0].s_script, "return 1");
  EXPECT_EQ(f.s_functions[1].s_extname, "fb");  // empty external name becomes the name
  EXPECT_EQ(f.s_functions[1].s_argtype[0], 2);  // more than 4 arguments: all real
  EXPECT_TRUE(fs::exists(temp / "tmp" / "outside" / "lib.so"));
  for (const auto& e : fs::recursive_directory_iterator(temp.path()))
    EXPECT_EQ(e.path().string().rfind((temp / "tmp").string(), 0), 0u) << e.path();
}

// Found by fuzzing: a constant block cut between a name and its value, and a package whose
// contents key the scrambler cannot take.
TEST(StoredForm, TruncatedConstantsAndUnusableKeys) {
  CStream s;
  s.WriteInteger(800);
  s.WriteInteger(2);
  s.WriteString("A");
  s.WriteString("1");
  s.WriteString("B");
  s.WriteInteger(100);  // a value longer than what is left
  s.SetPosition(0);
  CConstants c;
  EXPECT_THROW(c.LoadFromStream(s), EStreamError);
  EXPECT_EQ(c.names.size(), c.values.size());

  for (int32_t key : {-64249, -64250, INT32_MIN}) {
    CExtensionPackage p;
    p.contentKey = key;
    CStream out;
    SaveExtensionBlock(out, {p});
    out.SetPosition(0);
    std::vector<CExtensionPackage> back;
    test::MessageRecorder messages;
    EXPECT_TRUE(LoadExtensionBlock(out, back, "")) << key;
  }
}

TEST(StoredForm, StraightPath) {
  CPath p;
  p.i_closed = false;
  for (auto [x, y] : {std::pair{0, 0}, {100, 0}, {100, 100}}) p.AddPoint(x, y, 100);
  EXPECT_EQ(p.i_intcount, 3);
  EXPECT_DOUBLE_EQ(p.i_length, 200);
  EXPECT_DOUBLE_EQ(p.GetPosition(0.75).y, 50);
  EXPECT_DOUBLE_EQ(p.GetPosition(7).y, 100);
  p.SetClosed(true);
  EXPECT_EQ(p.i_intcount, 4);
  EXPECT_DOUBLE_EQ(p.i_length, 200 + std::sqrt(20000.0));
  p.SetPrecision(12);
  EXPECT_EQ(p.i_precision, 8);
  // A stored precision beyond 8 is kept, and subdivision still stops at depth 8.
  p.i_kind = 1;
  p.i_precision = 1000000;
  p.Recompute();
  EXPECT_LE(p.i_intcount, 3 * 255 + 2);
}

// ---------------------------------------------------------------------------------------------
// Collision masks.

TBitmap32 Square(int size, int x0, int y0, int side, uint8_t alpha = 255) {
  TBitmap32 bm(size, size);
  for (int y = y0; y < y0 + side; ++y)
    for (int x = x0; x < x0 + side; ++x) bm.SetPixel(x, y, TColor32{0, 0, 0, alpha});
  return bm;
}

int SolidCount(const TMask& m) {
  int n = 0;
  for (int x = 0; x < m.i_w; ++x)
    for (int y = 0; y < m.i_h; ++y) n += m.Get(x, y);
  return n;
}

TEST(CollisionMask, BuildingByKindAndBox) {
  TBitmap32 sq = Square(32, 5, 5, 10);
  TMask precise(&sq, kBoxAutomatic, {}, kMaskPrecise, 0);
  EXPECT_EQ(precise.i_bbox, (RRect{5, 5, 14, 14}));
  EXPECT_EQ(SolidCount(precise), 100);

  TBitmap32 full(32, 32);
  TMask ellipse(&full, kBoxFull, {}, kMaskEllipse, 0);
  EXPECT_TRUE(ellipse.Get(0, 15));
  EXPECT_FALSE(ellipse.Get(0, 0));

  TBitmap32 three(3, 3);
  TMask diamond(&three, kBoxFull, {}, kMaskDiamond, 0);
  EXPECT_FALSE(diamond.Get(0, 0));
  EXPECT_FALSE(diamond.Get(2, 2));
  for (auto [x, y] : {std::pair{1, 1}, {0, 1}, {1, 0}, {2, 1}, {1, 2}}) EXPECT_TRUE(diamond.Get(x, y));

  TMask manual(&full, kBoxManual, {-5, -5, 100, 100}, kMaskRectangle, 0);
  EXPECT_EQ(manual.i_bbox, (RRect{0, 0, 31, 31}));
  EXPECT_EQ(SolidCount(manual), 32 * 32);

  // Tolerance: alpha must exceed it; nothing solid leaves the started box.
  TBitmap32 faint = Square(8, 2, 2, 2, 100);
  EXPECT_EQ(SolidCount(TMask(&faint, kBoxAutomatic, {}, kMaskPrecise, 99)), 4);
  TMask none(&faint, kBoxAutomatic, {}, kMaskPrecise, 100);
  EXPECT_EQ(SolidCount(none), 0);
  EXPECT_EQ(none.i_bbox, (RRect{7, 7, 0, 0}));
  TMask empty(nullptr, kBoxFull, {}, kMaskRectangle, 0);
  EXPECT_EQ(empty.i_w, 0);
}

TEST(CollisionMask, MergingAndSpriteBox) {
  TBitmap32 left(8, 8), right(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 4; ++x) {
      left.SetPixel(x, y, TColor32{0, 0, 0, 255});
      right.SetPixel(x + 4, y, TColor32{0, 0, 0, 255});
    }
  std::vector<TBitmap32> images = {left, right};
  std::vector<TMask> merged = BuildSpriteMasks(images, {false, kBoxAutomatic, {}, kMaskPrecise, 0});
  ASSERT_EQ(merged.size(), 1u);
  EXPECT_EQ(SolidCount(merged[0]), 64);
  EXPECT_EQ(merged[0].i_bbox, (RRect{0, 0, 7, 7}));

  // Shapes are recomputed over the union box.
  std::vector<TMask> rect = BuildSpriteMasks(images, {false, kBoxAutomatic, {}, kMaskRectangle, 0});
  EXPECT_EQ(SolidCount(rect[0]), 64);

  CSprite spr;
  spr.i_bitmap = images;
  spr.i_numb = 2;
  spr.ComputeMask({true, kBoxAutomatic, {}, kMaskPrecise, 0});
  EXPECT_EQ(spr.i_mask.size(), 2u);
  EXPECT_EQ(spr.i_bbox, (RRect{0, 0, 7, 7}));
}

TEST(CollisionMask, StoredFormOrderAndBounds) {
  TBitmap32 bm = Square(4, 1, 0, 2);
  TMask m(&bm, kBoxAutomatic, {}, kMaskPrecise, 0);
  CStream s;
  m.SaveToStream(s);
  s.SetPosition(0);
  std::vector<int32_t> v;
  while (s.Remaining()) v.push_back(s.ReadInteger());
  // Version, width, height, Left, Right, Bottom, Top, then the rows.
  EXPECT_EQ(std::vector<int32_t>(v.begin(), v.begin() + 7), (std::vector<int32_t>{800, 4, 4, 1, 2, 1, 0}));
  EXPECT_EQ(std::vector<int32_t>(v.begin() + 7, v.begin() + 11), (std::vector<int32_t>{0, 1, 1, 0}));
  s.SetPosition(0);
  TMask back;
  ASSERT_TRUE(back.LoadFromStream(s));
  EXPECT_EQ(back, m);

  // Sizes that do not fit the data are damage, never an allocation.
  for (auto [w, h] : {std::pair{-1, 4}, {65536, 65536}, {2147483647, 2}}) {
    CStream d;
    for (int32_t x : {800, w, h, 0, 0, 0, 0}) d.WriteInteger(x);
    d.SetPosition(0);
    TMask t;
    EXPECT_THROW(t.LoadFromStream(d), EStreamError);
  }
}

TEST(Bitmap32, TreatmentsAndPng) {
  TBitmap32 bm(3, 2);
  bm.SetPixel(0, 1, TColor32{1, 2, 3, 200});  // the bottom-left pixel gives the background colour
  bm.SetPixel(2, 0, TColor32{1, 2, 3, 77});
  bm.SetPixel(1, 0, TColor32{9, 9, 9, 255});
  bm.RemoveBackground();
  EXPECT_EQ(bm.GetPixel(2, 0).a, 0);
  EXPECT_EQ(bm.GetPixel(0, 1).a, 0);
  EXPECT_EQ(bm.GetPixel(2, 0).b, 1);  // colour kept
  bm.BleedColours();
  EXPECT_EQ(bm.GetPixel(0, 0), (TColor32{9, 9, 9, 0}));
  EXPECT_EQ(bm.GetPixel(-1, 0).Value(), 0u);
  bm.SetPixel(5, 5, TColor32{1, 1, 1, 1});
  EXPECT_EQ(bm.BoundingBox(0), (RRect{1, 0, 1, 0}));
  EXPECT_EQ(TBitmap32(10, 10).BoundingBox(0), (RRect{9, 9, 0, 0}));

  test::ScratchDir dir;
  TBitmap32 pic(5, 3);
  for (int i = 0; i < 15; ++i) pic.SetPixel(i % 5, i / 5, TColor32{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 17)});
  std::string error;
  ASSERT_TRUE(pic.SaveToPng(dir / "p.png", error)) << error;
  TBitmap32 back;
  ASSERT_TRUE(back.LoadFromPng(dir / "p.png", error)) << error;
  EXPECT_EQ(back, pic);
}

// ---------------------------------------------------------------------------------------------
// Damaged blocks: each ends loading with the loader's message or the stream error, never more.

std::vector<uint8_t> DemoSection() {
  test::ScratchDir dir;
  fs::path game = dir / "g.kx";
  std::string out;
  EXPECT_EQ(test::RunProcess(std::string(KESTRO_BINARY) + " build " + KESTRO_SOURCE_DIR +
                                 "/examples/demo -o " + game.string() + " --data-only --seed 5",
                             &out),
            0)
      << out;
  // The section as the run-time sees it, with no filler.
  tools::CGameData data;
  std::string error;
  EXPECT_TRUE(tools::ReadGameData(game, data, error)) << error;
  std::vector<uint8_t> section = {0, 0, 0, 0};
  section.insert(section.end(), data.resourceBytes.begin(), data.resourceBytes.end());
  return section;
}

// Loads a section through the runner: false with "Error: Error in resource data.", or the stream
// error that the start-up sequence reports as a corrupted game.
enum class RLoad { Ok, BlockFailed, StreamError };
RLoad LoadSection(const std::vector<uint8_t>& section) {
  CStream inner(section);
  CStream outer;
  std::mt19937 rng(3);
  outer.WriteStreamE(inner, rng);
  outer.SetPosition(0);
  test::MessageRecorder messages;
  CRunner runner(CRunHooks{}, nullptr);
  try {
    if (runner.LoadResources(outer)) return RLoad::Ok;
    EXPECT_FALSE(messages.messages.empty());
    EXPECT_EQ(messages.messages.back(), msg::kResourceData);
    return RLoad::BlockFailed;
  } catch (const EStreamError&) {
    return RLoad::StreamError;
  }
}

// Offsets of each block in the section (after the 4-byte filler count, flags, id and GUID).
std::vector<size_t> BlockOffsets(const std::vector<uint8_t>& section) {
  CStream s(section);
  s.SetPosition(4 + 4 + 4 + 16);
  std::vector<size_t> at;
  CGameResources res;
  for (int k = 0; k < kResourceKindCount; ++k) {
    at.push_back(s.Position());
    EXPECT_TRUE(LoadResourceBlock(ResourceKind(k), s, res, ""));
  }
  return at;
}

void Put(std::vector<uint8_t>& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

TEST(DamagedBlocks, WrongVersionsCountsAndTruncation) {
  const std::vector<uint8_t> good = DemoSection();
  ASSERT_EQ(LoadSection(good), RLoad::Ok);
  EXPECT_EQ(Sprites().Count(), 4);
  EXPECT_EQ(Rooms().Name(2), "rm_end");
  EXPECT_EQ(RoomOrder().size(), 3u);
  std::vector<size_t> at = BlockOffsets(good);
  for (int k = 0; k < kResourceKindCount; ++k) {
    SCOPED_TRACE(ResourceKindName(ResourceKind(k)));
    std::vector<uint8_t> b = good;
    Put(b, at[size_t(k)], 1);  // wrong block version
    EXPECT_EQ(LoadSection(b), RLoad::BlockFailed);
    if (k == int(ResourceKind::GameInformation)) continue;  // no count
    for (int32_t count : {-1, 0x7FFFFFFF, 0x40000000}) {
      b = good;
      Put(b, at[size_t(k)] + 4, count);
      EXPECT_NE(LoadSection(b), RLoad::Ok) << count;
    }
  }
  // Truncated anywhere: a stream error or a failed block, never a crash.
  for (size_t cut = 0; cut < good.size(); cut += 97) {
    std::vector<uint8_t> b(good.begin(), good.begin() + long(cut));
    EXPECT_NE(LoadSection(b), RLoad::Ok) << cut;
  }
}

TEST(DamagedBlocks, EmptyGameBlocksFromTheTestHelper) {
  for (int bad = -1; bad < kResourceKindCount; ++bad) {
    CStream s;
    s.WriteInteger(0);  // filler count
    s.WriteInteger(0);
    s.WriteInteger(777);
    s.WriteBytes(std::string(16, '\1').data(), 16);
    test::WriteEmptyResourceBlocks(s, bad);
    EXPECT_EQ(LoadSection(s.Buffer()), bad < 0 ? RLoad::Ok : RLoad::BlockFailed) << bad;
  }
}

TEST(DamagedBlocks, ItemVersionsAndSizes) {
  CSprite spr;
  spr.i_bitmap = {TBitmap32(4, 4)};
  spr.i_numb = 1;
  spr.ComputeMask({});
  CStream item;
  spr.SaveToStream(item);
  const std::vector<uint8_t> good = item.Buffer();
  struct {
    size_t offset;
    int32_t value;
  } damage[] = {
      {0, 799},            // sprite version
      {12, -1},            // image count
      {12, 0x10000000},    // image count beyond the data
      {20, -5},            // bitmap width
      {20, 0x40000000},    // bitmap width x height overflows
      {24, 0x7FFFFFFF},    // bitmap height
      {28, 0x7FFFFFF0},    // pixel block size
      {28, 8},             // pixel block shorter than the pixels
  };
  for (const auto& d : damage) {
    std::vector<uint8_t> b = good;
    Put(b, d.offset, d.value);
    CStream s(b);
    CSprite out;
    bool ok = true;
    try {
      ok = out.LoadFromStream(s);
    } catch (const EStreamError&) {
      ok = false;
    }
    EXPECT_FALSE(ok) << d.offset << " " << d.value;
  }
  // A packed slot that is not zlib data is a stream error.
  CStream s;
  s.WriteInteger(800);
  s.WriteInteger(1);
  s.WriteInteger(4);
  s.WriteBytes("junk", 4);
  s.SetPosition(0);
  CResourceList<CSprite> list;
  EXPECT_THROW(LoadSpriteBlock(s, list), EStreamError);
}

}  // namespace
}  // namespace kestro
