// Directory searches with attributes, file attributes, programs started without a shell, the
// command line, the environment and the drives.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "FilesFixture.h"
#include "resources/GameResources.h"

namespace kestro::test {
namespace {

namespace fs = std::filesystem;
using Search = FilesTest;
using Programs = FilesTest;

constexpr int kHidden = 2, kSystem = 4, kDirectory = 16, kArchive = 32;

std::vector<std::string> FindAll(FilesTest& t, const std::string& mask, double attr) {
  std::vector<std::string> names;
  for (std::string n = t.Text("file_find_first", {S(mask), R(attr)}); !n.empty() && names.size() < 50;
       n = t.Text("file_find_next"))
    names.push_back(n);
  return names;
}

TEST_F(Search, EntriesQualifyByMaskAndAttributes) {
  for (const char* f : {"b.TXT", "a.txt", ".hidden.txt", "noext", "c.dat", "Levels/one.lvl", "Levels/Two.LVL"})
    Write(f, "x");
  fs::create_directories(Path("sub.txt"));
  const struct {
    const char* mask;
    int attr;
    std::vector<std::string> names;
  } cases[] = {
      {"*.txt", 0, {"a.txt", "b.TXT"}},
      {"*.TXT", kHidden, {".hidden.txt", "a.txt", "b.TXT"}},
      {"*.txt", kDirectory, {"a.txt", "b.TXT", "sub.txt"}},
      {"*.txt", kArchive | kSystem, {"a.txt", "b.TXT"}},  // the other bits change nothing
      {"?.*", 0, {"a.txt", "b.TXT", "c.dat"}},
      {"*.*", 0, {"a.txt", "b.TXT", "c.dat", "noext"}},
      {"*", kDirectory, {".", "..", "a.txt", "b.TXT", "c.dat", "Levels", "noext", "sub.txt"}},
      {"levels\\*.lvl", 0, {"one.lvl", "Two.LVL"}},
      {"LEVELS/t*", 0, {"Two.LVL"}},
      {"NOEXT", 0, {"noext"}},
      {"*.none", 0, {}},
      {"missing\\*", 0, {}},
      {"levels\\", 0, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(FindAll(*this, c.mask, c.attr), c.names) << c.mask;

  // One search at a time: a new one replaces it, a closed one gives nothing more.
  EXPECT_EQ(Text("file_find_first", {S("*.txt"), R(0)}), "a.txt");
  EXPECT_EQ(Text("file_find_first", {S("*.dat"), R(0)}), "c.dat");
  EXPECT_EQ(Text("file_find_next"), "");
  EXPECT_EQ(Text("file_find_first", {S("*.txt"), R(0)}), "a.txt");
  Call("file_find_close");
  EXPECT_EQ(Text("file_find_next"), "");
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Search, FileAttributes) {
  Write("plain.txt", "x");
  Write(".hidden", "x");
  fs::create_directories(Path("Folder"));
  const struct {
    const char* name;
    int attr;
    double want;
  } cases[] = {
      {"missing", kDirectory, -1}, {"folder", kDirectory, 1}, {"FOLDER", kArchive, 0},   {"plain.txt", kDirectory, 0},
      {"PLAIN.TXT", kArchive, 1},  {".hidden", kHidden, 1},   {"plain.txt", kHidden, 0}, {"plain.txt", 0, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(Real("file_attributes", {S(c.name), R(c.attr)}), c.want) << c.name;
  if (::getuid() != 0) {
    fs::permissions(Path("plain.txt"), fs::perms::owner_read);
    EXPECT_EQ(Real("file_attributes", {S("plain.txt"), R(1)}), 1);
  }
}

TEST_F(Programs, ProgramsStartWithoutAShell) {
  Call("execute_program", {S("/bin/true"), S(""), R(1)});
  EXPECT_TRUE(TakeErrors().empty());
  // Shell syntax in the arguments is plain text: touch makes exactly these three files.
  Call("execute_program", {S("touch"), S("\"a b\" $(id) ;c"), R(1)});
  EXPECT_TRUE(TakeErrors().empty());
  EXPECT_TRUE(fs::exists(Path("a b")));
  EXPECT_TRUE(fs::exists(Path("$(id)")));
  EXPECT_TRUE(fs::exists(Path(";c")));
  // A program in the current folder, named with backslashes and another case.
  Write("tools/Make.sh", "#!/bin/sh\necho made > made.txt\n");
  fs::permissions(Path("tools/Make.sh"), fs::perms::owner_all);
  Call("execute_program", {S("TOOLS\\make.sh"), S(""), R(1)});
  EXPECT_EQ(Read("made.txt"), "made\n");
  Call("execute_program", {S("no-such-program-here"), S("x"), R(0)});
  Call("execute_shell", {S("no\\such\\document.txt"), S("")});
  EXPECT_EQ(TakeErrors(),
            (std::vector<std::string>{"Cannot execute no-such-program-here", "Cannot execute no\\such\\document.txt"}));
  // Not waiting: the program runs on and is collected later.
  Call("execute_program", {S("/bin/true"), S(""), R(0)});
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Programs, ParametersEnvironmentAndDrives) {
  RunState().parameters = {"games/demo.exe", "-fast", "two words"};
  EXPECT_EQ(Real("parameter_count"), 2);
  EXPECT_EQ(Text("parameter_string", {R(0)}), (fs::current_path() / "games/demo.exe").string());
  EXPECT_EQ(Text("parameter_string", {R(1)}), "-fast");
  EXPECT_EQ(Text("parameter_string", {R(2)}), "two words");
  EXPECT_EQ(Text("parameter_string", {R(3)}), "");
  EXPECT_EQ(Text("parameter_string", {R(-1)}), "");
  ::setenv("KESTRO_FILES_TEST", "value", 1);
  EXPECT_EQ(Text("environment_get_variable", {S("KESTRO_FILES_TEST")}), "value");
  ::unsetenv("KESTRO_FILES_TEST");
  EXPECT_EQ(Text("environment_get_variable", {S("KESTRO_FILES_TEST")}), "");

  EXPECT_GT(Real("disk_size"), 0);
  EXPECT_GE(Real("disk_free"), 0);
  EXPECT_LE(Real("disk_free"), Real("disk_size"));
  EXPECT_GT(Real("disk_size", {S("c")}), 0);
  EXPECT_GT(Real("disk_free", {S("")}), 0);
  EXPECT_EQ(Real("disk_free", {S("1")}), -1);
  EXPECT_EQ(Real("disk_size", {S("?")}), -1);
  EXPECT_TRUE(TakeErrors().empty());
}

}  // namespace
}  // namespace kestro::test

namespace kestro::test {
namespace {

using BadInput = FilesTest;

// Names of any length and masks of any shape: the neutral result or the function's message, at
// once, and nothing created.
TEST_F(BadInput, HugeNamesAndMasks) {
  const std::string huge(100 * 1024, 'a');
  const std::string deep = [] {
    std::string s;
    for (int i = 0; i < 20000; ++i) s += "d\\..\\";
    return s + "x";
  }();
  Write("aaaa", "x");
  for (const std::string& name : {huge, deep, std::string(50000, '*') + "b"}) {
    EXPECT_EQ(Real("file_exists", {S(name)}), 0);
    EXPECT_EQ(Real("file_text_open_write", {S(name)}), -1);
    EXPECT_EQ(Real("file_bin_open", {S(name), R(0)}), -1);
    EXPECT_EQ(Real("file_attributes", {S(name), R(0)}), -1);
    Call("directory_create", {S(name)});
    Call("file_copy", {S("aaaa"), S(name)});
    EXPECT_EQ(Text("file_find_first", {S(name), R(16)}), "");
    TakeErrors();
  }
  EXPECT_EQ(Text("file_find_first", {S(std::string(100000, '*')), R(0)}), "aaaa");
  EXPECT_EQ(Text("file_find_first", {S(std::string(30000, '*') + std::string(30000, '?')), R(0)}), "");
  EXPECT_EQ(Text("filename_ext", {S(huge + ".x")}), ".x");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(std::filesystem::current_path())) ++entries;
  EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace kestro::test

namespace kestro::test {
namespace {

using IncludedFiles = FilesTest;

TEST_F(IncludedFiles, ExportedByTheirSettingsOrToAPlaceAndDiscarded) {
  CDataFile f;
  f.s_filename = "readme.txt";
  f.s_exists = true;
  f.s_store = true;
  f.s_data = {'h', 'i'};
  f.s_exportaction = 2;  // the working folder
  f.s_freedata = false;
  auto& list = GameResources().includedFiles;
  const auto saved = list;
  list = {f, f};
  list[1].s_data = {'n', 'o'};  // the lowest index wins
  std::filesystem::create_directories(Path("Copies"));
  Call("export_include_file", {S("readme.txt")});
  Call("export_include_file_location", {S("readme.txt"), S("copies\\out.txt")});
  EXPECT_EQ(Read("readme.txt"), "hi");
  EXPECT_EQ(Read("Copies/out.txt"), "hi");
  Call("discard_include_file", {S("readme.txt")});
  Call("export_include_file_location", {S("readme.txt"), S("after.txt")});
  EXPECT_FALSE(std::filesystem::exists(Path("after.txt")));
  Call("export_include_file", {S("README.TXT")});
  Call("export_include_file_location", {S("other.txt"), S("x.txt")});
  Call("discard_include_file", {S("other.txt")});
  EXPECT_EQ(TakeErrors(), (std::vector<std::string>{"Trying to export non-existing file.",
                                                    "Trying to export non-existing file.",
                                                    "Trying to discard non-existing file."}));
  list = saved;
}

}  // namespace
}  // namespace kestro::test
