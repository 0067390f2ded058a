#include "platform/posix/Priority.h"

#include <sched.h>
#include <sys/resource.h>

namespace kestro::os {

bool SetProgramPriority(int level) {
  // Nice values for the levels from -2 to 3; -3 is the idle class instead.
  static constexpr int kNice[] = {10, 5, 0, -5, -10, -20};
  sched_param param{};
  if (level == -3) return sched_setscheduler(0, SCHED_IDLE, &param) == 0;
  if (level < -3 || level > 3) level = 0;
  // Leave the idle class first, when it was chosen before.
  if (sched_getscheduler(0) == SCHED_IDLE && sched_setscheduler(0, SCHED_OTHER, &param) != 0) return false;
  return setpriority(PRIO_PROCESS, 0, kNice[level + 2]) == 0;
}

}  // namespace kestro::os
