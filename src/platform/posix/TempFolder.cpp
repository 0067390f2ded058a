#include "platform/posix/TempFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace kestro::os {

namespace fs = std::filesystem;

namespace {

std::mt19937& Rng() {
  static std::mt19937 rng(std::random_device{}());
  return rng;
}

int RandomNumber() { return std::uniform_int_distribution<int>(0, 99999)(Rng()); }

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

// Only async-signal-safe calls: this also runs inside the signal handler.
void RemoveContents(int dfd, int depth) {
  if (depth > 64) return;
  alignas(8) char buf[2048];
  for (;;) {
    bool removed = false;
    lseek(dfd, 0, SEEK_SET);
    for (;;) {
      long n = syscall(SYS_getdents64, dfd, buf, sizeof buf);
      if (n <= 0) break;
      for (long off = 0; off < n;) {
        auto* d = reinterpret_cast<LinuxDirent64*>(buf + off);
        off += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        bool isDir = d->d_type == DT_DIR;
        if (d->d_type == DT_UNKNOWN) {
          struct stat st;
          isDir = fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        }
        if (isDir) {
          int sub = openat(dfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
          if (sub >= 0) {
            RemoveContents(sub, depth + 1);
            close(sub);
          }
          if (unlinkat(dfd, name, AT_REMOVEDIR) == 0) removed = true;
        } else if (unlinkat(dfd, name, 0) == 0) {
          removed = true;
        }
      }
    }
    if (!removed) break;
  }
}

bool RemoveTreeSafe(const char* path) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  RemoveContents(fd, 0);
  close(fd);
  return rmdir(path) == 0 || errno == ENOENT;
}

char g_registered[4096];

void OnSignal(int sig) {
  if (g_registered[0]) RemoveTreeSafe(g_registered);
  signal(sig, SIG_DFL);
  raise(sig);
}

bool TryCreateIn(const std::string& base, std::string& out) {
  std::error_code ec;
  fs::create_directories(base, ec);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = base + "/kx_ttt_" + std::to_string(RandomNumber());
    if (mkdir(candidate.c_str(), 0700) == 0) {
      out = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

}  // namespace

std::string TempBase(const std::string& gameFolder) {
  std::ifstream f(fs::path(gameFolder.empty() ? "." : gameFolder) / "tempdir.txt");
  if (f) {
    std::string line;
    std::getline(f, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) return line;
  }
  for (const char* var : {"TMPDIR", "TMP", "TEMP"}) {
    const char* v = std::getenv(var);
    if (v && *v && std::strlen(v) <= 256) return v;
  }
  return "/tmp";
}

std::string CreateTempFolder(const std::string& gameFolder) {
  std::string out;
  for (const std::string& base : {TempBase(gameFolder), std::string("/tmp"), fs::current_path().string()})
    if (TryCreateIn(base, out)) return fs::absolute(out).lexically_normal().string();
  return {};
}

bool RemoveTree(const std::string& path) { return !path.empty() && RemoveTreeSafe(path.c_str()); }

std::string TempFileName(const std::string& folder, const std::string& ext) {
  for (;;) {
    std::string name = folder + "/a" + std::to_string(RandomNumber()) + ext;
    if (!fs::exists(fs::symlink_status(name))) return name;
  }
}

void RegisterTempFolder(const std::string& path) {
  std::strncpy(g_registered, path.c_str(), sizeof g_registered - 1);
  RegisterTempFolderSignals();
}

void RegisterTempFolderSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void RemoveRegisteredTempFolder() {
  if (g_registered[0]) RemoveTreeSafe(g_registered);
  g_registered[0] = 0;
}

}  // namespace kestro::os
