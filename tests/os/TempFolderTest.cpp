#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

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

namespace {

// Crashes of every kind the folder must survive, each on purpose and out of the checkers' sight
// (an instrumented build would report them its own way instead of dying by the signal).
#define KESTRO_UNCHECKED __attribute__((noinline, no_sanitize("address", "undefined")))

KESTRO_UNCHECKED void WriteThroughNull() {
  volatile int* volatile p = nullptr;
  *p = 1;
}

KESTRO_UNCHECKED void DivideByZero() {
  volatile int one = 1, zero = 0;
  volatile int r = one / zero;
  (void)r;
}

volatile int g_bottom = -1;  // never reached: the stack runs out first

KESTRO_UNCHECKED int Recurse(int depth) {
  if (depth == g_bottom) return 0;
  volatile char frame[1024];
  frame[0] = char(depth);
  return Recurse(depth + 1) + frame[0];
}

KESTRO_UNCHECKED void OverflowTheStack() { (void)Recurse(0); }

struct RCrash {
  const char* name;
  int signal;
  void (*crash)();
};

}  // namespace

TEST(TempFolder, RemovedWhenTheProcessCrashes) {
  const RCrash crashes[] = {
      {"raise(SIGSEGV)", SIGSEGV, [] { raise(SIGSEGV); }},
      {"abort()", SIGABRT, [] { std::abort(); }},
      {"write through null", SIGSEGV, WriteThroughNull},
      {"divide by zero", SIGFPE, DivideByZero},
      {"illegal instruction", SIGILL, [] { __builtin_trap(); }},
      {"raise(SIGBUS)", SIGBUS, [] { raise(SIGBUS); }},
      {"stack overflow", SIGSEGV, OverflowTheStack},
  };
  test::ScratchDir dir;
  for (const RCrash& c : crashes) {
    fs::path temp = dir / "kx_ttt_1";
    fs::create_directories(temp / "inner" / "deeper");
    std::ofstream(temp / "inner" / "deeper" / "sound.wav") << "data";
    pid_t child = fork();
    if (child == 0) {
      rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      // As in a program without checkers: the crash's default outcome is what must come back.
      signal(c.signal, SIG_DFL);
      os::RegisterTempFolder(temp.string());
      c.crash();
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << c.name << ": the crash is still reported";
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), c.signal) << c.name;
    }
    EXPECT_FALSE(fs::exists(temp)) << c.name;
    fs::remove_all(temp);
  }

  // A child forked by the owner (a program about to start) that crashes leaves the folder alone.
  fs::path temp = dir / "kx_ttt_2";
  fs::create_directories(temp);
  pid_t owner = fork();
  if (owner == 0) {
    os::RegisterTempFolder(temp.string());
    pid_t grandchild = fork();
    if (grandchild == 0) {
      signal(SIGABRT, SIG_DFL);
      raise(SIGABRT);
      _exit(0);
    }
    int status = 0;
    waitpid(grandchild, &status, 0);
    _exit(WIFSIGNALED(status) && fs::exists(temp) ? 7 : 1);
  }
  int status = 0;
  waitpid(owner, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7);
}

namespace {

// A temporary folder made by a process of its own, which then ends (dead) or waits to be told
// (alive) without removing it.
struct ROtherRun {
  std::string folder;
  pid_t pid = 0;
  int release = -1;
};

ROtherRun MakeFolderInChild(const fs::path& game, bool stayAlive) {
  int out[2], hold[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(hold), 0);
  pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    close(hold[1]);
    std::string made = os::CreateTempFolder(game.string()) + "\n";
    [[maybe_unused]] ssize_t n = write(out[1], made.data(), made.size());
    char c;
    if (stayAlive) n = read(hold[0], &c, 1);
    _exit(0);
  }
  close(out[1]);
  close(hold[0]);
  ROtherRun run;
  run.pid = child;
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) {
    run.folder.append(buf, size_t(n));
    if (run.folder.back() == '\n') break;
  }
  close(out[0]);
  if (!run.folder.empty()) run.folder.pop_back();
  if (stayAlive) {
    run.release = hold[1];
  } else {
    close(hold[1]);
    waitpid(child, nullptr, 0);
  }
  return run;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream f(p);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

TEST(TempFolder, StaleFoldersOfEndedRunsGoAtStartUpAndNothingElse) {
  test::ScratchDir dir;
  fs::create_directories(dir / "game");
  fs::path base = dir / "base";
  std::ofstream(dir / "game" / "tempdir.txt") << base.string() << "\n";

  // The live run first: a run starting later would take the dead one's folder away already.
  ROtherRun alive = MakeFolderInChild(dir / "game", true);
  ROtherRun dead = MakeFolderInChild(dir / "game", false);
  ASSERT_FALSE(dead.folder.empty());
  ASSERT_FALSE(alive.folder.empty());
  std::ofstream(fs::path(dead.folder) / "left.wav") << "data";
  fs::create_directories(fs::path(dead.folder) / "ext" / "pkg");
  const std::string deadRecord = ReadAll(fs::path(dead.folder) / os::kOwnerFile);
  const std::string liveRecord = ReadAll(fs::path(alive.folder) / os::kOwnerFile);
  ASSERT_FALSE(deadRecord.empty());

  // Folders that look stale in one way but are not provably a dead run's of this machine.
  auto withRecord = [&](const std::string& name, const std::string& record) {
    fs::create_directories(base / name);
    std::ofstream(base / name / "keep") << "precious";
    if (!record.empty()) std::ofstream(base / name / os::kOwnerFile) << record;
  };
  auto replaceField = [](std::string record, int index, const std::string& value) {
    std::istringstream in(record);
    std::vector<std::string> f{std::istream_iterator<std::string>(in), {}};
    f[size_t(index)] = value;
    return f[0] + " " + f[1] + " " + f[2] + " " + f[3] + "\n";
  };
  withRecord("kx_ttt_007", deadRecord);                                     // not a name the run-time makes
  withRecord("kx_ttt_123456", deadRecord);                                  // number out of range
  withRecord("other_1", deadRecord);                                        // another program's
  withRecord("kx_ttt_90001", "");                                           // no record
  withRecord("kx_ttt_90002", replaceField(deadRecord, 2, "another-boot"));  // another machine or boot
  withRecord("kx_ttt_90003", replaceField(deadRecord, 3, "pid:[1]"));       // another process-id space
  withRecord("kx_ttt_90004", "garbage");
  fs::create_directories(dir / "elsewhere");
  std::ofstream(dir / "elsewhere" / "keep") << "precious";
  std::ofstream(dir / "elsewhere" / os::kOwnerFile) << deadRecord;
  fs::create_directory_symlink(dir / "elsewhere", base / "kx_ttt_90005");  // a link is never followed
  // The id of a live process, recorded with another start time: its id was taken again after the
  // recorded process ended.
  withRecord("kx_ttt_90006", replaceField(liveRecord, 1, "1"));

  std::string mine = os::CreateTempFolder((dir / "game").string());
  ASSERT_FALSE(mine.empty());
  EXPECT_TRUE(fs::exists(mine));
  EXPECT_FALSE(fs::exists(dead.folder)) << "the folder of a run that ended without cleaning up";
  EXPECT_FALSE(fs::exists(base / "kx_ttt_90006"));
  EXPECT_TRUE(fs::exists(fs::path(alive.folder) / os::kOwnerFile)) << "a live run's folder stays";
  for (const char* kept :
       {"kx_ttt_007", "kx_ttt_123456", "other_1", "kx_ttt_90001", "kx_ttt_90002", "kx_ttt_90003", "kx_ttt_90004"})
    EXPECT_EQ(ReadAll(base / kept / "keep"), "precious") << kept;
  EXPECT_TRUE(fs::is_symlink(base / "kx_ttt_90005"));
  EXPECT_EQ(ReadAll(dir / "elsewhere" / "keep"), "precious");
  EXPECT_EQ(os::RemoveStaleTempFolders(base.string()), 0) << "nothing more is stale";

  close(alive.release);
  waitpid(alive.pid, nullptr, 0);
  EXPECT_EQ(os::RemoveStaleTempFolders(base.string()), 1) << "the other run has ended now";
  EXPECT_FALSE(fs::exists(alive.folder));
  EXPECT_TRUE(os::RemoveTree(mine));
}
