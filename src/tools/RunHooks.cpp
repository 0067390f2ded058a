#include "tools/RunHooks.h"

namespace kestro::tools {

CRunHooks MakeRunHooks() {
  CRunHooks hooks;
  // Steps join here as their subsystems land; until the main loop exists a run ends after
  // preparation.
  return hooks;
}

}  // namespace kestro::tools
