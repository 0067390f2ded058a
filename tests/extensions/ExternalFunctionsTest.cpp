// The external function table over the real native call layer, with the test library: arguments
// reach native code in order and of their kind, results come back as values, definitions and
// calls that cannot work fail with their messages instead of crashing, libraries are shared and
// freed by file name; and where a library name of game code is looked for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resources/ExternalFunctions.h"
#include "support/TestSupport.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

constexpr EExternalKind R = EExternalKind::kReal;
constexpr EExternalKind S = EExternalKind::kString;
const std::string kLibrary = KESTRO_TEST_NATIVE;

RValue Real(double v) { return RValue::Real(v); }
RValue Text(const char* s) { return RValue::String(RString(s)); }

class ExternalTable : public ::testing::Test {
 protected:
  void TearDown() override { table.Clear(); }
  int32_t Define(const std::string& name, std::vector<EExternalKind> kinds, EExternalKind result = R,
                 const std::string& library = kLibrary) {
    why.clear();
    return table.Define(library, name, ECallConvention::kCdecl, result, int32_t(kinds.size()), kinds, &why);
  }
  CExternalFunctions table;
  std::string why;
};

}  // namespace

TEST_F(ExternalTable, CallsPassArgumentsInOrderAndReturnTheirResults) {
  std::vector<RValue> sixteen;
  for (int i = 1; i <= 16; ++i) sixteen.push_back(Real(i));
  struct Case {
    const char* name;
    std::vector<EExternalKind> kinds;
    EExternalKind result;
    std::vector<RValue> args;
    RValue expected;
  } cases[] = {
      {"kt_zero", {}, R, {}, Real(42)},
      {"kt_add", {R, R}, R, {Real(1.5), Real(2.25)}, Real(3.75)},
      {"kt_sum8", std::vector<EExternalKind>(8, R), R, {sixteen.begin(), sixteen.begin() + 8}, Real(204)},
      {"kt_sum16", std::vector<EExternalKind>(16, R), R, sixteen, Real(1496)},
      // Strings and reals mixed in any order up to four arguments.
      {"kt_mixed", {S, R, S, R}, R, {Text("abc"), Real(2), Text("de"), Real(7)}, Real(3227)},
      // A string is its UTF-8 bytes; a real given for a string argument passes "".
      {"kt_length", {S}, R, {Text("h\xC3\xA9llo")}, Real(6)},
      {"kt_length", {S}, R, {Real(12345)}, Real(0)},
      {"kt_concat", {S, S}, S, {Text("foo"), Text("bar")}, Text("foobar")},
      {"kt_repeat", {S, R}, S, {Text("ab"), Real(3)}, Text("ababab")},
      // A null string result reads as "".
      {"kt_null", {}, S, {}, Text("")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t id = Define(c.name, c.kinds, c.result);
    ASSERT_GE(id, 0) << why;
    RValue out = Real(-1);
    EXPECT_EQ(table.Call(id, int32_t(c.args.size()), c.args.data(), out), "");
    EXPECT_EQ(out.kind, c.expected.kind);
    EXPECT_EQ(out.val, c.expected.val);
    EXPECT_EQ(out.str.view(), c.expected.str.view());
  }
}

// The library's string result is copied at once: the next call reuses the library's buffer, the
// value keeps its text. Native code that writes into its argument writes into a copy.
TEST_F(ExternalTable, StringsOwnTheirTextOnBothSides) {
  const int32_t cat = Define("kt_concat", {S, S}, S);
  RValue args[] = {Text("one"), Text("two")}, first, second;
  ASSERT_EQ(table.Call(cat, 2, args, first), "");
  args[0] = Text("three");
  ASSERT_EQ(table.Call(cat, 2, args, second), "");
  EXPECT_EQ(first.str.view(), "onetwo");
  EXPECT_EQ(second.str.view(), "threetwo");

  const int32_t scribble = Define("kt_scribble", {S});
  const RValue shared = Text("keep me");
  RValue copy = shared, out;
  ASSERT_EQ(table.Call(scribble, 1, &copy, out), "");
  EXPECT_EQ(out.val, 1);
  EXPECT_EQ(shared.str.view(), "keep me");
}

TEST_F(ExternalTable, DefinitionsThatCannotWorkAreRefused) {
  struct Case {
    const char* what;
    std::string library, name;
    std::vector<EExternalKind> kinds;
    const char* why;
  } cases[] = {
      {"missing library", "no_such_library.dll", "kt_zero", {}, "no_such_library"},
      {"missing export", kLibrary, "kt_nothing", {}, "has no function kt_nothing"},
      {"17 arguments", kLibrary, "kt_sum16", std::vector<EExternalKind>(17, R), "0 to 16"},
      {"a string among 5", kLibrary, "kt_sum8", {S, R, R, R, R}, "only real arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Define(c.name, c.kinds, R, c.library), -1);
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
  }
  EXPECT_EQ(table.Define(kLibrary, "kt_zero", ECallConvention::kCdecl, R, -1, {}, &why), -1);
  // A library that is not one: the loader's reason is given.
  ScratchDir dir;
  std::ofstream(dir / "fake.so") << "not a library";
  EXPECT_EQ(Define("kt_zero", {}, R, (dir / "fake.so").string()), -1);
  EXPECT_NE(why.find("fake.so"), std::string::npos) << why;
  EXPECT_EQ(table.Count(), 0);
}

// Calls that cannot be made give their message and the real 0. Two functions of one library
// share it: freeing it by its file name, in any case, makes both fail; defining again loads it
// afresh.
TEST_F(ExternalTable, FailedCallsAndFreedLibraries) {
  const int32_t add = Define("kt_add", {R, R}), zero = Define("kt_zero", {});
  ASSERT_EQ(add, 0);
  ASSERT_EQ(zero, 1);
  RValue args[] = {Real(1), Real(2)}, out = Text("x");
  EXPECT_EQ(table.Call(7, 0, args, out), "Unable to find DLL function with id=7");
  EXPECT_EQ(out.kind, ty_real);
  EXPECT_EQ(table.Call(-1, 0, args, out), "Unable to find DLL function with id=-1");
  EXPECT_EQ(table.Call(add, 1, args, out), "Calling DLL function with wrong number of arguments.");
  EXPECT_EQ(table.Call(add, 3, args, out), "Calling DLL function with wrong number of arguments.");
  ASSERT_EQ(table.Call(add, 2, args, out), "");
  EXPECT_EQ(out.val, 3);

  std::string upper = kLibrary;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(table.Free(upper));
  EXPECT_FALSE(table.Free(kLibrary));
  for (int32_t id : {add, zero}) {
    out = Real(5);
    EXPECT_EQ(table.Call(id, id == add ? 2 : 0, args, out), "Calling DLL function - unable to load DLL");
    EXPECT_EQ(out.val, 0);
  }
  const int32_t again = Define("kt_add", {R, R});
  ASSERT_EQ(again, 2) << why;
  EXPECT_EQ(table.Call(again, 2, args, out), "");
  EXPECT_EQ(out.val, 3);
}

// Library names of game code: "\" folders, ".dll" names found as ".so" with and without "lib",
// in lower case too, under the search folders in order; bare names last for the system's search.
TEST(ExternalLibraryNames, CandidatesInOrder) {
  ScratchDir game, temp;
  fs::create_directories(game / "bin");
  for (const char* f : {"libtool.so", "bin/Tool.so"}) std::ofstream(game / f) << "x";
  std::ofstream(temp / "Tool.dll") << "x";
  const std::vector<std::string> folders = {game.path().string(), temp.path().string()};
  const std::string g = game.path().string(), t = temp.path().string();
  struct Case {
    std::string name;
    std::vector<std::string> expected;
  } cases[] = {
      {"Tool.dll",
       {g + "/libtool.so", t + "/Tool.dll", "Tool.dll", "tool.dll", "Tool.so", "tool.so", "libTool.so", "libtool.so"}},
      {"bin\\Tool.DLL", {g + "/bin/Tool.so"}},
      {(game / "libtool.so").string(), {g + "/libtool.so"}},
      {"libm.so.6", {"libm.so.6"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NativeLibraryCandidates(c.name, folders), c.expected);
  }
}
