// The start-up sequence end to end: games written by the builder, read back by the runner, and
// damaged in every way that matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "io/Stream.h"
#include "resources/Bitmap32.h"
#include "resources/GameResources.h"
#include "resources/GameSettings.h"
#include "runner/GameFile.h"
#include "runner/Runner.h"
#include "support/TestSupport.h"
#include "tools/Builder.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

class ProgressRecorder : public ILoadWindow {
 public:
  void SetUp(bool debug) override { setUpDebug = debug; }
  void SetProgress(int percent, const std::string& text) override {
    steps.push_back(std::to_string(percent) + " " + text);
  }
  void Close() override { closed = true; }
  std::vector<std::string> steps;
  bool setUpDebug = false;
  bool closed = false;
};

// A plain header for hand-made games: version, reserved, debug, reserved, default settings,
// an empty library, then the section.
CStream PlainHeader(CStream section, int32_t version = 810) {
  CStream h;
  h.WriteInteger(version);
  h.WriteInteger(0);
  h.WriteBoolean(false);
  h.WriteInteger(0);
  CGameSettings().SaveToStream(h);
  h.WriteString("D3DX8.dll");
  h.WriteStreamC(nullptr, 0);
  std::mt19937 rng(3);
  h.WriteStreamE(section, rng);
  return h;
}

// A resource section of a game with one room slot in its order, written by the resource
// writers; the version int that opens block `badBlock` (in stored order) is made wrong.
CStream Section(int badBlock = -1) {
  CStream s;
  s.WriteInteger(2);
  s.WriteInteger(11);
  s.WriteInteger(22);
  s.WriteInteger(0);
  s.WriteInteger(777);  // game id
  for (int i = 0; i < 16; ++i) s.WriteBytes("\x01", 1);
  CGameResources res;
  res.roomOrder = {0};
  for (int k = 0; k < kResourceKindCount; ++k) {
    size_t at = s.Position();
    SaveResourceBlock(ResourceKind(k), s, res);
    if (k == badBlock) {
      s.SetPosition(at);
      int32_t version = s.ReadInteger();
      s.SetPosition(at);
      s.WriteInteger(version + 1);
      s.SetPosition(s.Size());
    }
  }
  return s;
}

fs::path WriteGame(const ScratchDir& dir, const CStream& header, size_t P = kContainerScanStart) {
  std::mt19937 rng(5);
  std::vector<uint8_t> file(P, 0);
  std::vector<uint8_t> c = tools::SealContainer(header, P, rng);
  file.insert(file.end(), c.begin(), c.end());
  fs::path path = dir / "hand.kx";
  WriteBytes(path, file);
  return path;
}

struct Loaded {
  bool ok;
  std::vector<std::string> messages;
  std::vector<std::string> steps;
  bool damaged;
};

Loaded Load(const fs::path& game, const fs::path& temp) {
  MessageRecorder messages;
  ProgressRecorder progress;
  RunState().tempFolder = temp.string();
  CRunner runner(CRunHooks{}, &progress);
  bool ok = runner.LoadGameFile(game.string());
  return {ok, messages.messages, progress.steps, runner.damaged()};
}

}  // namespace

TEST(Startup, BuilderToRunnerRoundTripOfEverySetting) {
  ScratchDir dir;
  RPixels px{2, 3, std::vector<uint8_t>(2 * 3 * 4, 0)};
  px.bgra[0] = 9;  // top-left blue
  std::string error;
  ASSERT_TRUE(tools::WritePng(dir / "loading.png", px, error)) << error;
  ASSERT_TRUE(tools::WritePng(dir / "bar.png", px, error)) << error;
  nlohmann::json settings = {
      {"fullscreen", true}, {"interpolate", true}, {"no_border", true}, {"show_cursor", false},
      {"scaling", -1}, {"sizeable", true}, {"stay_on_top", true}, {"window_color", 0x123456},
      {"change_display_mode", true}, {"color_depth", 2}, {"resolution", 4}, {"frequency", 3},
      {"no_buttons", true}, {"vsync", true}, {"disable_screensaver", false},
      {"f4_fullscreen", false}, {"f1_info", false}, {"esc_ends_game", false},
      {"f5_save_f6_load", false}, {"f9_screenshot", false}, {"close_as_esc", false},
      {"priority", 2}, {"freeze_when_inactive", true}, {"show_progress_bar", true},
      {"progress_background", "bar.png"}, {"progress_foreground", "bar.png"},
      {"loading_image", "loading.png"}, {"loading_transparent", true}, {"loading_alpha", 254},
      {"scale_progress_bar", false}, {"display_errors", false}, {"write_error_log", true},
      {"abort_on_errors", true}, {"uninitialised_are_zero", true}, {"check_argument_count", false}};
  WriteProject(dir.path(), {{"game_id", 31337}, {"debug", true},
                            {"guid", "000102030405060708090a0b0c0d0e0f"}, {"settings", settings}});
  fs::path game = BuildDataOnly(dir.path());
  Loaded r = Load(game, dir.path());
  ASSERT_TRUE(r.ok) << (r.messages.empty() ? "" : r.messages[0]);
  EXPECT_TRUE(r.messages.empty());

  const CRunState& run = RunState();
  EXPECT_EQ(run.gameId, 31337);
  EXPECT_TRUE(run.debugMode);
  EXPECT_EQ(run.guid[15], 0x0F);
  EXPECT_EQ(run.containerOffset, kContainerScanStart);
  EXPECT_TRUE(fs::exists(dir / "D3DX8.dll")) << "the library is stored in the temporary folder";
  for (const auto& [key, value] : tools::DescribeSettings(GameSettings())) {
    if (key == "loading_image" || key == "progress_background" || key == "progress_foreground")
      EXPECT_EQ(value, "2x3") << key;
    else
      EXPECT_EQ(value, settings[key].dump()) << key;
  }
  RPixels back;
  ASSERT_TRUE(DecodeBmp(*GameSettings().loadingImage, back));
  EXPECT_EQ(back.bgra[0], 9) << "rows keep their order through the bitmap";

  // The progress texts of the whole walk, in order.
  std::vector<std::string> expected = {
      "1 Reading data", "0 Loading extension packages", "5 Loading triggers", "6 Loading constants",
      "7 Loading sounds", "10 Loading sprites", "23 Loading backgrounds", "30 Loading paths",
      "32 Loading scripts", "34 Loading fonts", "36 Loading time lines", "38 Loading objects",
      "40 Loading rooms", "43 Loading included files", "45 Loading help",
      "47 Loading library init code", "49 Loading room order"};
  EXPECT_EQ(r.steps, expected);
}

TEST(Startup, SettingsStoredFormFollowsTheProgressBarSwitch) {
  CGameSettings s;
  s.showProgressBar = false;
  s.progressBackground = std::vector<uint8_t>{1, 2, 3};  // not stored when the bar is off
  s.uninitialisedAreZero = true;
  s.checkArgumentCount = false;
  CStream out;
  s.SaveToStream(out);
  out.SetPosition(0);
  CGameSettings back;
  ASSERT_TRUE(back.LoadFromStream(out));
  EXPECT_FALSE(back.showProgressBar);
  EXPECT_FALSE(back.progressBackground.has_value());
  EXPECT_EQ(back.ErrorFlags(), 1);

  // Error flags: 3 sets both, 0 clears both, other bits are ignored.
  for (auto [flags, zero, check] : {std::tuple{3, true, true}, {0, false, false}, {2, false, true},
                                    {0x7C, false, false}}) {
    CGameSettings t;
    t.uninitialisedAreZero = zero;
    t.checkArgumentCount = check;
    CStream o;
    t.SaveToStream(o);
    // Patch the stored flags int (the last int of the packed content) to the raw value.
    o.SetPosition(4);
    auto content = o.ReadStreamC();
    std::memcpy(content->Buffer().data() + content->Size() - 4, &flags, 4);
    CStream repacked;
    repacked.WriteInteger(800);
    repacked.WriteStreamC(*content);
    repacked.SetPosition(0);
    CGameSettings r;
    ASSERT_TRUE(r.LoadFromStream(repacked));
    EXPECT_EQ(r.uninitialisedAreZero, zero) << flags;
    EXPECT_EQ(r.checkArgumentCount, check) << flags;
  }
  CGameSettings fit;
  fit.scaling = -1;
  EXPECT_EQ(fit.RegionScale(), -0.01);

  CStream wrong;
  wrong.WriteInteger(801);
  wrong.SetPosition(0);
  EXPECT_FALSE(back.LoadFromStream(wrong));
}

TEST(Startup, ContainerLaterThanTheScanStart) {
  ScratchDir dir;
  for (size_t P : {kContainerScanStart, kContainerScanStart + 1, kContainerScanStart + 4001}) {
    fs::path game = WriteGame(dir, PlainHeader(Section()), P);
    Loaded r = Load(game, dir.path());
    EXPECT_TRUE(r.ok) << P << (r.messages.empty() ? "" : r.messages[0]);
    EXPECT_EQ(RunState().containerOffset, P);
    EXPECT_EQ(RunState().gameId, 777);
  }
}

TEST(Startup, DamagedGamesGiveTheirMessage) {
  ScratchDir dir;
  struct Case {
    const char* what;
    CStream header;
    const char* message;
    const char* lastStep;
  };
  CStream truncatedSection = Section();
  truncatedSection.Buffer().resize(truncatedSection.Size() - 6);
  Case cases[] = {
      {"wrong header version", PlainHeader(Section(), 811), "Error: Wrong version number.", ""},
      {"sprite block version", PlainHeader(Section(4)), "Error: Error in resource data.",
       "10 Loading sprites"},
      {"room order block version", PlainHeader(Section(15)), "Error: Error in resource data.",
       "49 Loading room order"},
      {"truncated section", PlainHeader(truncatedSection),
       "Failed to load the game data. File seems corrupted.", "49 Loading room order"},
  };
  for (Case& c : cases) {
    Loaded r = Load(WriteGame(dir, c.header), dir.path());
    EXPECT_FALSE(r.ok) << c.what;
    ASSERT_EQ(r.messages.size(), 1u) << c.what;
    EXPECT_EQ(r.messages[0], c.message) << c.what;
    EXPECT_EQ(r.steps.empty() ? "" : r.steps.back(), c.lastStep) << c.what;
  }

  // Settings with a wrong version.
  CStream h;
  h.WriteInteger(810);
  h.WriteInteger(0);
  h.WriteBoolean(false);
  h.WriteInteger(0);
  h.WriteInteger(801);
  Loaded r = Load(WriteGame(dir, h), dir.path());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "Error: Error in resource data.");
}

TEST(Startup, TruncatedAnywhereFailsCleanly) {
  ScratchDir dir;
  WriteProject(dir.path(), {{"game_id", 5}});
  std::vector<uint8_t> whole = ReadBytes(BuildDataOnly(dir.path()));
  const size_t P = kContainerScanStart;
  std::vector<size_t> cuts = {0, 100, P, P + 7, P + 8, P + 12, P + 19, P + 20, P + 21};
  for (size_t c = P + 24; c < whole.size(); c += 97) cuts.push_back(c);
  cuts.push_back(whole.size() - 1);
  for (size_t cut : cuts) {
    WriteBytes(dir / "cut.kx", std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    Loaded r = Load(dir / "cut.kx", dir.path());
    EXPECT_FALSE(r.ok) << cut;
    if (cut < P + 8) {
      ASSERT_EQ(r.messages.size(), 1u) << cut;
      EXPECT_EQ(r.messages[0], "Error: Not a valid game file.") << cut;
    } else if (cut < P + 20) {
      ASSERT_EQ(r.messages.size(), 1u) << cut;
      EXPECT_EQ(r.messages[0], "Failed to load the game data. File seems corrupted.") << cut;
    } else {
      EXPECT_TRUE(r.damaged) << cut << ": a cut region fails its checksum";
      EXPECT_TRUE(r.messages.empty()) << cut << ": no message box for a checksum mismatch";
    }
  }
}

TEST(Startup, FlippedByteFailsTheChecksum) {
  ScratchDir dir;
  WriteProject(dir.path(), {{"game_id", 5}});
  fs::path game = BuildDataOnly(dir.path());
  std::vector<uint8_t> bytes = ReadBytes(game);
  bytes[bytes.size() - 40] ^= 0x10;
  WriteBytes(game, bytes);
  Loaded r = Load(game, dir.path());
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.damaged);
  EXPECT_TRUE(r.messages.empty());
}

TEST(Startup, MissingFileCannotBeRead) {
  ScratchDir dir;
  Loaded r = Load(dir / "nothing.kx", dir.path());
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0], "Error: Cannot read the game file.");
}

TEST(Startup, LibraryNameCannotLeaveTheTemporaryFolder) {
  ScratchDir dir;
  fs::create_directories(dir / "temp");
  WriteProject(dir.path(), {{"library", {{"name", "../../escaped.dll"}}}});
  Loaded r = Load(BuildDataOnly(dir.path()), dir / "temp");
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(fs::exists(dir / "temp" / "escaped.dll"));
  EXPECT_FALSE(fs::exists(dir / "escaped.dll"));
}

namespace {

// A resource section like Section() with the block of `kind` replaced by `block`'s bytes.
CStream SectionWith(ResourceKind kind, const CStream& block) {
  CStream s;
  s.WriteInteger(2);
  s.WriteInteger(11);
  s.WriteInteger(22);
  s.WriteInteger(0);
  s.WriteInteger(777);
  for (int i = 0; i < 16; ++i) s.WriteBytes("\x01", 1);
  CGameResources res;
  res.roomOrder = {0};
  for (int k = 0; k < kResourceKindCount; ++k) {
    if (ResourceKind(k) == kind)
      s.WriteBytes(block.Buffer().data(), block.Size());
    else
      SaveResourceBlock(ResourceKind(k), s, res);
  }
  return s;
}

// A packed block whose content is `head` followed by `zeros` zero bytes, its packed bytes cut to
// half: inflating it whole fails, a reader that stops within `head` cannot tell.
void WriteCutPackedBlock(CStream& out, const CStream& head, size_t zeros) {
  CStream content(head.Buffer());
  content.SetPosition(content.Size());
  content.WriteBytes(std::vector<uint8_t>(zeros).data(), zeros);
  CStream packed;
  packed.WriteStreamC(content);
  packed.SetPosition(0);
  const size_t n = size_t(packed.ReadInteger()) / 2;
  out.WriteInteger(int32_t(n));
  out.WriteBytes(packed.Buffer().data() + 4, n);
}

Loaded Summarise(const fs::path& game, RResourceSummary& summary) {
  MessageRecorder messages;
  CRunner runner(CRunHooks{}, nullptr);
  runner.set_store_library(false);
  runner.set_summary_only(true);
  bool ok = runner.LoadGameFile(game.string());
  summary = runner.summary();
  return {ok, messages.messages, {}, runner.damaged()};
}

}  // namespace

TEST(Startup, PackedBlocksInflateOnlyAsFarAsTheirStoredFormsDeclare) {
  ScratchDir dir;
  ResetGameState();
  constexpr size_t kHuge = size_t(16) << 20;  // far more than any slot here declares

  // Empty slots and named ones whose packed blocks go on (and break off) long after their names.
  CStream empty;
  empty.WriteBoolean(false);
  CStream named;
  named.WriteBoolean(true);
  named.WriteString("spr_big");
  CStream sprites;
  sprites.WriteInteger(kListBlockVersion);
  sprites.WriteInteger(3);
  WriteCutPackedBlock(sprites, empty, kHuge);
  WriteCutPackedBlock(sprites, empty, kHuge);
  WriteCutPackedBlock(sprites, named, kHuge);
  fs::path game = WriteGame(dir, PlainHeader(SectionWith(ResourceKind::Sprite, sprites)));

  // The listing reads names only: every slot, no content.
  RResourceSummary summary;
  Loaded listed = Summarise(game, summary);
  ASSERT_TRUE(listed.ok) << (listed.messages.empty() ? "" : listed.messages[0]);
  EXPECT_EQ(summary.names[int(ResourceKind::Sprite)], (std::vector<std::string>{"", "", "spr_big"}));
  EXPECT_EQ(summary.names[int(ResourceKind::RoomOrder)], (std::vector<std::string>{kUndefinedName}));
  // Loading reads what the stored forms declare: the empty slots end after their flag, the named
  // one is refused at its (zero) version, the broken rest of every block never reached.
  Loaded loaded = Load(game, dir.path());
  EXPECT_FALSE(loaded.ok);
  ASSERT_EQ(loaded.messages.size(), 1u);
  EXPECT_EQ(loaded.messages[0], "Error: Error in resource data.");
  EXPECT_EQ(loaded.steps.back(), "10 Loading sprites");

  CStream emptyOnly;
  emptyOnly.WriteInteger(kListBlockVersion);
  emptyOnly.WriteInteger(2);
  WriteCutPackedBlock(emptyOnly, empty, kHuge);
  WriteCutPackedBlock(emptyOnly, empty, kHuge);
  ResetGameState();
  Loaded ok = Load(WriteGame(dir, PlainHeader(SectionWith(ResourceKind::Sprite, emptyOnly))), dir.path());
  EXPECT_TRUE(ok.ok) << (ok.messages.empty() ? "" : ok.messages[0]);
  EXPECT_EQ(ResourceCount(ResourceKind::Sprite), 2);

  // A picture whose pixel block is longer than width × height × 4 is damaged data, refused from
  // its declared length before any of the block is read: here the block is cut short as well.
  CSprite one;
  one.i_bitmap.emplace_back(1, 1, 0xFF00FF00u);
  one.i_numb = 1;
  CStream item;
  item.WriteBoolean(true);
  item.WriteString("spr_one");
  one.SaveToStream(item);
  std::vector<uint8_t>& bytes = item.Buffer();
  const uint8_t picture[] = {0x20, 3, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0};  // 800, 1, 1, 4 bytes
  auto at = std::search(bytes.begin(), bytes.end(), std::begin(picture), std::end(picture));
  ASSERT_NE(at, bytes.end());
  const int32_t declared = int32_t(kHuge);
  std::memcpy(&*(at + 12), &declared, 4);
  CStream lying;
  lying.WriteInteger(kListBlockVersion);
  lying.WriteInteger(1);
  WriteCutPackedBlock(lying, item, kHuge);
  ResetGameState();
  Loaded refused = Load(WriteGame(dir, PlainHeader(SectionWith(ResourceKind::Sprite, lying))), dir.path());
  EXPECT_FALSE(refused.ok);
  ASSERT_EQ(refused.messages.size(), 1u);
  EXPECT_EQ(refused.messages[0], msg::kCorrupted);

  CStream stored;
  TBitmap32(1, 1).SaveToStream(stored);
  stored.SetPosition(12);
  stored.WriteInteger(5);
  stored.SetPosition(0);
  TBitmap32 back;
  try {
    back.LoadFromStream(stored);
    ADD_FAILURE() << "a pixel block longer than the picture is taken";
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), kPictureSizeMismatch);
  }
  ResetGameState();
}

// Not part of the suite: writes the amplification game of the measurements (a few MB, each sprite
// slot a packed block of 1 GB of zeros) to $KESTRO_AMPLIFICATION_GAME, for `kestro info` and
// `kestro run` under a memory and time measure. Run with --gtest_also_run_disabled_tests.
TEST(Startup, DISABLED_WriteAmplificationGame) {
  const char* out = std::getenv("KESTRO_AMPLIFICATION_GAME");
  ASSERT_NE(out, nullptr);
  CStream content;
  content.WriteBoolean(false);
  content.WriteBytes(std::vector<uint8_t>(kMaxInflatedBlock - 4).data(), kMaxInflatedBlock - 4);
  CStream packed;
  packed.WriteStreamC(content);
  CStream sprites;
  sprites.WriteInteger(kListBlockVersion);
  sprites.WriteInteger(4);
  for (int i = 0; i < 4; ++i) sprites.WriteBytes(packed.Buffer().data(), packed.Size());
  ScratchDir dir;
  fs::copy_file(WriteGame(dir, PlainHeader(SectionWith(ResourceKind::Sprite, sprites))), out,
                fs::copy_options::overwrite_existing);
}
