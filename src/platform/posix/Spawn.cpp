#include "platform/posix/Spawn.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace kestro::os {

namespace {

// Processes started without waiting, collected once they end.
std::vector<pid_t>& Unwaited() {
  static std::vector<pid_t> pids;
  return pids;
}

void SleepMs(int ms) {
  timespec ts{ms / 1000, long(ms % 1000) * 1000000L};
  while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

int StartProgram(const std::vector<std::string>& argv) {
  CollectEndedPrograms();
  if (argv.empty() || argv[0].empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const bool search = argv[0].find('/') == std::string::npos;
  const int err = search ? ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ)
                         : ::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ);
  if (err != 0) return -1;
  Unwaited().push_back(pid);
  return int(pid);
}

void WaitForProgram(int pid, const std::function<void()>& between, int sliceMs) {
  auto& pids = Unwaited();
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid_t(pid), &status, WNOHANG);
    if (r == pid_t(pid) || (r < 0 && errno != EINTR)) break;
    if (between) between();
    SleepMs(sliceMs);
  }
  std::erase(pids, pid_t(pid));
}

void CollectEndedPrograms() {
  auto& pids = Unwaited();
  std::erase_if(pids, [](pid_t pid) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    return r == pid || (r < 0 && errno == ECHILD);
  });
}

bool OpenWithDesktop(const std::string& target) { return StartProgram({"xdg-open", target}) >= 0; }

bool IsProgramFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace kestro::os
