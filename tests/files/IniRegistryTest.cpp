// Settings files (reading and writing with both line ends and every encoding, case rules, the
// number forms, atomic writes, damaged files) and the registry store (round trips, roots,
// durability).
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "FilesFixture.h"

namespace kestro::test {
namespace {

namespace fs = std::filesystem;
using Ini = FilesTest;
using RegistryTest = FilesTest;

TEST_F(Ini, ReadsAndWritesKeepingLineEndsAndEncoding) {
  const std::string u16le = std::string("\xFF\xFE", 2) + std::string("[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0", 20);
  const struct {
    const char* label;
    std::string bytes;
    std::string written;  // after writing k2=w into section s
  } cases[] = {
      {"CR LF", "; comment\r\n[s]\r\nk = v\r\n", "[s]\r\nk=v\r\nk2=w\r\n\r\n"},
      {"LF", "[s]\nk=v\n", "[s]\nk=v\nk2=w\n\n"},
      {"no line end", "[s]\nk=v", "[s]\nk=v\nk2=w\n\n"},
      {"UTF-8 mark", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "\xEF\xBB\xBF[s]\r\nk=v\r\nk2=w\r\n\r\n"},
      {"UTF-16 LE", u16le,
       std::string("\xFF\xFE", 2) + std::string("[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0k\0"
                                                "2\0=\0w\0\r\0\n\0\r\0\n\0",
                                                36)},
  };
  for (const auto& c : cases) {
    Write("settings.ini", c.bytes);
    Call("ini_open", {S("settings.ini")});
    EXPECT_EQ(Text("ini_read_string", {S("S"), S("K"), S("none")}), "v") << c.label;
    Call("ini_write_string", {S("s"), S("k2"), S("w")});
    Call("ini_close");
    EXPECT_EQ(Read("settings.ini"), c.written) << c.label;
  }
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Ini, SectionsKeysAndNumbersFollowTheirRules) {
  Write("game.ini", "top=dropped\r\n[Empty]\r\n[Player]\r\nScore=10\r\nbare line\r\nk = 7\r\nv=1.5E3\r\n");
  Call("ini_open", {S("GAME.INI")});
  EXPECT_EQ(Real("ini_section_exists", {S("player")}), 1);
  EXPECT_EQ(Real("ini_section_exists", {S("Empty")}), 0);  // holds no lines
  EXPECT_EQ(Real("ini_key_exists", {S("PLAYER"), S("score")}), 1);
  EXPECT_EQ(Real("ini_key_exists", {S("player"), S("bare line")}), 0);
  EXPECT_EQ(Real("ini_read_real", {S("player"), S("k"), R(0)}), 7);  // trimmed at loading
  EXPECT_EQ(Real("ini_read_real", {S("player"), S("v"), R(0)}), 1500);
  EXPECT_EQ(Real("ini_read_real", {S("player"), S("missing"), R(0.1)}), 0.1);
  EXPECT_EQ(Text("ini_read_string", {S("nothing"), S("k"), S("dflt")}), "dflt");
  const struct {
    const char* value;
    double want;
  } numbers[] = {{"1.5E3", 1500}, {"--2", 2},   {"2,5", 2.5},     {"1E+5", 1}, {" 7", 0},
                 {"1.2.3", 1.2},  {"0.3", 0.3}, {"-1e-2", -0.01}, {"", 0},     {"1e99999999999", HUGE_VAL}};
  for (const auto& n : numbers) {
    Call("ini_write_string", {S("n"), S("x"), S(n.value)});
    EXPECT_EQ(Real("ini_read_real", {S("n"), S("x"), R(0)}), n.want) << n.value;
  }
  const struct {
    double x;
    const char* text;
  } texts[] = {{1e20, "1E20"},
               {0.00000015, "1.5E-7"},
               {0.0001, "0.0001"},
               {123, "123"},
               {-2.5, "-2.5"},
               {1e15, "1E15"},
               {123456789012345, "123456789012345"},
               {0.1, "0.1"},
               {1.0 / 3, "0.333333333333333"},
               {0, "0"}};
  for (const auto& t : texts) {
    Call("ini_write_real", {S("n"), S("r"), R(t.x)});
    EXPECT_EQ(Text("ini_read_string", {S("n"), S("r"), S("")}), t.text) << t.x;
  }
  Call("ini_key_delete", {S("player"), S("SCORE")});
  EXPECT_EQ(Real("ini_key_exists", {S("player"), S("score")}), 0);
  Call("ini_section_delete", {S("N")});
  EXPECT_EQ(Real("ini_section_exists", {S("n")}), 0);
  Call("ini_close");
  EXPECT_EQ(Read("game.ini"), "[Empty]\r\n\r\n[Player]\r\nbare line\r\nk=7\r\nv=1.5E3\r\n\r\n");
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Ini, OpeningClosingAndTheMessagesWithoutADocument) {
  // A missing file is created empty; a file only read keeps its comments.
  Call("ini_open", {S("new.ini")});
  Call("ini_close");
  EXPECT_EQ(Read("new.ini"), "");
  Write("kept.ini", "; comment\r\n[a]\r\nk=1\r\n");
  Call("ini_open", {S("kept.ini")});
  EXPECT_EQ(Text("ini_read_string", {S("a"), S("k"), S("")}), "1");
  Call("ini_close");
  EXPECT_EQ(Read("kept.ini"), "; comment\r\n[a]\r\nk=1\r\n");
  // Opening another file writes the first back; a folder part is refused and changes nothing.
  Call("ini_open", {S("one.ini")});
  Call("ini_write_real", {S("a"), S("b"), R(2)});
  Call("ini_open", {S("sub\\two.ini")});
  EXPECT_EQ(TakeErrors(), std::vector<std::string>{"INI files must be located in the same directory as the program"});
  EXPECT_EQ(Real("ini_read_real", {S("a"), S("b"), R(0)}), 2);
  Call("ini_open", {S("two.ini")});
  EXPECT_EQ(Read("one.ini"), "[a]\r\nb=2\r\n\r\n");
  Call("ini_close");
  const struct {
    const char* fn;
    std::vector<RValue> args;
    const char* message;
  } cases[] = {
      {"ini_read_string", {S("a"), S("b"), S("c")}, "Trying to read from undefined INI file"},
      {"ini_read_real", {S("a"), S("b"), R(1)}, "Trying to read from undefined INI file"},
      {"ini_key_exists", {S("a"), S("b")}, "Trying to read from undefined INI file"},
      {"ini_section_exists", {S("a")}, "Trying to read from undefined INI file"},
      {"ini_write_string", {S("a"), S("b"), S("c")}, "Trying to write to undefined INI file"},
      {"ini_write_real", {S("a"), S("b"), R(1)}, "Trying to write to undefined INI file"},
      {"ini_key_delete", {S("a"), S("b")}, "Trying to change undefined INI file"},
      {"ini_section_delete", {S("a")}, "Trying to change undefined INI file"},
  };
  for (const auto& c : cases) {
    const RValue v = Call(c.fn, c.args);
    EXPECT_TRUE(v.IsReal() && v.val == 0) << c.fn;
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{c.message}) << c.fn;
  }
  Call("ini_close");  // nothing open: nothing happens
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Ini, AFailedWriteLeavesTheOldFileWhole) {
  const std::string old = "[a]\r\nk=old\r\n";
  Write("big.ini", old);
  Call("ini_open", {S("big.ini")});
  Call("ini_write_string", {S("a"), S("k"), S(std::string(20000, 'x'))});
  // Files may not grow beyond 4 KB while the document is written back.
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &small);
  Call("ini_close");
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
  const auto reported = TakeErrors();
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].rfind("Cannot write the INI file ", 0), 0u) << reported[0];
  EXPECT_EQ(Read("big.ini"), old);
  size_t files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(fs::current_path())) ++files;
  EXPECT_EQ(files, 1u);  // no temporary file left
}

TEST_F(Ini, AnOpenFileIsWrittenBackWhenTheRunEnds) {
  const std::string here = fs::current_path().string();
  const std::string command = "cd '" + here + "' && KESTRO_REGISTRY_DIR='" + here + "/registry' " KESTRO_BINARY
                              " script -e 'ini_open(\"end.ini\"); ini_write_real(\"a\", \"b\", 2)' 2>&1";
  std::string output;
  EXPECT_EQ(RunProcess(command, &output), 0) << output;
  EXPECT_EQ(Read("end.ini"), "[a]\r\nb=2\r\n\r\n");
}

TEST_F(Ini, AnyBytesLoadWithoutHarm) {
  std::mt19937 rng(17);
  const char alphabet[] =
      "[]=;\r\n \t\x1a\xFF\xFE\xEF\xBB\xBF"
      "abcK0";
  for (int i = 0; i < 3000; ++i) {
    std::string bytes(rng() % 200, '\0');
    for (char& c : bytes) c = (rng() % 4 == 0) ? char(rng()) : alphabet[rng() % (sizeof alphabet - 1)];
    files::CIniDocument doc;
    doc.Load(bytes);
    // Whatever was understood survives a write and a read unchanged.
    const std::string once = doc.Save();
    files::CIniDocument again;
    again.Load(once);
    EXPECT_EQ(again.Save(), once);
  }
}

TEST_F(RegistryTest, ValuesRoundTripAndSurviveAReopen) {
  Call("registry_write_string", {S("Name"), S("Player \xC3\xA9")});
  Call("registry_write_real", {S("best"), R(-12.625)});
  files::Registry().Close();  // as a later run would find it
  EXPECT_EQ(Text("registry_read_string", {S("name")}), "Player \xC3\xA9");
  EXPECT_EQ(Real("registry_read_real", {S("BEST")}), -12.625);
  // The wrong kind of value reads as the neutral result.
  EXPECT_EQ(Real("registry_read_real", {S("name")}), 0);
  EXPECT_EQ(Text("registry_read_string", {S("best")}), "");
  EXPECT_EQ(Real("registry_exists", {S("best")}), 1);
  EXPECT_EQ(Real("registry_exists", {S("missing")}), 0);
  // The game's key is its own: another game id sees nothing.
  RunState().gameId = 4712;
  EXPECT_EQ(Text("registry_read_string", {S("name")}), "");
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(RegistryTest, RootsAreSeparateAndKeysAreCreatedOnlyByWritersAndExists) {
  using files::ERegistryRoot;
  Call("registry_write_string_ext", {S("\\Software\\Shared\\"), S("v"), S("user")});
  Call("registry_set_root", {R(1)});
  EXPECT_EQ(Text("registry_read_string_ext", {S("Software\\Shared"), S("v")}), "");
  Call("registry_write_string_ext", {S("Software\\Shared"), S("v"), S("machine")});
  Call("registry_write_real_ext", {S("Software\\Shared"), S("r"), R(2.5)});
  EXPECT_EQ(Real("registry_read_real_ext", {S("software\\shared"), S("r")}), 2.5);
  Call("registry_set_root", {R(7)});  // any other value: the current user
  EXPECT_EQ(Text("registry_read_string_ext", {S("software\\SHARED"), S("V")}), "user");
  EXPECT_TRUE(files::Registry().KeyExists(ERegistryRoot::kCurrentUser, "Software"));

  // Reading does not create the game's key; asking whether a value exists does.
  const std::string gameKey = "Software\\Kestro\\4711";
  EXPECT_EQ(Text("registry_read_string", {S("x")}), "");
  EXPECT_FALSE(files::Registry().KeyExists(ERegistryRoot::kCurrentUser, gameKey));
  EXPECT_EQ(Real("registry_exists", {S("x")}), 0);
  EXPECT_TRUE(files::Registry().KeyExists(ERegistryRoot::kCurrentUser, gameKey));
  EXPECT_EQ(Real("registry_exists_ext", {S("Software\\New\\Key"), S("x")}), 0);
  EXPECT_TRUE(files::Registry().KeyExists(ERegistryRoot::kCurrentUser, "Software\\New"));
  EXPECT_FALSE(files::Registry().KeyExists(ERegistryRoot::kUsers, "Software\\New"));
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(RegistryTest, AProcessKilledInTheMiddleOfAWriteLeavesTheOldValue) {
  Call("registry_write_string", {S("save"), S("old")});
  files::Registry().Close();
  const std::string db = (fs::current_path() / "registry" / "registry.db").string();
  const pid_t child = fork();
  if (child == 0) {
    // Another process changes the value inside a transaction and is killed before it commits.
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    sqlite3_exec(h, "BEGIN; UPDATE reg_values SET data = 'new'; DELETE FROM reg_keys;", nullptr, nullptr, nullptr);
    raise(SIGKILL);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Text("registry_read_string", {S("save")}), "old");
  Call("registry_write_string", {S("save"), S("newer")});
  EXPECT_EQ(Text("registry_read_string", {S("save")}), "newer");
}

TEST_F(RegistryTest, SecureModeIsReadFromThePreferences) {
  using files::ERegistryRoot;
  using files::RRegistryValue;
  const char* key = "Software\\Kestro\\Version 8.1\\Preferences";
  auto dword = [](uint32_t v) { return RRegistryValue{files::kRegDword, std::string(reinterpret_cast<char*>(&v), 4)}; };
  EXPECT_FALSE(files::SecureModeFromRegistry(files::Registry()));
  EXPECT_FALSE(fs::exists(fs::current_path() / "registry"));  // asking never creates the store
  const struct {
    int warning;  // -1: missing
    int maker;
    bool secure;
  } cases[] = {{1, -1, true}, {1, 1, true}, {1, 0, false}, {0, 1, false}, {-1, 1, false}, {5, 2, true}};
  for (const auto& c : cases) {
    files::CRegistryStore store;
    ScratchDir folder;
    store.UseFolder(folder.path().string());
    store.CreateKey(ERegistryRoot::kCurrentUser, key);
    if (c.warning >= 0) store.Write(ERegistryRoot::kCurrentUser, key, "Warning", dword(uint32_t(c.warning)));
    if (c.maker >= 0) store.Write(ERegistryRoot::kCurrentUser, key, "MakerRunning", dword(uint32_t(c.maker)));
    EXPECT_EQ(files::SecureModeFromRegistry(store), c.secure) << c.warning << " " << c.maker;
  }
}

}  // namespace
}  // namespace kestro::test
