#include "platform/posix/HostFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace kestro::os {

namespace fs = std::filesystem;

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Lower(a[i]));
    const unsigned char y = static_cast<unsigned char>(Lower(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

int AttributesOf(const std::string& path, const std::string& name, const struct stat& st) {
  int bits = 0;
  if (S_ISDIR(st.st_mode))
    bits |= kAttrFolder;
  else if (S_ISREG(st.st_mode))
    bits |= kAttrArchive;
  else
    bits |= kAttrSystem;
  if (::access(path.c_str(), W_OK) != 0) bits |= kAttrReadOnly;
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") bits |= kAttrHidden;
  return bits;
}

std::string LastPart(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside `path` that no file has yet, for writing before a rename.
std::string SiblingTempName(const std::string& path) {
  static std::mt19937 rng{std::random_device{}()};
  for (int i = 0; i < 100; ++i) {
    std::string name = path + ".tmp" + std::to_string(rng() % 1000000);
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) return name;
  }
  return {};
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

// Copies the open `in` into a new file `tmp` with `mode`, flushed to disk.
bool CopyInto(int in, const std::string& tmp, mode_t mode) {
  const int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
  if (out < 0) return false;
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, buf, size_t(n))) {
      ok = false;
      break;
    }
  }
  if (ok && ::fsync(out) != 0) ok = false;
  if (::close(out) != 0) ok = false;
  return ok;
}

}  // namespace

CHostFile& CHostFile::operator=(CHostFile&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

bool CHostFile::OpenFile(const std::string& path, Access access, Open how) {
  Close();
  int flags = O_CLOEXEC;
  flags |= access == Access::kRead ? O_RDONLY : access == Access::kWrite ? O_WRONLY : O_RDWR;
  if (how != Open::kExisting) flags |= O_CREAT;
  // Emptying on open needs write access; a read-only file that must be emptied is emptied below.
  if (how == Open::kCreateEmpty && access != Access::kRead) flags |= O_TRUNC;
  // Not blocking on a pipe without a writer; only plain files are opened (a device such as an
  // endless stream of zeros would make a text line without end).
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool CHostFile::Close() {
  if (fd_ < 0) return true;
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

int64_t CHostFile::ReadAt(int64_t pos, void* out, size_t size) const {
  if (fd_ < 0 || pos < 0) return -1;
  for (;;) {
    const ssize_t n = ::pread(fd_, out, size, off_t(pos));
    if (n < 0 && errno == EINTR) continue;
    return n;
  }
}

bool CHostFile::WriteAt(int64_t pos, const void* data, size_t size) {
  if (fd_ < 0 || pos < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_, p, size, off_t(pos));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    pos += n;
    size -= size_t(n);
  }
  return true;
}

int64_t CHostFile::Size() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
  return int64_t(st.st_size);
}

bool CHostFile::Truncate(int64_t size) { return fd_ >= 0 && ::ftruncate(fd_, off_t(size)) == 0; }

int FileAttributes(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return -1;
  return AttributesOf(path, LastPart(path), st);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<RFolderEntry> ListFolder(const std::string& folder) {
  std::vector<RFolderEntry> entries;
  const std::string base = folder.empty() ? "." : folder;
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return entries;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const std::string full = base.back() == '/' ? base + name : base + "/" + name;
    struct stat st {};
    // A link that leads nowhere is listed as what it is.
    if (::stat(full.c_str(), &st) != 0 && ::lstat(full.c_str(), &st) != 0) continue;
    entries.push_back({name, AttributesOf(full, name, st)});
  }
  ::closedir(dir);
  auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
  std::sort(entries.begin(), entries.end(), [&](const RFolderEntry& a, const RFolderEntry& b) {
    if (rank(a.name) != rank(b.name)) return rank(a.name) < rank(b.name);
    return LessIgnoringCase(a.name, b.name);
  });
  return entries;
}

bool DeleteFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(path.c_str()) == 0;
}

bool MoveFile(const std::string& from, const std::string& to) {
  struct stat st {};
  if (from.empty() || to.empty() || ::lstat(from.c_str(), &st) != 0) return false;
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // A file system without the no-replace rename: test, then rename.
    struct stat other {};
    if (::lstat(to.c_str(), &other) == 0) return false;
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
  }
  if (errno != EXDEV || !S_ISREG(st.st_mode)) return false;
  struct stat other {};
  if (::lstat(to.c_str(), &other) == 0) return false;
  return CopyFile(from, to) && ::unlink(from.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) return false;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode) || IsFolder(to)) {
    ::close(in);
    return false;
  }
  const std::string tmp = SiblingTempName(to);
  bool ok = !tmp.empty() && CopyInto(in, tmp, st.st_mode);
  ::close(in);
  if (ok) ok = ::rename(tmp.c_str(), to.c_str()) == 0;
  if (!ok && !tmp.empty()) ::unlink(tmp.c_str());
  return ok;
}

bool CreateFolders(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path, ec);
  return IsFolder(path);
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string tmp = SiblingTempName(path);
  if (tmp.empty()) return false;
  mode_t mode = 0666;
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed) mode = st.st_mode & 07777;
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? mode : 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok && existed) (void)::chmod(tmp.c_str(), mode);
  if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  if (ok) {
    // The rename itself reaches the disk with the folder.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      (void)::fsync(dir);
      ::close(dir);
    }
  }
  return ok;
}

double FreeBytes(const std::string& path) {
  struct statvfs sv {};
  if (::statvfs(path.empty() ? "." : path.c_str(), &sv) != 0) return -1;
  return double(sv.f_bavail) * double(sv.f_frsize);
}

double TotalBytes(const std::string& path) {
  struct statvfs sv {};
  if (::statvfs(path.empty() ? "." : path.c_str(), &sv) != 0) return -1;
  return double(sv.f_blocks) * double(sv.f_frsize);
}

}  // namespace kestro::os
