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
#include <sstream>
#include <vector>

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

// Only async-signal-safe calls: this also runs inside the signal handlers, on the alternate stack,
// so the frame of each level stays small.
void RemoveContents(int dfd, int depth) {
  if (depth > 64) return;
  alignas(8) char buf[1024];
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
// The process that registered the folder: a forked child (a program being started, before it
// replaces itself) shares the handlers but must never remove its parent's folder.
volatile pid_t g_owner = 0;

void RemoveIfOwner() {
  if (g_registered[0] && getpid() == g_owner) RemoveTreeSafe(g_registered);
}

void OnSignal(int sig) {
  RemoveIfOwner();
  signal(sig, SIG_DFL);
  raise(sig);
}

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kCrashCount = int(sizeof kCrashSignals / sizeof kCrashSignals[0]);
// What handled the crash signals before (the default, or a checker's handler in an instrumented
// build): it gets the crash after the folder is gone.
struct sigaction g_previous[kCrashCount];
bool g_crashInstalled = false;
// Room for the handler when the fault is the stack itself running out.
alignas(16) char g_altStack[256 * 1024];

void OnCrash(int sig, siginfo_t* info, void*) {
  const int savedErrno = errno;
  RemoveIfOwner();
  for (int i = 0; i < kCrashCount; ++i)
    if (kCrashSignals[i] == sig) sigaction(sig, &g_previous[i], nullptr);
  // A signal sent by a call (raise, abort, kill) is sent again and arrives once this handler
  // returns; a fault happens again when the faulting instruction runs again, with its own details.
  if (info == nullptr || info->si_code <= 0) raise(sig);
  errno = savedErrno;
}

void InstallCrashHandlers() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
    stack_t alt{};
    alt.ss_sp = g_altStack;
    alt.ss_size = sizeof g_altStack;
    sigaltstack(&alt, nullptr);
  }
  if (g_crashInstalled) return;
  struct sigaction sa {};
  sa.sa_sigaction = OnCrash;
  sigemptyset(&sa.sa_mask);
  // SA_RESETHAND: a fault inside the handler itself ends the process the default way.
  sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  for (int i = 0; i < kCrashCount; ++i) sigaction(kCrashSignals[i], &sa, &g_previous[i]);
  g_crashInstalled = true;
}

// The first line of a small file, empty when it cannot be read.
std::string FirstLine(const std::string& path) {
  std::ifstream f(path);
  std::string line;
  if (f) std::getline(f, line);
  return line;
}

std::string Field(std::string text) { return text.empty() || text.find(' ') != std::string::npos ? "-" : text; }

// When the process started, in clock ticks after boot ("-" when unknown).
std::string ProcessStart(long pid) {
  std::string stat = FirstLine("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return "-";
  std::istringstream rest(stat.substr(close + 1));
  std::string field;
  // Fields from the third (the state) on; the start time is the 22nd.
  for (int i = 3; i <= 22; ++i)
    if (!(rest >> field)) return "-";
  return Field(field);
}

std::string BootId() { return Field(FirstLine("/proc/sys/kernel/random/boot_id")); }

std::string PidSpace() {
  char buf[128];
  const ssize_t n = readlink("/proc/self/ns/pid", buf, sizeof buf - 1);
  return n > 0 ? Field(std::string(buf, size_t(n))) : "-";
}

std::string OwnerRecord() {
  const long pid = long(getpid());
  return std::to_string(pid) + " " + ProcessStart(pid) + " " + BootId() + " " + PidSpace() + "\n";
}

void WriteOwnerRecord(const std::string& folder) {
  const std::string path = folder + "/" + kOwnerFile;
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;  // the folder works without it; it is only never taken for stale
  const std::string record = OwnerRecord();
  [[maybe_unused]] ssize_t n = write(fd, record.data(), record.size());
  close(fd);
}

// Whether the process a record names is provably gone: the record is whole, made on this boot in
// this process-id space, and no process has the id or the one that has it started at another time.
bool OwnerGone(const std::string& record) {
  std::istringstream in(record);
  long pid = 0;
  std::string start, boot, space, extra;
  if (!(in >> pid >> start >> boot >> space) || (in >> extra) || pid <= 0) return false;
  if (boot == "-" || space == "-" || boot != BootId() || space != PidSpace()) return false;
  if (kill(pid_t(pid), 0) == -1 && errno == ESRCH) return true;
  if (start == "-") return false;
  const std::string now = ProcessStart(pid);
  return now != "-" && now != start;
}

// "kx_ttt_" and the decimal form of a number 0..99999, as CreateTempFolder writes it.
bool IsTempFolderName(const char* name) {
  if (std::strncmp(name, "kx_ttt_", 7) != 0) return false;
  const char* digits = name + 7;
  const size_t length = std::strlen(digits);
  if (length < 1 || length > 5 || (length > 1 && digits[0] == '0')) return false;
  for (size_t i = 0; i < length; ++i)
    if (digits[i] < '0' || digits[i] > '9') return false;
  return true;
}

// The owner record of the folder open as dfd, when the folder and the record are this user's.
bool ReadOwnRecord(int dfd, std::string& record) {
  struct stat st;
  if (fstat(dfd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  int fd = openat(dfd, kOwnerFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[512];
  ssize_t n = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_size < off_t(sizeof buf))
    n = read(fd, buf, sizeof buf);
  close(fd);
  if (n <= 0) return false;
  record.assign(buf, size_t(n));
  return true;
}

bool TryCreateIn(const std::string& base, std::string& out) {
  std::error_code ec;
  fs::create_directories(base, ec);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = base + "/kx_ttt_" + std::to_string(RandomNumber());
    if (mkdir(candidate.c_str(), 0700) == 0) {
      WriteOwnerRecord(candidate);
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
    if (TryCreateIn(base, out)) {
      RemoveStaleTempFolders(base);
      return fs::absolute(out).lexically_normal().string();
    }
  return {};
}

int RemoveStaleTempFolders(const std::string& base) {
  int bfd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (bfd < 0) return 0;
  int listFd = dup(bfd);
  DIR* dir = listFd >= 0 ? fdopendir(listFd) : nullptr;
  if (!dir) {
    if (listFd >= 0) close(listFd);
    close(bfd);
    return 0;
  }
  std::vector<std::string> stale;
  while (dirent* e = readdir(dir)) {
    if (!IsTempFolderName(e->d_name)) continue;
    int dfd = openat(bfd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0) continue;
    std::string record;
    if (ReadOwnRecord(dfd, record) && OwnerGone(record)) stale.push_back(e->d_name);
    close(dfd);
  }
  closedir(dir);
  int removed = 0;
  for (const std::string& name : stale) {
    int dfd = openat(bfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dfd < 0) continue;
    struct stat opened, named;
    std::string record;
    // Checked again on the folder actually emptied, then removed only while the name still
    // leads to that folder.
    if (ReadOwnRecord(dfd, record) && OwnerGone(record) && fstat(dfd, &opened) == 0) {
      RemoveContents(dfd, 0);
      if (fstatat(bfd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
          named.st_ino == opened.st_ino && unlinkat(bfd, name.c_str(), AT_REMOVEDIR) == 0)
        ++removed;
    }
    close(dfd);
  }
  close(bfd);
  return removed;
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
  g_owner = getpid();
  RegisterTempFolderSignals();
  InstallCrashHandlers();
}

void RegisterTempFolderSignals() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
}

void RemoveRegisteredTempFolder() {
  RemoveIfOwner();
  g_registered[0] = 0;
}

}  // namespace kestro::os
