// `sleep` and the platform queries `Zarn_GetPlatform` and `Zarn_GetDevice`.
#include <algorithm>
#include <cmath>

#include "graphics/Bindings.h"
#include "graphics/Clock.h"
#include "script/builtins/BuiltinArgs.h"
#include "world/PlatformCodes.h"

namespace kestro {

namespace {

// The longest single wait: a day. Beyond that a number is a mistake, not a pause.
constexpr double kMaxSleepMicroseconds = 86400.0 * 1e6;

// sleep(ms): waits ms milliseconds as the step wait does, the window's messages processed; a stop
// request ends it early. Nothing for 0 or less.
KESTRO_BUILTIN(F_sleep) {
  const double us = a[0].val * 1000;
  if (!(us > 0)) return;
  StepClock().WaitMicroseconds(int64_t(std::llround(std::min(us, kMaxSleepMicroseconds))));
}

KESTRO_BUILTIN(F_Zarn_GetPlatform) { r.SetReal(kOsType); }
KESTRO_BUILTIN(F_Zarn_GetDevice) { r.SetReal(kOsDevice); }

constexpr RBinding kPlatformFunctions[] = {
    {"sleep", F_sleep},
    {"Zarn_GetPlatform", F_Zarn_GetPlatform},
    {"Zarn_GetDevice", F_Zarn_GetDevice},
};

}  // namespace

RBindingTable PlatformFunctions() { return kPlatformFunctions; }

}  // namespace kestro
