#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/TempFolder.h"
#include "support/TestSupport.h"

using namespace kestro;
namespace fs = std::filesystem;

TEST(TempFolder, BaseComesFromTempdirTxtThenEnvironment) {
  test::ScratchDir dir;
  fs::create_directories(dir / "game");
  setenv("TMPDIR", (dir / "envbase").c_str(), 1);
  EXPECT_EQ(os::TempBase((dir / "game").string()), (dir / "envbase").string());
  std::ofstream(dir / "game" / "tempdir.txt") << (dir / "chosen").string() << "\r\nignored\n";
  EXPECT_EQ(os::TempBase((dir / "game").string()), (dir / "chosen").string());

  std::string made = os::CreateTempFolder((dir / "game").string());
  ASSERT_FALSE(made.empty());
  EXPECT_EQ(fs::path(made).parent_path(), dir / "chosen") << "missing parents are created";
  EXPECT_EQ(fs::path(made).filename().string().rfind("kx_ttt_", 0), 0u);
  int number = std::atoi(fs::path(made).filename().string().c_str() + 7);
  EXPECT_GE(number, 0);
  EXPECT_LE(number, 99999);
  EXPECT_TRUE(os::RemoveTree(made));
  EXPECT_FALSE(fs::exists(made));
  unsetenv("TMPDIR");
}

TEST(TempFolder, UnusableBaseFallsBack) {
  test::ScratchDir dir;
  std::ofstream(dir / "tempdir.txt") << "/proc/no/such/place";
  std::string made = os::CreateTempFolder(dir.path().string());
  ASSERT_FALSE(made.empty());
  EXPECT_EQ(fs::path(made).parent_path(), "/tmp");
  os::RemoveTree(made);
}

TEST(TempFolder, RemovalNeverFollowsLinks) {
  test::ScratchDir dir;
  fs::create_directories(dir / "outside" / "deep");
  std::ofstream(dir / "outside" / "keep.txt") << "precious";
  std::ofstream(dir / "outside" / "deep" / "keep2.txt") << "precious";
  fs::path temp = dir / "kx_ttt_1";
  fs::create_directories(temp / "sub" / "subsub");
  std::ofstream(temp / "sub" / "subsub" / "f") << "x";
  for (int i = 0; i < 300; ++i) std::ofstream(temp / ("file" + std::to_string(i))) << i;
  fs::create_directory_symlink(dir / "outside", temp / "link");
  fs::create_directory_symlink(dir / "outside" / "deep", temp / "sub" / "link2");
  fs::create_symlink(dir / "outside" / "keep.txt", temp / "filelink");
  EXPECT_TRUE(os::RemoveTree(temp.string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));
  EXPECT_TRUE(fs::exists(dir / "outside" / "keep.txt"));
  EXPECT_TRUE(fs::exists(dir / "outside" / "deep" / "keep2.txt"));
}

TEST(TempFolder, RemovedWhenTheProcessIsInterrupted) {
  test::ScratchDir dir;
  for (int sig : {SIGINT, SIGTERM}) {
    fs::path temp = dir / ("kx_ttt_" + std::to_string(sig));
    fs::create_directories(temp / "inner");
    std::ofstream(temp / "inner" / "sound.wav") << "data";
    pid_t child = fork();
    if (child == 0) {
      os::RegisterTempFolder(temp.string());
      raise(sig);
      _exit(0);  // not reached: the signal keeps its normal course after cleaning up
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << sig;
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_FALSE(fs::exists(temp)) << sig;
  }
}
