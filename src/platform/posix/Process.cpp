#include "platform/posix/Process.h"

#include <sys/resource.h>
#include <unistd.h>

#include <climits>

namespace kestro::os {

std::string SelfExecutablePath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  return std::string(buf, size_t(n));
}

bool SetProcessPriority(int level) {
  // Raising priority needs privileges on Linux; a refusal leaves the normal priority.
  if (level == 1) return setpriority(PRIO_PROCESS, 0, -5) == 0;
  if (level == 2) return setpriority(PRIO_PROCESS, 0, -10) == 0;
  return true;
}

}  // namespace kestro::os
