// Extension packages prepared and called in the model: failures of package functions give their
// messages (named after the function, never a crash), secure mode refuses packages, a script
// function that does not compile fails the preparation, and the initialization and finalization
// calls report what is missing; plus sleep and the platform queries.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "graphics/Clock.h"
#include "io/RunState.h"
#include "script/Code.h"
#include "script/Executor.h"
#include "script/Scripts.h"
#include "support/TestSupport.h"
#include "support/WorldFixture.h"
#include "world/Extensions.h"
#include "world/Instance.h"

using namespace kestro;
using namespace kestro::test;
namespace fs = std::filesystem;

namespace {

CExtensionFunction Function(const std::string& name, const std::string& ext, int id, int args) {
  CExtensionFunction f;
  f.s_name = name;
  f.s_extname = ext;
  f.s_kind = 12;
  f.s_id = id;
  f.s_argcount = args;
  return f;
}

class PackageCalls : public WorldFixture {
 protected:
  // A package "kt" of the test library (ext_add, ext_missing) and a script file whose functions
  // are the sections of `script`.
  void SetUp() override {
    WorldFixture::SetUp();
    ResetErrorReporting();
    RunState().tempFolder = temp_.path().string();
    CExtensionPackage p;
    p.s_name = "kt";
    p.s_folder = "kt_files";
    CExtensionFile lib;
    lib.s_filename = "KtNative.dll";
    lib.s_kind = kExtLibrary;
    lib.s_functions = {Function("ext_add", "kt_add", 0, 2), Function("ext_missing", "kt_nothing", 1, 0)};
    CExtensionFile code;
    code.s_filename = "kt_scripts.txt";
    code.s_kind = kExtScript;
    code.s_functions = {Function("ext_fail", "fail", 5, 0), Function("ext_args", "args", 6, -1),
                        Function("ext_final", "final", 7, 0), Function("ext_deep", "deep", 8, 1)};
    p.s_includes = {lib, code};
    fs::create_directories(temp_ / "kt_files");
    fs::copy_file(KESTRO_TEST_NATIVE, temp_ / "kt_files" / "KtNative.dll");
    ExtensionPackages() = {p};
    SetScript(
        "#define fail\r\nvar z; z = 0; return 1 / z\r\n#define args\r\nreturn argument[2]\r\n"
        "#define final\r\nshow_debug_message(\"final\")\r\n"
        "#define deep\r\nif argument0 > 0 return ext_deep(argument0 - 1); return ext_fail()");
    StartWorld();
  }
  void TearDown() override {
    ResetExtensions();
    SetExtensionFunctions(nullptr);
    RunState().tempFolder.clear();
    RunState().secureMode = false;
    ResetErrorReporting();
    WorldFixture::TearDown();
  }
  void SetScript(const std::string& text) {
    ExtensionPackages()[0].s_includes[1].CreateScripts(std::vector<uint8_t>(text.begin(), text.end()));
  }
  // Runs code as an action would and gives what it showed: debug messages, built-in errors and
  // the last error reported.
  std::string Run(const std::string& text) {
    out_.clear();
    ErrorState().errorLast.clear();
    CCode code(text, CodeKind::kProgram);
    EXPECT_TRUE(code.Compile(&GameScriptNames())) << text;
    CInstance self;
    self.Create(0, 0, 0, 0);
    RValue result;
    ExecuteCodeReported(&self, &self, code, result);
    return out_ + ErrorState().errorLast;
  }
  ScratchDir temp_;
};

}  // namespace

TEST_F(PackageCalls, FailingCallsGiveTheirMessages) {
  ASSERT_TRUE(PrepareExtensions());
  EXPECT_EQ(Run("show_debug_message(ext_add(2, 3))"), "5;");
  struct Case {
    const char* code;
    const char* message;
  } cases[] = {
      // A script function's error is named after the function, once.
      {"ext_fail()", "In extension function ext_fail:\r"},
      // Its argument messages name it as the running script.
      {"ext_args(1)", "Illegal array index in script \"ext_args\""},
      // A library function whose export is missing was left unbound at preparation.
      {"ext_missing()", "Unable to find DLL function with id=-1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    const std::string shown = Run(c.code);
    EXPECT_NE(shown.find(c.message), std::string::npos) << shown;
  }
  // Failing deep in its own recursion, a function is named once.
  const std::string deep = Run("ext_deep(3)");
  EXPECT_NE(deep.find("In extension function ext_deep:\rIn extension function ext_fail:\r"), std::string::npos) << deep;
  EXPECT_EQ(deep.find("ext_deep:\rIn extension function ext_deep"), std::string::npos) << deep;
  // A script function gets its own arguments; the caller's are back after the call.
  EXPECT_EQ(Run("show_debug_message(ext_args(7, 8, 9)); show_debug_message(argument_count)"), "9;0;");

  RunState().secureMode = true;
  EXPECT_NE(Run("ext_add(2, 3)").find("In secure mode you cannot use extension packages."), std::string::npos);
}

TEST_F(PackageCalls, AScriptFunctionThatDoesNotCompileFailsThePreparation) {
  SetScript("#define fail\r\nreturn (");
  EXPECT_FALSE(PrepareExtensions());
  EXPECT_EQ(ErrorState().errorLast.rfind("COMPILATION ERROR in extension package kt\r", 0), 0u)
      << ErrorState().errorLast;
}

// Initialization stops at a function the file does not have (and then the end finalizes
// nothing); one that succeeds is finalized at the end, once; secure mode refuses both.
TEST_F(PackageCalls, InitializationAndFinalization) {
  ASSERT_TRUE(PrepareExtensions());
  CExtensionFile& code = ExtensionPackages()[0].s_includes[1];
  code.s_final = "ext_final";
  code.s_init = "nope";
  EXPECT_FALSE(InitializeExtensions());
  EXPECT_EQ(ErrorState().errorLast, "Could not locate initialization function nope");
  out_.clear();
  EXPECT_TRUE(FinalizeExtensions());
  EXPECT_EQ(out_, "");

  ResetErrorReporting();
  StartWorld();
  // The function is looked for in the file that names it; a library function called without
  // its 2 arguments fails.
  code.s_init = "";
  CExtensionFile& lib = ExtensionPackages()[0].s_includes[0];
  lib.s_init = "ext_add";
  EXPECT_FALSE(InitializeExtensions());
  EXPECT_EQ(ErrorState().errorLast, "Calling DLL function with wrong number of arguments.");
  lib.s_init = "";

  ResetErrorReporting();
  StartWorld();
  EXPECT_TRUE(InitializeExtensions());
  out_.clear();
  EXPECT_TRUE(FinalizeExtensions());
  EXPECT_TRUE(FinalizeExtensions());
  EXPECT_EQ(out_, "final;");

  code.s_final = "ext_lost";
  EXPECT_TRUE(InitializeExtensions());
  EXPECT_FALSE(FinalizeExtensions());
  EXPECT_EQ(ErrorState().errorLast, "Could not locate finalization function ext_lost");

  ResetErrorReporting();
  StartWorld();
  RunState().secureMode = true;
  code.s_init = "ext_final";
  EXPECT_FALSE(InitializeExtensions());
  EXPECT_EQ(ErrorState().errorLast, "In secure mode you cannot use extension packages.");
}

// sleep waits through the step clock (virtual time here); the platform queries give the desktop
// codes `os_type` and `os_device` read.
TEST_F(PackageCalls, SleepAndPlatformQueries) {
  CManualClock clock;
  StepClock().SetSource(&clock);
  const int64_t before = StepClock().MicrosecondClock();
  EXPECT_EQ(Run("sleep(25); sleep(-5); sleep(0)"), "");
  EXPECT_EQ(StepClock().MicrosecondClock() - before, 25000);
  StepClock().SetSource(nullptr);
  EXPECT_EQ(Run("show_debug_message(string(Zarn_GetPlatform()) + string(Zarn_GetDevice()) + string(os_type) + "
                "string(os_device))"),
            "0000;");
}
