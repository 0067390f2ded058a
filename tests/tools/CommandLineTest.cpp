// The `kestro` program as a user runs it: building, running standalone and data-only games,
// exit statuses, messages, the trace log and the temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/TestSupport.h"

using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

std::string Kestro() { return KESTRO_BINARY; }

int Kx(const std::string& args, std::string* out = nullptr) {
  return RunProcess("SDL_VIDEODRIVER=offscreen " + Kestro() + " " + args, out);
}

bool AnyTempFolderIn(const fs::path& dir) {
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind("kx_ttt_", 0) == 0) return true;
  return false;
}

}  // namespace

TEST(CommandLine, StandaloneGameRunsItsOwnData) {
  ScratchDir dir;
  WriteProject(dir / "proj", {{"game_id", 12}});
  fs::create_directories(dir / "tmp");
  ASSERT_EQ(Kx("build " + (dir / "proj").string() + " -o " + (dir / "game").string()), 0);
  ASSERT_GT(fs::file_size(dir / "game"), fs::file_size(Kestro()) / 2);
  std::string out;
  int status = RunProcess("cd " + dir.path().string() + " && TMPDIR=" + (dir / "tmp").string() +
                              " ZRLOG_TRACE=1 SDL_VIDEODRIVER=offscreen ./game",
                          &out);
  EXPECT_EQ(status, 0) << out;
  EXPECT_FALSE(AnyTempFolderIn(dir / "tmp")) << "the temporary folder is removed at the end";
  std::ifstream trace(dir / "Trace.log");
  std::string all((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
  EXPECT_NE(all.find("Reading data\nLoading extension packages\n"), std::string::npos) << all;
  EXPECT_NE(all.find("Compiling scripts\n"), std::string::npos);
  EXPECT_NE(all.find("Ready\n"), std::string::npos);

  // A standalone game built from a standalone game carries only the new data.
  WriteProject(dir / "proj2", {{"game_id", 99}});
  ASSERT_EQ(Kx("build " + (dir / "proj2").string() + " -o " + (dir / "game2").string() +
                " --runner " + (dir / "game").string()),
            0);
  std::string info;
  ASSERT_EQ(Kx("info " + (dir / "game2").string(), &info), 0);
  EXPECT_NE(info.find("game id:          99"), std::string::npos) << info;
}

TEST(CommandLine, DataOnlyGameFailuresExitNonZeroWithTheirText) {
  ScratchDir dir;
  WriteProject(dir.path(), {{"game_id", 1}});
  ASSERT_EQ(Kx("build " + dir.path().string() + " -o " + (dir / "g.kx").string() + " --data-only"), 0);
  std::string out;
  EXPECT_EQ(Kx("run " + (dir / "g.kx").string() + " --verbose", &out), 0);
  EXPECT_NE(out.find("90% Preparing graphics"), std::string::npos) << out;

  std::vector<uint8_t> bytes = ReadBytes(dir / "g.kx");
  bytes[bytes.size() - 3] ^= 0xFF;
  WriteBytes(dir / "bad.kx", bytes);
  EXPECT_EQ(Kx("run " + (dir / "bad.kx").string(), &out), 3);
  EXPECT_EQ(out, "Error: The game data is damaged (checksum mismatch).\n");

  WriteBytes(dir / "short.kx", std::vector<uint8_t>(1000, 0));
  EXPECT_EQ(Kx("run " + (dir / "short.kx").string(), &out), 1);
  EXPECT_EQ(out, "Error: Not a valid game file.\n");
  EXPECT_EQ(Kx("run " + (dir / "none.kx").string(), &out), 1);
  EXPECT_EQ(out, "Error: Cannot read the game file.\n");
}

TEST(CommandLine, EverySubcommandAnswersHelpAndVersion) {
  for (const char* cmd : {"run", "build", "info"}) {
    std::string out;
    EXPECT_EQ(Kx(std::string(cmd) + " --help", &out), 0) << cmd;
    EXPECT_NE(out.find("usage: kestro"), std::string::npos) << cmd;
    EXPECT_EQ(Kx(std::string(cmd) + " --version", &out), 0) << cmd;
    EXPECT_EQ(out.rfind("kestro ", 0), 0u) << cmd;
  }
  std::string out;
  EXPECT_EQ(Kx("--help", &out), 0);
  EXPECT_EQ(Kx("", &out), 2);
}

TEST(CommandLine, BuilderRejectsBadProjects) {
  ScratchDir dir;
  struct Case {
    std::string manifest;
    std::string error;
  };
  const Case cases[] = {
      {"{ not json", "game.json"},
      {R"({"settings": {"scalling": 100}})", "unknown setting \"scalling\""},
      {R"({"settings": {"fullscreen": 1}})", "must be true or false"},
      {R"({"settings": {"loading_image": "../../etc/passwd"}})", "inside the project folder"},
      {R"({"settings": {"loading_image": "missing.png"}})", "missing.png"},
      {R"({"room_order": []})", "at least one room"},
      {R"({"guid": "xyz"})", "32 hexadecimal digits"},
      // Numbers that do not fit their field are refused, never wrapped (4294967297 would be 1).
      {R"({"game_id": 4294967297})", "\"game_id\" must be a whole number from -2147483648 to 2147483647"},
      {R"({"settings": {"scaling": 4294967301}})", "game.json: setting \"scaling\" must be a whole number"},
      {R"({"settings": {"scaling": 2.5}})", "setting \"scaling\" must be a whole number"},
      // Every name becomes a constant of the game's code.
      {R"({"sprites": ["thing"], "objects": ["thing"], "rooms": ["rm"]})", "the name 'thing' is given to two resources"},
      // A misspelt key is reported (and the build goes on to its real fault).
      {R"({"room_ordr": [], "room_order": []})", "warning: "},
  };
  for (const Case& c : cases) {
    fs::create_directories(dir.path());
    std::ofstream(dir / "game.json") << c.manifest;
    std::string out;
    EXPECT_EQ(Kx("build " + dir.path().string() + " -o " + (dir / "g.kx").string(), &out), 1) << c.manifest;
    EXPECT_NE(out.find(c.error), std::string::npos) << c.manifest << " -> " << out;
    EXPECT_FALSE(fs::exists(dir / "g.kx"));
  }
}

TEST(CommandLine, BuilderReadsOnlyRegularFilesInsideTheProject) {
  ScratchDir dir;
  const fs::path project = dir / "p";
  fs::create_directories(project / "rooms");
  std::ofstream(project / "rooms" / "rm.json") << "{}";
  std::ofstream(dir / "outside.txt") << "not the project's";
  std::ofstream(project / "game.json")
      << R"({"rooms": ["rm"], "included_files": [{"name": "data.txt", "file": "data.txt"}]})";
  struct Case {
    const char* what;
    void (*make)(const fs::path& file, const fs::path& outside);
    const char* error;
  };
  const Case cases[] = {
      {"a folder", [](const fs::path& f, const fs::path&) { fs::create_directory(f); }, "is not a regular file"},
      {"a pipe", [](const fs::path& f, const fs::path&) { ASSERT_EQ(mkfifo(f.c_str(), 0600), 0); },
       "is not a regular file"},
      {"a link out of the project", [](const fs::path& f, const fs::path& o) { fs::create_symlink(o, f); },
       "leads outside the project folder"},
  };
  for (const Case& c : cases) {
    fs::remove_all(project / "data.txt");
    c.make(project / "data.txt", dir / "outside.txt");
    std::string out;
    EXPECT_EQ(Kx("build " + project.string() + " -o " + (dir / "g.kx").string(), &out), 1) << c.what;
    EXPECT_NE(out.find(c.error), std::string::npos) << c.what << " -> " << out;
    EXPECT_NE(out.find("data.txt"), std::string::npos) << c.what << " -> " << out;
  }
  // A link that stays inside the project is followed.
  fs::remove_all(project / "data.txt");
  std::ofstream(project / "real.txt") << "inside";
  fs::create_symlink("real.txt", project / "data.txt");
  EXPECT_EQ(Kx("build " + project.string() + " -o " + (dir / "g.kx").string()), 0);
}

TEST(CommandLine, UnpackWritesEveryGameThatLoadsOrNothing) {
  ScratchDir dir;
  const fs::path project = dir / "p";
  fs::create_directories(project / "rooms");
  std::ofstream(project / "rooms" / "rm.json") << "{}";
  for (const char* f : {"a.txt", "b.txt", "c.txt"}) std::ofstream(project / f) << f;
  const std::string longName(300, 'n');
  std::ofstream(project / "game.json") << R"({"rooms": ["rm"], "included_files": [)"
                                       << R"({"name": "x", "file": "a.txt"}, {"name": "x/y", "file": "b.txt"},)"
                                       << R"({"name": ")" << longName << R"(", "file": "c.txt"}]})";
  const std::string game = (dir / "g.kx").string();
  std::string out;
  ASSERT_EQ(Kx("build " + project.string() + " -o " + game, &out), 0) << out;
  // Names that cannot all be file names are stored under safe ones; the real names stay.
  ASSERT_EQ(Kx("unpack " + game + " -o " + (dir / "u").string(), &out), 0) << out;
  std::ifstream manifest(dir / "u" / "game.json");
  const std::string text((std::istreambuf_iterator<char>(manifest)), std::istreambuf_iterator<char>());
  for (const std::string& name : {std::string("\"x\""), std::string("\"x/y\""), "\"" + longName + "\""})
    EXPECT_NE(text.find("\"name\": " + name), std::string::npos) << name;
  ASSERT_EQ(Kx("build " + (dir / "u").string() + " -o " + (dir / "again.kx").string(), &out), 0) << out;
  // A damaged game: the run-time's exit status, and no folder at all.
  std::vector<uint8_t> bytes = ReadBytes(game);
  bytes[bytes.size() - 10] ^= 0x5A;
  WriteBytes(dir / "bad.kx", bytes);
  EXPECT_EQ(Kx("unpack " + (dir / "bad.kx").string() + " -o " + (dir / "v").string(), &out), 3) << out;
  EXPECT_FALSE(fs::exists(dir / "v"));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().find(".unpacking"), std::string::npos) << e.path();
}

// The demo a newcomer sees first plays its recorded route without an error, the same way twice.
TEST(CommandLine, DemoPlaysItsRouteWithoutErrors) {
  ScratchDir dir;
  const std::string source = KESTRO_SOURCE_DIR;
  const std::string game = (dir / "demo.kx").string();
  std::string out;
  ASSERT_EQ(Kx("build " + source + "/examples/demo -o " + game, &out), 0) << out;
  std::string hashes[2];
  for (int run = 0; run < 2; ++run) {
    const fs::path hash = dir / ("hash" + std::to_string(run) + ".txt");
    ASSERT_EQ(Kx("run --headless --steps 300 --input " + source + "/examples/demo_play.txt --state-hash " +
                     hash.string() + " " + game,
                 &out),
              0)
        << out;
    EXPECT_EQ(out.find("ERROR"), std::string::npos) << out;
    std::ifstream in(hash);
    hashes[run].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  EXPECT_FALSE(hashes[0].empty());
  EXPECT_EQ(hashes[0], hashes[1]);
}

TEST(CommandLine, ScriptThatDoesNotCompileStopsThePreparation) {
  ScratchDir dir;
  WriteProject(dir.path(), {{"game_id", 7}, {"scripts", {"scr_ok", "scr_bad"}}, {"room_order", {0}}},
               {{"scripts/scr_ok.txt", "return argument0 * 2;\n"}, {"scripts/scr_bad.txt", "x = 1 +;\n"}});
  ASSERT_EQ(Kx("build " + dir.path().string() + " -o " + (dir / "g.kx").string() + " --data-only"), 0);
  std::string out;
  EXPECT_EQ(Kx("run " + (dir / "g.kx").string(), &out), 1);
  EXPECT_NE(out.find("COMPILATION ERROR in Script: scr_bad"), std::string::npos) << out;
  EXPECT_NE(out.find("at position 8: Unexpected symbol in expression."), std::string::npos) << out;
  EXPECT_EQ(out.substr(out.size() - 31), "Failed to compile the scripts.\n") << out;
}
