#include "platform/posix/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestro::os {

ReadStatus ReadFile(const std::string& path, std::vector<uint8_t>& out, uint64_t maxBytes) {
  out.clear();
  // Non-blocking: opening a pipe with no writer must not wait. Regular files ignore the flag.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return ReadStatus::kCannotOpen;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadStatus::kNotRegularFile;
  }
  if (uint64_t(st.st_size) > maxBytes) {
    ::close(fd);
    return ReadStatus::kTooLarge;
  }
  // The reported size is a first guess only: the read stops at the cap whatever it says.
  std::vector<uint8_t> bytes(size_t(std::max<off_t>(st.st_size, 0)));
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (uint64_t(used) > maxBytes) break;
      // Full as reported: a small read tells the usual end of the file from a file that grew,
      // so a whole file is never held twice over just to find its end.
      uint8_t probe[4096];
      const ssize_t p = ::read(fd, probe, sizeof probe);
      if (p < 0 && errno == EINTR) continue;
      if (p < 0) {
        ::close(fd);
        return ReadStatus::kReadError;
      }
      if (p == 0) break;
      bytes.resize(std::max<size_t>(used + size_t(p), used + used / 2));
      std::memcpy(bytes.data() + used, probe, size_t(p));
      used += size_t(p);
      continue;
    }
    const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadStatus::kReadError;
    }
    if (n == 0) break;
    used += size_t(n);
  }
  ::close(fd);
  if (uint64_t(used) > maxBytes) return ReadStatus::kTooLarge;
  bytes.resize(used);
  out = std::move(bytes);
  return ReadStatus::kOk;
}

const char* ReadStatusText(ReadStatus status) {
  switch (status) {
    case ReadStatus::kOk: return "was read";
    case ReadStatus::kCannotOpen: return "cannot be opened";
    case ReadStatus::kNotRegularFile: return "is not a regular file";
    case ReadStatus::kTooLarge: return "is too large";
    case ReadStatus::kReadError: return "cannot be read";
  }
  return "cannot be read";
}

}  // namespace kestro::os
