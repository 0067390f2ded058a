// Round trips of every resource kind: models -> stored blocks -> models, and models -> project
// folder -> models, byte for byte; and the whole demo project through build, unpack and build.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "resources/GameResources.h"
#include "io/Stream.h"
#include "support/TestSupport.h"
#include "tools/GameData.h"
#include "tools/ProjectResources.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

std::vector<uint8_t> SaveAll(const CGameResources& res) {
  CStream s;
  for (int k = 0; k < kResourceKindCount; ++k) SaveResourceBlock(ResourceKind(k), s, res);
  return s.Buffer();
}

bool LoadAll(const std::vector<uint8_t>& bytes, CGameResources& res) {
  CStream s(bytes);
  for (int k = 0; k < kResourceKindCount; ++k)
    if (!LoadResourceBlock(ResourceKind(k), s, res, "")) return false;
  return s.Remaining() == 0;
}

TBitmap32 Gradient(int w, int h, int seed) {
  TBitmap32 bm(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      bm.SetPixel(x, y, TColor32{uint8_t(x * 7 + seed), uint8_t(y * 11), uint8_t(seed * 3), uint8_t((x * y * 13 + seed) % 256)});
  return bm;
}

CAction CodeAction(const std::string& text) {
  CAction a;
  a.act_libid = 1;
  a.act_id = 603;
  a.act_kind = kActCode;
  a.act_exetype = kExeCode;
  a.act_argtype[0] = 1;
  a.act_argstring[0] = text;
  a.storedArgTypes = a.storedArgStrings = a.act_argumentcount = 1;
  return a;
}

struct RCase {
  const char* name;
  std::function<void(CGameResources&)> fill;
  // A file of the unpacked project and a text it must hold, when the case says how it is written.
  const char* file = nullptr;
  const char* holds = nullptr;
};

// Each case fills one kind with the values a plain project would not produce; the rest of the
// game is the minimum (one room in the order).
const RCase kCases[] = {
    {"sprite_masks_every_mode",
     [](CGameResources& r) {
       const RMaskParams params[] = {
           {false, kBoxAutomatic, {}, kMaskPrecise, 0},   {true, kBoxAutomatic, {}, kMaskPrecise, 100},
           {false, kBoxFull, {}, kMaskRectangle, 0},      {true, kBoxManual, {2, 3, 9, 7}, kMaskEllipse, 0},
           {false, kBoxManual, {-5, -5, 99, 99}, kMaskDiamond, 0}, {true, kBoxAutomatic, {}, kMaskDiamond, 200}};
       int i = 0;
       for (const RMaskParams& p : params) {
         auto s = std::make_unique<CSprite>();
         s->i_xorig = i - 2;
         s->i_yorig = 3 * i;
         for (int f = 0; f < 3; ++f) s->i_bitmap.push_back(Gradient(12, 10, i * 10 + f));
         s->i_numb = 3;
         s->ComputeMask(p);
         r.sprites.Add(std::move(s), "spr_" + std::to_string(i++));
       }
       r.sprites.Add(nullptr, "");
       r.sprites.Add(std::make_unique<CSprite>(), "no images");
     },
     "sprites/spr_5.json", "\"shape\": \"diamond\""},
    {"sprite_masks_no_settings_reproduce",
     [](CGameResources& r) {
       auto s = std::make_unique<CSprite>();
       s->i_bitmap = {Gradient(6, 5, 1), TBitmap32()};  // the second image stored empty
       s->i_numb = 2;
       s->i_sepmasks = true;
       s->i_mask.resize(2);
       s->i_mask[0].Resize(6, 5);
       s->i_mask[0].Set(1, 1, true);
       s->i_mask[0].i_bbox = {0, 0, 4, 4};  // wider than its pixels
       s->ComputeBoundingBox();
       r.sprites.Add(std::move(s), "../odd/name");
       r.sprites.Add(std::make_unique<CSprite>(), "ODD_NAME");
     },
     "sprites/sprite_0.json", "\"explicit\""},
    {"backgrounds_and_sounds",
     [](CGameResources& r) {
       auto b = std::make_unique<CBackground>();
       b->i_bitmap = Gradient(9, 4, 5);
       r.backgrounds.Add(std::move(b), "bg");
       r.backgrounds.Add(std::make_unique<CBackground>(), "empty bg");
       auto s = std::make_unique<CSound>();
       s->s_kind = 3;
       s->s_extension = ".mid";
       s->s_origname = "tune.mid";
       s->s_sound = std::vector<uint8_t>{1, 2, 3, 0, 255};
       s->s_effects = kEffectEcho | kEffectI3DL2Reverb | (1 << 12);
       s->s_volume = 0.3;
       s->s_pan = -0.75;
       s->s_preload = false;
       r.sounds.Add(std::move(s), "snd");
       auto none = std::make_unique<CSound>();
       none->s_extension = "/../x";
       r.sounds.Add(std::move(none), "silent");
     }},
    {"paths_scripts_fonts",
     [](CGameResources& r) {
       auto p = std::make_unique<CPath>();
       p->i_kind = 7;  // taken as stored
       p->i_closed = false;
       p->i_precision = 12;
       p->i_points = {{0.1, 1e-7, 100}, {-3.25, 1e9, 0.5}};
       p->i_count = 2;
       r.paths.Add(std::move(p), "pth");
       auto s = std::make_unique<CScript>();
       s->s_text = "a = 1;\r\nb = 2;\nreturn a\r";
       r.scripts.Add(std::move(s), "scr");
       auto f = std::make_unique<CFont>();
       f->s_name = "Serif";
       f->s_size = 17;
       f->s_bold = true;
       f->s_charset = 238;
       f->s_AntiAlias = 0;
       f->s_first = 65;
       f->s_last = 300;
       f->s_x[65] = 1, f->s_w[65] = 3, f->s_h[65] = 2, f->s_shift[255] = 4, f->s_offset[0] = -1;
       f->s_bw = 3, f->s_bh = 2;
       f->s_bytes = {0, 10, 20, 30, 255, 1};
       r.fonts.Add(std::move(f), "fnt");
       auto g = std::make_unique<CFont>();
       g->s_bw = 5;  // a sheet of no pixels
       r.fonts.Add(std::move(g), "fnt empty");
     }},
    {"objects_time_lines_triggers",
     [](CGameResources& r) {
       auto t = std::make_unique<CTrigger>();
       t->i_name = "trg";
       t->i_condition = "return x > 3;";
       t->i_moment = 2;
       t->i_constname = "ev_trg";
       r.triggers.Add(std::move(t), "");
       r.triggers.Add(nullptr, "");
       auto base = std::make_unique<CObject>();
       base->o_solid = true;
       base->o_visible = false;
       base->o_persistent = true;
       base->o_depth = -7;
       r.objects.Add(std::move(base), "base");
       auto o = std::make_unique<CObject>();
       o->o_parent = 0;
       o->o_spriteindex = 42;  // a slot the game does not have
       o->o_mask = -1;
       o->CreateEvent(kEvKeyboard, 37)->e_actions.push_back(CodeAction("x -= 1;\r\ny += 1;"));
       o->CreateEvent(kEvKeyboard, 37)->e_number = 1;
       o->CreateEvent(kEvKeyboard, 39);  // stored with no actions
       CEvent* c = o->CreateEvent(kEvCollision, 0);
       CAction q;
       q.act_kind = kActNormal;
       q.act_exetype = kExeFunction;
       q.act_funcname = "action_if";
       q.act_isquestion = q.act_userelative = q.act_useapplyto = q.act_relative = q.act_isnot = true;
       q.act_who = -2;
       q.act_argumentcount = 2;
       q.act_argtype = {0, 5, 2, 0, 0, 0, 0, 0};
       q.storedArgTypes = 3;
       q.act_argstring[0] = "\"abc\"";
       q.storedArgStrings = 1;
       c->e_actions = {q, CAction()};
       c->e_actions[1].act_kind = kActElse;
       c->e_number = 2;
       o->CreateEvent(kEvTrigger, 0)->AddCodeAction("show_debug_message('t')");
       o->CreateEvent(kEvStep, 2)->AddCodeAction("");
       r.objects.Add(std::move(o), "child");
       auto tl = std::make_unique<CTimeLine>();
       tl->AddMoment(20);
       tl->AddMoment(5);
       tl->s_event[1].AddCodeAction("a = 1");
       r.timelines.Add(std::move(tl), "tl");
     }},
    {"rooms_and_order",
     [](CGameResources& r) {
       r.objects.Add(std::make_unique<CObject>(), "obj");
       r.objects.Add(std::make_unique<CObject>(), "obj");  // a duplicate name: referred to by number
       auto bg = std::make_unique<CBackground>();
       bg->i_bitmap = Gradient(320, 240, 1);
       r.backgrounds.Add(std::move(bg), "bg");
       auto room = std::make_unique<CRoom>();
       room->r_caption = "Level \"1\"";
       room->r_width = 640;
       room->r_speed = 60;
       room->r_persistent = true;
       room->r_color = 0x123456;
       room->r_showcolor = false;
       room->r_code = "a = 1;\nb = 2;";
       room->r_background[2].visible = true;
       room->r_background[2].index = 0;
       room->r_background[2].stretch = true;
       room->r_background[2].hspeed = -3;
       room->r_background[2].x = 17;
       room->r_background[3].index = 9;
       room->r_enableviews = true;
       room->r_view[1] = CView{true, 1, 2, 3, 4, 5, 6, 7, 8, 0, 9, 10, 11, 12, 1};
       room->r_view[2].index = 100005;  // an instance id
       room->r_placed = {{10, -20, 1, 100001, "speed = 2;"}, {0, 0, 0, 100002, ""}, {5, 5, 77, 100009, ""}};
       room->r_tile = {RTile{16, 32, 0, 1, 2, 3, 4, -100, 10000001}};
       room->r_tnumb = 1;
       r.rooms.rooms.Add(std::move(room), "level1");
       r.rooms.rooms.Add(nullptr, "");
       auto small = std::make_unique<CRoom>();
       small->storedLayers = 2;
       small->storedViews = 0;
       r.rooms.rooms.Add(std::move(small), "small");
       r.rooms.lastInstanceId = 100123;
       r.rooms.lastTileId = 10000077;
       r.roomOrder = {2, 0, 5};
     },
     "game.json", "\"room_order\": [\"small\", \"level1\", 5]"},
    {"included_files_information_library_constants",
     [](CGameResources& r) {
       CDataFile a;
       a.s_filename = "data/levels.txt";
       a.s_origname = "C:\\work\\levels.txt";
       a.s_exists = a.s_store = true;
       a.s_data = {'h', 'i'};
       a.s_size = 2;
       a.s_exportaction = 3;
       a.s_exportdir = "out";
       a.s_overwrite = true;
       a.s_freedata = a.s_removeend = false;
       CDataFile b;
       b.s_filename = "../../escape.bin";
       b.s_exists = true;  // exists but not stored: no content block
       b.s_size = 99;
       CDataFile c = a;
       c.s_filename = "data/levels.txt";  // the same name again
       r.includedFiles = {a, b, c};
       r.gameInformation.caption = "Help";
       r.gameInformation.left = 10;
       r.gameInformation.width = 5000;
       r.gameInformation.showInGameWindow = true;
       r.gameInformation.pauseGame = false;
       r.gameInformation.text = "{\\rtf1 hello}";
       r.libraryCode.pieces = {"", "global.a = 1;"};
       r.constants.names = {"A", "A", "B"};
       r.constants.values = {"1", "2", "\"text\""};
     }},
    {"extension_packages",
     [](CGameResources& r) {
       CExtensionPackage p;
       p.s_name = "pkg";
       p.s_folder = "../pkgfolder";
       p.contentKey = -60001;
       CExtensionFile lib;
       lib.s_filename = "lib.so";
       lib.s_kind = kExtLibrary;
       lib.s_init = "lib_init";
       lib.s_data = std::vector<uint8_t>(300, 0x5A);
       CExtensionFunction f;
       f.s_name = "lib_call";
       f.s_extname = "LibCall";
       f.s_kind = 12;
       f.s_id = 3;
       f.s_argcount = 2;
       f.s_argtype[1] = 1;
       f.s_returntype = 1;
       lib.s_functions = {f};
       lib.s_constants = {{"LIB_ONE", "1"}};
       CExtensionFile acts;
       acts.s_filename = "actions.lib";
       acts.s_kind = kExtActions;
       CExtensionFile other;
       other.s_filename = "lib.so";  // same file name again
       other.s_kind = kExtOther;
       other.s_data = std::vector<uint8_t>{};
       p.s_includes = {lib, acts, other};
       r.extensions = {p, CExtensionPackage()};
     }},
};

void PrintTo(const RCase& c, std::ostream* os) { *os << c.name; }

class ResourceRoundTrip : public ::testing::TestWithParam<RCase> {};

TEST_P(ResourceRoundTrip, StoredFormAndProjectGiveTheSameBytes) {
  CGameResources res;
  res.roomOrder = {0};
  GetParam().fill(res);
  for (CExtensionPackage& p : res.extensions) p.Normalize();
  std::vector<uint8_t> bytes = SaveAll(res);

  CGameResources loaded;
  ASSERT_TRUE(LoadAll(bytes, loaded));
  EXPECT_EQ(SaveAll(loaded), bytes) << "stored form";

  ScratchDir dir;
  nlohmann::json manifest;
  std::string error;
  ASSERT_TRUE(tools::WriteProjectResources(loaded, dir.path(), manifest, error)) << error;
  {
    std::ofstream(dir / "game.json") << tools::DumpJson(manifest);
  }
  // Nothing is written outside the project folder, whatever the names.
  for (const auto& e : fs::recursive_directory_iterator(dir.path()))
    EXPECT_EQ(e.path().lexically_relative(dir.path()).string().rfind("..", 0), std::string::npos) << e.path();
  if (GetParam().file) {
    std::ifstream in(dir / GetParam().file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(GetParam().holds), std::string::npos) << text;
  }
  tools::CProject project;
  ASSERT_TRUE(tools::LoadProject(dir.path(), project, error)) << error;
  CGameResources again;
  ASSERT_TRUE(tools::ReadProjectResources(project, again, error)) << error;
  EXPECT_EQ(SaveAll(again), bytes) << "project folder";
}

INSTANTIATE_TEST_SUITE_P(Kinds, ResourceRoundTrip, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ResourceRoundTrip, ProjectNamesResolveToSlots) {
  ScratchDir dir;
  test::WriteProject(
      dir.path(),
      {{"objects", {"base", nullptr, "child"}},
       {"sprites", {{{"name", "hero sprite"}, {"file", "hero"}}}},
       {"rooms", {"r1", "r2"}},
       {"room_order", {"r2", 0}}},
      {{"objects/base.json", "{}"},
       {"objects/child.json",
        R"({"parent": "base", "sprite": "hero sprite", "events": [{"type": "collision", "number": "child", "actions": []}]})"},
       {"sprites/hero.json", R"({"frames": []})"},
       {"rooms/r1.json", R"({"instances": [{"object": "child"}, {"object": "base", "id": 100050}, {"object": null}]})"},
       {"rooms/r2.json", "{}"}});
  tools::CProject project;
  std::string error;
  ASSERT_TRUE(tools::LoadProject(dir.path(), project, error)) << error;
  CGameResources res;
  ASSERT_TRUE(tools::ReadProjectResources(project, res, error)) << error;
  const CObject* child = res.objects.Get(2);
  ASSERT_TRUE(child);
  EXPECT_EQ(child->o_parent, 0);
  EXPECT_EQ(child->o_spriteindex, 0);
  EXPECT_TRUE(child->o_events[kEvCollision].count(2));
  EXPECT_FALSE(res.objects.Exists(1));
  EXPECT_EQ(res.roomOrder, (std::vector<int>{1, 0}));
  const CRoom* r1 = res.rooms.rooms.Get(0);
  ASSERT_EQ(r1->r_placed.size(), 3u);
  // Ids left out continue from the highest id given so far.
  EXPECT_EQ(r1->r_placed[0].id, 100001);
  EXPECT_EQ(r1->r_placed[1].id, 100050);
  EXPECT_EQ(r1->r_placed[2].id, 100051);
  EXPECT_EQ(r1->r_placed[2].object, -1);
  EXPECT_EQ(res.rooms.lastInstanceId, 100051);
}

TEST(ResourceRoundTrip, ProjectFaultsNameTheFile) {
  struct RFault {
    const char* file;
    const char* content;
    const char* message;
  };
  const RFault faults[] = {
      {"objects/o.json", R"({"parent": "nobody"})", "unknown object 'nobody'"},
      {"objects/o.json", R"({"events": [{"type": "wobble"}]})", "unknown event type"},
      {"objects/o.json", R"({"depth": "deep"})", "\"depth\" must be a whole number"},
      {"objects/o.json", R"({"events": [{"type": "create", "actions": [{"args": [1,2,3,4,5,6,7,8,9]}]}]})", "at most 8"},
      {"objects/o.json", R"({"sprite": "../x"})", "unknown sprite"},
  };
  for (const RFault& f : faults) {
    ScratchDir dir;
    test::WriteProject(dir.path(), {{"objects", {"o"}}}, {{f.file, f.content}});
    tools::CProject project;
    std::string error;
    ASSERT_TRUE(tools::LoadProject(dir.path(), project, error));
    CGameResources res;
    EXPECT_FALSE(tools::ReadProjectResources(project, res, error)) << f.content;
    EXPECT_NE(error.find(f.message), std::string::npos) << error;
    EXPECT_NE(error.find("o.json"), std::string::npos) << error;
  }
  // A file name that would leave the project folder is refused.
  ScratchDir dir;
  test::WriteProject(dir.path(), {{"sprites", {{{"name", "s"}, {"file", "../../s"}}}}});
  tools::CProject project;
  std::string error;
  ASSERT_TRUE(tools::LoadProject(dir.path(), project, error));
  CGameResources res;
  EXPECT_FALSE(tools::ReadProjectResources(project, res, error));
}

// The demo uses every kind: build it, unpack the game, build the unpacked project; the resource
// sections are identical, and so are the projects unpacked from both games.
TEST(ResourceRoundTrip, DemoBuildUnpackBuild) {
  ScratchDir dir;
  const std::string kestro = KESTRO_BINARY;
  std::string out;
  fs::path demo = fs::path(KESTRO_SOURCE_DIR) / "examples" / "demo";
  ASSERT_EQ(test::RunProcess(kestro + " build " + demo.string() + " -o " + (dir / "a.kx").string() + " --data-only", &out), 0) << out;
  ASSERT_EQ(test::RunProcess(kestro + " unpack " + (dir / "a.kx").string() + " -o " + (dir / "p1").string(), &out), 0) << out;
  ASSERT_EQ(test::RunProcess(kestro + " build " + (dir / "p1").string() + " -o " + (dir / "b.kx").string() + " --data-only --seed 77", &out), 0) << out;
  ASSERT_EQ(test::RunProcess(kestro + " unpack " + (dir / "b.kx").string() + " -o " + (dir / "p2").string(), &out), 0) << out;
  tools::CGameData a, b;
  std::string error;
  ASSERT_TRUE(tools::ReadGameData(dir / "a.kx", a, error)) << error;
  ASSERT_TRUE(tools::ReadGameData(dir / "b.kx", b, error)) << error;
  EXPECT_EQ(a.resourceBytes, b.resourceBytes);
  EXPECT_EQ(a.library, b.library);
  EXPECT_EQ(a.gameId, b.gameId);
  EXPECT_EQ(a.guid, b.guid);
  EXPECT_EQ(a.debug, b.debug);
  CStream sa, sb;
  a.settings.SaveToStream(sa);
  b.settings.SaveToStream(sb);
  EXPECT_EQ(sa.Buffer(), sb.Buffer()) << "settings, pictures included";
  EXPECT_TRUE(a.settings.loadingImage.has_value());
  EXPECT_EQ(test::RunProcess("diff -r " + (dir / "p1").string() + " " + (dir / "p2").string(), &out), 0) << out;
  for (ResourceKind k : {ResourceKind::Extension, ResourceKind::Trigger, ResourceKind::Constant, ResourceKind::Sound,
                         ResourceKind::Sprite, ResourceKind::Background, ResourceKind::Path, ResourceKind::Script,
                         ResourceKind::Font, ResourceKind::TimeLine, ResourceKind::Object, ResourceKind::Room,
                         ResourceKind::IncludedFile, ResourceKind::LibraryInitCode})
    EXPECT_GT(ResourceCount(k, a.resources), 0) << ResourceKindName(k);

  ASSERT_EQ(test::RunProcess(kestro + " info " + (dir / "a.kx").string() + " --resources", &out), 0) << out;
  EXPECT_NE(out.find("objects:\n     0  obj_solid\n     1  obj_wall\n"), std::string::npos) << out;
  EXPECT_NE(out.find("room order:\n     0  rm_title\n     1  rm_level\n     2  rm_end\n"), std::string::npos) << out;
  // A damaged game gives the run-time's message and writes nothing.
  std::vector<uint8_t> cut = test::ReadBytes(dir / "a.kx");
  cut.resize(cut.size() - 100);
  test::WriteBytes(dir / "cut.kx", cut);
  // A damaged game (the cut shows as a checksum mismatch) gives the run-time's exit status.
  EXPECT_EQ(test::RunProcess(kestro + " unpack " + (dir / "cut.kx").string() + " -o " + (dir / "p3").string(), &out), 3);
  EXPECT_NE(out.find("kestro unpack: "), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir / "p3"));
  // Unpacking refuses to write into a folder that holds something.
  EXPECT_NE(test::RunProcess(kestro + " unpack " + (dir / "a.kx").string() + " -o " + (dir / "p1").string(), &out), 0);
}

}  // namespace
}  // namespace kestro
