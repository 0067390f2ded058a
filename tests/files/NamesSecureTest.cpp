// Names as games from another system write them, the file-name functions, file and folder
// operations, and secure mode refusing each forbidden operation with its message.
#include <filesystem>
#include <string>
#include <vector>

#include "FilesFixture.h"
#include "platform/posix/GameNames.h"

namespace kestro::test {
namespace {

namespace fs = std::filesystem;
using Names = FilesTest;
using SecureMode = FilesTest;

// The scratch folder written the way a game from the other system would write it.
std::string Backslashed(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

TEST_F(Names, TheNameFunctionsSplitAtBackslashColonAndSlash) {
  const struct {
    const char* fn;
    std::vector<RValue> args;
    const char* want;
  } cases[] = {
      {"filename_name", {S("C:\\a\\b.txt")}, "b.txt"},
      {"filename_name", {S("C:b.txt")}, "b.txt"},
      {"filename_name", {S("/home/u/game")}, "game"},
      {"filename_path", {S("C:\\a\\b.txt")}, "C:\\a\\"},
      {"filename_path", {S("b.txt")}, ""},
      {"filename_dir", {S("C:\\a\\b.txt")}, "C:\\a"},
      {"filename_dir", {S("C:\\b.txt")}, "C:\\"},
      {"filename_dir", {S("\\b.txt")}, "\\"},
      {"filename_dir", {S("/home/u/b.txt")}, "/home/u"},
      {"filename_dir", {S("/b.txt")}, "/"},
      {"filename_drive", {S("C:\\a\\b.txt")}, "C:"},
      {"filename_drive", {S("\\\\srv\\share\\x")}, "\\\\srv\\share"},
      {"filename_drive", {S("a\\b")}, ""},
      {"filename_ext", {S("a.b\\c")}, ""},
      {"filename_ext", {S("x.tar.gz")}, ".gz"},
      {"filename_ext", {S("dir.d/file")}, ""},
      {"filename_change_ext", {S("x.txt"), S(".dat")}, "x.dat"},
      {"filename_change_ext", {S("x.txt"), S("")}, "x"},
      {"filename_change_ext", {S("a.b\\c"), S(".e")}, "a.b\\c.e"},
  };
  for (const auto& c : cases) EXPECT_EQ(Text(c.fn, c.args), c.want) << c.fn << " " << c.args[0].str.str();
}

TEST_F(Names, BackslashesDrivesAndLetterCaseFindTheFilesOnDisk) {
  Write("Data/Levels/One.TXT", "level");
  const std::string root = fs::current_path().string();
  const struct {
    std::string name;
    std::string want;
  } cases[] = {
      {"data\\levels\\one.txt", "Data/Levels/One.TXT"},
      {"DATA/LEVELS/ONE.TXT", "Data/Levels/One.TXT"},
      {"Data\\Levels\\One.TXT", "Data/Levels/One.TXT"},
      {"data\\new\\x.txt", "Data/new/x.txt"},  // the rest of a new name stays as written
      {"data\\levels\\", "Data/Levels/"},
      {".\\data\\..\\DATA\\levels", "./Data/../Data/Levels"},
      {"C:" + Backslashed(root) + "\\DATA\\levels\\ONE.txt", root + "/Data/Levels/One.TXT"},
      {"c:data", "Data"},  // drive-relative: the current folder
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(os::HostPath(c.name), c.want) << c.name;

  // Through the functions, also with the run's folders as games combine them.
  EXPECT_EQ(Real("file_exists", {S("DATA\\LEVELS\\ONE.txt")}), 1);
  EXPECT_EQ(Real("directory_exists", {S("data\\levels")}), 1);
  EXPECT_EQ(Real("file_exists", {S("data\\levels")}), 0);
  const std::string wd = Var("working_directory").str.str();
  EXPECT_EQ(wd, root);
  EXPECT_EQ(Real("file_exists", {S(wd + "\\data\\levels\\one.txt")}), 1);
  EXPECT_EQ(Real("file_exists", {S(Var("program_directory").str.str() + "\\Data\\LEVELS\\one.TXT")}), 1);
  const double h = Real("file_text_open_read", {S("data\\LEVELS\\one.txt")});
  EXPECT_EQ(Text("file_text_read_string", {R(h)}), "level");
  EXPECT_EQ(Var("temp_directory").str.str(), RunState().tempFolder);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(Names, FileAndFolderOperations) {
  Write("Saves/slot1.sav", "one");
  Call("file_copy", {S("saves\\SLOT1.sav"), S("saves\\slot2.sav")});
  EXPECT_EQ(Read("Saves/slot2.sav"), "one");
  // Copying replaces; renaming never does.
  Write("Saves/slot3.sav", "three");
  Call("file_copy", {S("saves\\slot3.sav"), S("saves\\slot2.sav")});
  EXPECT_EQ(Read("Saves/slot2.sav"), "three");
  Call("file_rename", {S("saves\\slot1.sav"), S("saves\\slot2.sav")});
  EXPECT_EQ(Read("Saves/slot1.sav"), "one");
  Call("file_rename", {S("saves\\slot1.sav"), S("saves\\renamed.sav")});
  EXPECT_EQ(Read("Saves/renamed.sav"), "one");
  EXPECT_FALSE(fs::exists(Path("Saves/slot1.sav")));
  Call("file_delete", {S("SAVES\\renamed.SAV")});
  EXPECT_FALSE(fs::exists(Path("Saves/renamed.sav")));
  Call("directory_create", {S("a\\b\\c")});
  EXPECT_TRUE(fs::is_directory(Path("a/b/c")));
  // Deleting a folder or a missing file, copying a missing file: silent, nothing changes.
  Call("file_delete", {S("a")});
  Call("file_copy", {S("missing"), S("copy")});
  EXPECT_TRUE(fs::is_directory(Path("a")));
  EXPECT_FALSE(fs::exists(Path("copy")));
  // Nothing but the files themselves: no temporary names left behind.
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(Path("Saves"))) n += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(n, 2u);
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(SecureMode, EachForbiddenOperationIsRefusedWithItsMessage) {
  Write("data/save.txt", "keep");
  Write("inside.txt", "keep");
  fs::create_directories(Path("outside"));
  RunState().secureMode = true;
  struct Case {
    const char* fn;
    std::vector<RValue> args;
    std::string message;
  } cases[] = {
      {"file_bin_open", {S("data\\save.txt"), R(1)}, "In secure mode you cannot write file data\\save.txt"},
      {"file_bin_open", {S("data/save.txt"), R(2)}, "In secure mode you cannot write file data/save.txt"},
      {"file_text_open_write", {S("data\\save.txt")}, "In secure mode you cannot write file data\\save.txt"},
      {"file_open_write", {S("data\\save.txt")}, "In secure mode you cannot write file data\\save.txt"},
      {"file_text_open_append", {S("data\\save.txt")}, "In secure mode you cannot append to file data\\save.txt"},
      {"file_open_append", {S("data\\save.txt")}, "In secure mode you cannot append to file data\\save.txt"},
      {"file_delete", {S("data\\save.txt")}, "In Secure mode you cannot delete file data\\save.txt"},
      {"file_rename",
       {S("inside.txt"), S("data\\x.txt")},
       "In Secure mode you cannot rename file inside.txt into data\\x.txt"},
      {"file_rename",
       {S("data\\save.txt"), S("x.txt")},
       "In Secure mode you cannot rename file data\\save.txt into x.txt"},
      {"file_copy",
       {S("inside.txt"), S("data\\x.txt")},
       "In Secure mode you cannot copy file inside.txt to data\\x.txt"},
      {"directory_create", {S("data\\new")}, "In Secure mode you cannot create directory data\\new"},
      {"directory_create", {S("..")}, "In Secure mode you cannot create directory .."},
      {"execute_program", {S("/bin/true"), S(""), R(1)}, "In Secure mode you cannot execute program /bin/true"},
      {"execute_shell",
       {S("http://example.org"), S("")},
       "In Secure mode you cannot execute program http://example.org"},
      {"registry_write_string_ext",
       {S("Software\\Other"), S("v"), S("x")},
       "In Secure mode you cannot write registry entries in Software\\Other"},
      {"registry_write_real_ext",
       {S("\\Software\\Kestro\\4711"), S("v"), R(1)},
       "In Secure mode you cannot write registry entries in \\Software\\Kestro\\4711"},
      {"export_include_file_location",
       {S("a.txt"), S("b.txt")},
       "In secure mode you cannot export a file to a location."},
      {"ini_open", {S("..")}, "INI files must be located in the same directory as the program"},
  };
  for (const Case& c : cases) {
    const double result = Real(c.fn, c.args);
    EXPECT_EQ(TakeErrors(), std::vector<std::string>{c.message}) << c.fn;
    const std::string fn = c.fn;
    const bool handleOpen = fn.find("open") != std::string::npos && fn != "ini_open" && fn.rfind("file_open", 0) != 0;
    if (handleOpen) {
      EXPECT_EQ(result, -1) << c.fn;
    }
  }
  EXPECT_EQ(Read("data/save.txt"), "keep");
  EXPECT_EQ(Read("inside.txt"), "keep");
  EXPECT_FALSE(fs::exists(Path("data/new")));
  EXPECT_FALSE(fs::exists(Path("registry")));
  EXPECT_EQ(Var("secure_mode").val, 1);

  // Allowed: reading with a folder part, writing a plain name, the game's own registry key.
  EXPECT_GE(Real("file_text_open_read", {S("data\\save.txt")}), 1);
  EXPECT_GE(Real("file_text_open_write", {S("save.txt")}), 1);
  EXPECT_GE(Real("file_bin_open", {S("data\\save.txt"), R(0)}), 1);
  Call("registry_write_string", {S("name"), S("value")});
  EXPECT_EQ(Text("registry_read_string", {S("name")}), "value");
  EXPECT_TRUE(TakeErrors().empty());
}

TEST_F(SecureMode, NamesLeadingOutThroughLinksAreRefused) {
  ScratchDir elsewhere;
  fs::create_symlink(elsewhere / "target.txt", Path("link.txt"));  // leads nowhere yet
  fs::create_symlink(elsewhere.path(), Path("away"));
  fs::create_symlink(Path("inside.txt"), Path("near.txt"));
  RunState().secureMode = true;
  EXPECT_EQ(Real("file_text_open_write", {S("link.txt")}), -1);
  EXPECT_EQ(Real("file_bin_open", {S("LINK.TXT"), R(1)}), -1);
  Call("file_delete", {S("away")});
  Call("file_copy", {S("near.txt"), S("link.txt")});
  Call("ini_open", {S("link.txt")});
  EXPECT_EQ(TakeErrors(), (std::vector<std::string>{
                              "In secure mode you cannot write file link.txt",
                              "In secure mode you cannot write file LINK.TXT",
                              "In Secure mode you cannot delete file away",
                              "In Secure mode you cannot copy file near.txt to link.txt",
                              "INI files must be located in the same directory as the program",
                          }));
  EXPECT_FALSE(fs::exists(elsewhere / "target.txt"));
  // A link that stays inside the game's folder is fine.
  EXPECT_GE(Real("file_text_open_write", {S("near.txt")}), 1);
  EXPECT_TRUE(TakeErrors().empty());
  // Outside secure mode links are followed as usual.
  RunState().secureMode = false;
  const double h = Real("file_text_open_write", {S("link.txt")});
  Call("file_text_write_string", {R(h), S("x")});
  EXPECT_TRUE(fs::exists(elsewhere / "target.txt"));
}

}  // namespace
}  // namespace kestro::test
