// Native libraries and extension packages in built games run headless: game code binds and calls
// a library's functions itself (external_*), and an extension package carries a library and a
// script file whose functions and constants code and actions call by name, with their
// initialization and finalization at the game's start and end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TestSupport.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

nlohmann::json CodeAction(const std::string& code) {
  return {{"kind", "code"}, {"exec", "code"}, {"arg_kinds", {1}}, {"args", {code}}};
}

std::string ReadText(const fs::path& file) {
  std::ifstream f(file, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// A game of one room with one instance of `obj`, whose create event holds `actions`; the manifest
// gets `extra` (extension packages).
void WriteGame(const fs::path& dir, const nlohmann::json& actions, nlohmann::json extra = nlohmann::json::object(),
               std::vector<std::pair<std::string, std::string>> files = {}) {
  nlohmann::json obj = {{"events", {{{"type", "create"}, {"number", 0}, {"actions", actions}}}}};
  nlohmann::json room = {{"width", 32}, {"height", 32}, {"instances", {{{"x", 0}, {"y", 0}, {"object", "obj"}}}}};
  nlohmann::json manifest = {{"objects", {"obj"}}, {"rooms", {"rm"}}};
  manifest.update(extra);
  files.push_back({"objects/obj.json", obj.dump()});
  files.push_back({"rooms/rm.json", room.dump()});
  WriteProject(dir, manifest, files);
  BuildDataOnly(dir);
}

// Runs the game in `dir` (its working folder) headless: its debug messages in `out`, the errors
// it reports in `errors`.
int RunGame(const fs::path& dir, std::string& out, std::string* errors = nullptr) {
  fs::create_directories(dir / "tmp");
  const int status = RunProcess("(cd " + dir.string() + " && TMPDIR=" + (dir / "tmp").string() + " " KESTRO_BINARY +
                                    " run --headless --steps 3 --debug-messages game.kx 2>errors.txt)",
                                &out);
  if (errors) *errors = ReadText(dir / "errors.txt");
  return status;
}

}  // namespace

// external_define binds exports of a library named the other platform's way ("KtNative.dll" finds
// "libktnative.so" beside the game), external_call passes reals and strings, external_free
// unloads the library for every function of it.
TEST(ExtensionGame, GameCodeDefinesCallsAndFreesLibraryFunctions) {
  ScratchDir dir;
  fs::copy_file(KESTRO_TEST_NATIVE, dir / "libktnative.so");
  WriteGame(dir.path(), nlohmann::json::array({CodeAction(R"(
    var add, cat, sum, bad;
    add = external_define("KtNative.dll", "kt_add", dll_cdecl, ty_real, 2, ty_real, ty_real);
    cat = external_define2("KtNative.dll", "kt_concat", ty_string, ty_string, ty_string);
    sum = external_define8("KtNative.dll", "kt_sum8", ty_real);
    show_debug_message(string(add) + " " + string(cat) + " " + string(sum));
    show_debug_message(external_call(add, 2, 3.5));
    show_debug_message(external_call2(cat, "x", "yz"));
    show_debug_message(external_call8(sum, 1, 1, 1, 1, 1, 1, 1, 2));
    bad = external_define("KtNative.dll", "kt_nothing", dll_cdecl, ty_real, 0);
    show_debug_message(bad);
    external_free("ktnative.DLL");
    show_debug_message(external_call(add, 2, 3.5));
    show_debug_message(is_real(external_call2(cat, "x", "yz")));
    game_end();
  )")}));
  std::string out, errors;
  ASSERT_EQ(RunGame(dir.path(), out, &errors), 0) << out << errors;
  // After the free both functions fail and give the real 0.
  EXPECT_EQ(out, "0 1 2\n5.50\nxyz\n44\n-1\n0\n1\n");
  EXPECT_NE(errors.find("\nError defining an external function.\n"), std::string::npos) << errors;
  const std::string unloaded = "\nCalling DLL function - unable to load DLL\n";
  const size_t first = errors.find(unloaded);
  ASSERT_NE(first, std::string::npos) << errors;
  EXPECT_NE(errors.find(unloaded, first + 1), std::string::npos) << errors;
}

// A package with a library (its exports under names of the game's choosing, an initialization
// and a finalization function) and a script file: code and a function action call them by name,
// the package's constant has its value, the initialization ran before the first room and the
// finalization after the last.
TEST(ExtensionGame, PackageFunctionsConstantsAndInitializationRunInTheGame) {
  ScratchDir dir;
  fs::create_directories(dir / "extensions" / "kt");
  fs::copy_file(KESTRO_TEST_NATIVE, dir / "extensions" / "kt" / "native.bin");
  const std::string script =
      "header lines belong to no function\r\n#define twice\r\nreturn argument0 * 2 + argument_count\r\n"
      "#define start\r\nshow_debug_message(\"script init \" + string(ext_counter()))\r\n"
      "#define show\r\nshow_debug_message(\"shown \" + string(argument0))\r\n";
  auto fn = [](const std::string& name, const std::string& ext, int id, int args, std::vector<int> types = {},
               int result = 2) {
    return nlohmann::json{{"name", name},      {"external_name", ext}, {"convention", 12},     {"id", id},
                          {"arg_count", args}, {"arg_types", types},   {"return_type", result}};
  };
  nlohmann::json pkg = {
      {"folder", "kt_files"},
      {"key", 77},
      {"files",
       {{{"name", "KtNative.dll"},
         {"kind", 1},
         {"init", "ext_init"},
         {"final", "ext_final"},
         {"content", "extensions/kt/native.bin"},
         {"functions",
          {fn("ext_init", "kt_init", 0, 0), fn("ext_final", "kt_final", 1, 0), fn("ext_counter", "kt_counter", 2, 0),
           fn(" ext_concat ", "kt_concat", 3, 2, {1, 1}, 1)}},
         {"constants", nlohmann::json::array({nlohmann::json::array({"EXT_ANSWER", "6 * 7"})})}},
        {{"name", "kt_scripts.txt"},
         {"kind", 2},
         {"init", "ext_start"},
         {"content", "extensions/kt/kt_scripts.txt"},
         {"functions",
          {fn("ext_twice", "twice", 10, -1), fn("ext_start", "start", 11, 0), fn("ext_show", "show", 12, 1)}}}}}};
  nlohmann::json action = {{"kind", "normal"},
                           {"exec", "function"},
                           {"function", "ext_show"},
                           {"arg_kinds", {0}},
                           {"args", {"EXT_ANSWER + 1"}}};
  WriteGame(dir.path(),
            {CodeAction("show_debug_message(ext_counter()); show_debug_message(ext_twice(4)); "
                        "show_debug_message(ext_twice(4, 0)); show_debug_message(ext_concat(\"a\", \"b\")); "
                        "show_debug_message(EXT_ANSWER)"),
             action, CodeAction("game_end()")},
            {{"extensions", {"kt"}}}, {{"extensions/kt.json", pkg.dump()}, {"extensions/kt/kt_scripts.txt", script}});
  std::string out, errors;
  ASSERT_EQ(RunGame(dir.path(), out, &errors), 0) << out << errors;
  EXPECT_EQ(errors, "");
  // The library's initialization (100) runs before the script file's, which counts once more.
  EXPECT_EQ(out, "script init 101\n102\n9\n10\nab\n42\nshown 43\n");
  // The finalization ran at the game's end, in the working folder, after the three counts.
  EXPECT_EQ(ReadText(dir / "kt_final.txt"), "102\n");
}
