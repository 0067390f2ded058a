// `kestro script --check / --dump / --lowered` as an author uses it.
#include <gtest/gtest.h>

#include <fstream>

#include "support/TestSupport.h"

namespace kestro {
namespace {

std::string RunScript(const std::string& args, int* status) {
  std::string out;
  *status = test::RunProcess(std::string(KESTRO_BINARY) + " script " + args, &out);
  return out;
}

TEST(ScriptCommand, CheckPrintsNothingOrTheErrorAsShown) {
  test::ScratchDir dir;
  std::ofstream(dir / "good.txt") << "var i;\nfor (i = 0; i < 3; i += 1) { total += i }\n";
  std::ofstream(dir / "bad.txt") << "a = 1\r\nb = (2 +";
  // Built-in functions and constants are known by name; a wrong argument count is caught.
  std::ofstream(dir / "builtins.txt") << "a = abs(-3) + c_red * pi; b = round(true)";
  std::ofstream(dir / "count.txt") << "a = abs(1, 2)";
  int status = -1;
  EXPECT_EQ(RunScript("--check " + (dir / "good.txt").string(), &status), "");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(RunScript("--check " + (dir / "bad.txt").string(), &status),
            "Error in code at line 2:\n   b = (2 +\n          ^\nat position 9: "
            "Unexpected symbol in expression.\n");
  EXPECT_EQ(status, 1);
  EXPECT_EQ(RunScript("--check " + (dir / "builtins.txt").string(), &status), "");
  EXPECT_EQ(status, 0);
  EXPECT_NE(RunScript("--check " + (dir / "count.txt").string(), &status)
                .find("at position 13: Wrong number of arguments to function or script."),
            std::string::npos);
  EXPECT_EQ(status, 1);
  EXPECT_NE(RunScript("--dump " + (dir / "builtins.txt").string(), &status).find("call abs (id "), std::string::npos);
  std::string dump = RunScript("--dump " + (dir / "good.txt").string(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(dump.find("block @1\n  var @1\n    name i"), std::string::npos) << dump;
  EXPECT_NE(dump.find("\n    binary < @"), std::string::npos) << dump;
  const std::string lowered = RunScript("--lowered " + (dir / "good.txt").string(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lowered.rfind("registers ", 0), 0u) << lowered;
  EXPECT_NE(lowered.find(" lif_lt "), std::string::npos) << lowered;
  RunScript((dir / "good.txt").string(), &status);
  EXPECT_EQ(status, 1);  // without an option the file runs, and stops at `total`, never set
  RunScript("--check " + (dir / "missing.txt").string(), &status);
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace kestro
